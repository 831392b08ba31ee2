// The jar behind a launcher's image: found with either kind of offsets and
// with a signature covered by its comment; and the "Embedded Jar" key kept in
// step, as the launcher's own reader sees it.
#include <gtest/gtest.h>

#include "Zip.h"
#include "config/SettingsStore.h"

using namespace vexa;
using namespace vexa::pack;

namespace {

void add(Bytes& b, std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) b.push_back(i < 4 ? static_cast<std::uint8_t>(v >> (8 * i)) : 0);
}

// A zip of one stored entry "a" holding "x", its offsets counted from its start.
Bytes smallJar(std::uint32_t localOffsetShift = 0, std::uint16_t entries = 1) {
    Bytes b;
    add(b, 0x04034B50, 4);
    add(b, 0, 22);  // version .. uncompressed size, all zero but for the lengths below
    add(b, 1, 2);   // name length
    add(b, 0, 2);
    b.push_back('a');
    b.push_back('x');
    const auto directory = static_cast<std::uint32_t>(b.size());
    add(b, 0x02014B50, 4);
    add(b, 0, 24);
    add(b, 1, 2);  // name length
    add(b, 0, 12);
    add(b, localOffsetShift, 4);
    b.push_back('a');
    const auto directorySize = static_cast<std::uint32_t>(b.size()) - directory;
    add(b, 0x06054B50, 4);
    add(b, 0, 4);
    add(b, entries, 2);
    add(b, entries, 2);
    add(b, directorySize, 4);
    add(b, directory, 4);
    add(b, 0, 2);
    return b;
}

}  // namespace

TEST(EmbeddedJar, FoundBehindAnImage) {
    const Bytes image(100, 0xEE);
    const Bytes jar = smallJar();
    auto file = [&](bool absolute, std::size_t signature) {
        Bytes f = image;
        f.insert(f.end(), jar.begin(), jar.end());
        if (absolute) placeJar(f, image.size());
        if (signature) setJarCommentLength(f, f.size() - 22, signature);
        f.resize(f.size() + signature, 0x5A);
        return f;
    };
    EXPECT_EQ(findAppendedJar(file(false, 0), 100, 100 + jar.size()), jar);
    EXPECT_EQ(findAppendedJar(file(true, 0), 100, 100 + jar.size()), jar);
    // Signed: the comment reaches past the jar to the end of the file.
    EXPECT_EQ(findAppendedJar(file(true, 40), 100, 100 + jar.size()), jar);

    // No jar to carry: garbage, zip64, an entry pointing at no file, a count
    // that does not match, a jar cut short.
    EXPECT_FALSE(findAppendedJar(Bytes(200, 'P'), 100, 200));
    for (const Bytes& bad : {smallJar(7), smallJar(0, 0xFFFF), smallJar(0, 2)}) {
        Bytes f = image;
        f.insert(f.end(), bad.begin(), bad.end());
        EXPECT_FALSE(findAppendedJar(f, 100, f.size()));
    }
    Bytes cut = file(false, 0);
    cut.pop_back();
    EXPECT_FALSE(findAppendedJar(cut, 100, cut.size()));
    EXPECT_THROW(checkJar(Bytes{'n', 'o'}), PackError);
}

TEST(EmbeddedJar, TheKeyFollowsTheJar) {
    struct Case {
        std::wstring text;
        bool on;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"", true, L"[Application]\r\nEmbedded Jar=Yes\r\n"},
        {L"[Java Runtime Environment]\r\nMain Class=a.B", true,
         L"[Java Runtime Environment]\r\nMain Class=a.B\r\n[Application]\r\nEmbedded Jar=Yes\r\n"},
        {L"[Application]\r\nx=1\r\n", true, L"[Application]\r\nEmbedded Jar=Yes\r\nx=1\r\n"},
        {L" [Application] \r\n Embedded Jar = no\r\nx=1\r\n", true, L" [Application] \r\nEmbedded Jar=Yes\r\nx=1\r\n"},
        // Only the first section of the name counts, for the launcher too.
        {L"[Application]\r\nx=1\r\n[Application]\r\nEmbedded Jar=No\r\n", true,
         L"[Application]\r\nEmbedded Jar=Yes\r\nx=1\r\n[Application]\r\nEmbedded Jar=No\r\n"},
        {L"[Application]\r\nEmbedded Jar=Yes\r\nx=1\r\n", false, L"[Application]\r\nx=1\r\n"},
        {L"[J]\r\nm=1\r\n[Application]\r\nEmbedded Jar=Yes\r\n", false, L"[J]\r\nm=1\r\n"},
        {L"[J]\r\nm=1\r\n", false, L"[J]\r\nm=1\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        const std::wstring out = withEmbeddedJarKey(c.text, c.on);
        EXPECT_EQ(out, c.expected);
        EmbeddedSettings read;
        read.parse(out);
        EXPECT_EQ(read.find(L"Application", L"Embedded Jar"), c.on ? std::optional<std::wstring>(L"Yes") : std::nullopt);
    }
}
