// The settings-file writer on its own, natively under the sanitizers too:
// each encoding written and read back, every other byte as it was.
#include <gtest/gtest.h>

#include <string>

#include "config/ProfileText.h"
#include "config/ProfileWriter.h"

using namespace vexa;

namespace {

// A Latin-1 stand-in for the ANSI code page.
const AnsiCodePage kLatin1{
    [](std::string_view bytes) {
        std::wstring text;
        for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
        return text;
    },
    [](std::wstring_view text) -> std::optional<std::string> {
        std::string bytes;
        for (wchar_t c : text) {
            if (c > 0xFF) return std::nullopt;
            bytes += static_cast<char>(c);
        }
        return bytes;
    },
};

std::string bytesOf(ProfileEncoding encoding, std::wstring_view text) {
    std::string bytes;
    switch (encoding) {
        case ProfileEncoding::Utf16Le:
        case ProfileEncoding::Utf16Be:
            bytes = encoding == ProfileEncoding::Utf16Le ? "\xFF\xFE" : "\xFE\xFF";
            for (wchar_t c : text) {
                const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
                bytes += encoding == ProfileEncoding::Utf16Le ? std::string{low, high} : std::string{high, low};
            }
            return bytes;
        case ProfileEncoding::Utf8: return "\xEF\xBB\xBF" + *encodeUtf8(text);
        case ProfileEncoding::Ansi: return *kLatin1.encode(text);
    }
    return bytes;
}

std::wstring readBack(const std::string& bytes, const std::wstring& section, const std::wstring& key) {
    std::size_t mark = 0;
    const ProfileEncoding encoding = detectProfileEncoding(bytes, mark);
    const std::string_view body = std::string_view(bytes).substr(mark);
    ProfileText text;
    text.parse(encoding == ProfileEncoding::Utf8   ? decodeUtf8(body)
               : encoding == ProfileEncoding::Ansi ? kLatin1.decode(body)
                                                   : decodeUtf16(body, encoding == ProfileEncoding::Utf16Be));
    return text.value(section, key);
}

const std::wstring kSection = L"Java Runtime Environment";
const std::wstring kKey = L"JRE Path";

}  // namespace

TEST(ProfileWriter, EachEncodingTakesTheValueAndKeepsEveryOtherByte) {
    const ProfileEncoding encodings[] = {ProfileEncoding::Utf16Le, ProfileEncoding::Utf16Be, ProfileEncoding::Utf8,
                                         ProfileEncoding::Ansi};
    const std::wstring values[] = {L"C:\\Java\\jdk-21", L"C:\\Users\\J\u00fcrgen\\jre", L"C:\\Users\\\u042e\u0440\u0438\u0439\\jdk-21",
                                   L"D:\\\xD83D\xDE00\\jdk"};
    struct Case {
        std::wstring before, after;  // "@" stands for the value
    };
    const Case cases[] = {
        // The key changed in place; the other lines, their blanks and the
        // stray keys of a later section of the same name stay.
        {L"; caf\u00e9\r\n[A]\r\nx = 1 \r\n[java runtime environment]\r\n  jre path = old ; x\r\nMain Class=M\r\n\r\n"
         L"[B]\r\ny=\u00e9\r\n[Java Runtime Environment]\r\nJRE Path=later\r\n",
         L"; caf\u00e9\r\n[A]\r\nx = 1 \r\n[java runtime environment]\r\n  jre path =@\r\nMain Class=M\r\n\r\n"
         L"[B]\r\ny=\u00e9\r\n[Java Runtime Environment]\r\nJRE Path=later\r\n"},
        // Added after the section's last key, with the file's LF ends.
        {L"[Java Runtime Environment]\nMain Class=M\n\n[B]\ny=1", L"[Java Runtime Environment]\nMain Class=M\nJRE Path=@\n\n[B]\ny=1"},
        // A key without "=", and a lone CR as the line end.
        {L"[Java Runtime Environment]\rJRE Path\r", L"[Java Runtime Environment]\rJRE Path=@\r"},
        // A new section at the end, after a last line without its end.
        {L"[A]\r\nx=1", L"[A]\r\nx=1\r\n[Java Runtime Environment]\r\nJRE Path=@\r\n"},
    };
    for (ProfileEncoding encoding : encodings) {
        for (const std::wstring& value : values) {
            const bool holds = encoding != ProfileEncoding::Ansi || kLatin1.encode(value);
            for (const Case& c : cases) {
                std::wstring after = c.after;
                after.replace(after.find(L'@'), 1, value);
                const ProfileWrite written = writeProfileValue(bytesOf(encoding, c.before), kSection, kKey, value, kLatin1);
                SCOPED_TRACE(testing::Message() << static_cast<int>(encoding) << " " << after.size());
                if (!holds) {
                    EXPECT_EQ(written.error, ProfileWriteError::ValueNotRepresentable);
                    continue;
                }
                ASSERT_EQ(written.error, ProfileWriteError::None);
                EXPECT_EQ(written.bytes, bytesOf(encoding, after));
                EXPECT_EQ(readBack(written.bytes, kSection, kKey), value);
            }
        }
    }
}

TEST(ProfileWriter, NewFilesAreUtf16AndOddValuesReadBackOrAreRefused) {
    const ProfileWrite fresh = writeProfileValue("", kSection, kKey, L"C:\\\u042e\\jdk", kLatin1);
    EXPECT_EQ(fresh.bytes, bytesOf(ProfileEncoding::Utf16Le, L"[Java Runtime Environment]\r\nJRE Path=C:\\\u042e\\jdk\r\n"));
    struct Case {
        std::wstring value;
        ProfileWriteError error;
    };
    const Case cases[] = {
        {L" C:\\Java ", ProfileWriteError::None},  // kept in quotes
        {L"\"C:\\Java\"", ProfileWriteError::None},
        {L"", ProfileWriteError::None},
        {L"C:\\a\r\n[Other]", ProfileWriteError::ValueHasLineBreak},
        {std::wstring(L"a\0b", 3), ProfileWriteError::ValueHasLineBreak},
        {L"C:\\\xD800", ProfileWriteError::ValueNotRepresentable},  // a lone surrogate in UTF-8
    };
    for (const Case& c : cases) {
        const ProfileWrite written = writeProfileValue("\xEF\xBB\xBF[A]\r\n", kSection, kKey, c.value, kLatin1);
        EXPECT_EQ(written.error, c.error);
        if (c.error == ProfileWriteError::None) {
            EXPECT_EQ(readBack(written.bytes, kSection, kKey), c.value);
        }
    }
    // A stray last byte of a UTF-16 file stays last, where it is read as nothing.
    EXPECT_EQ(writeProfileValue(std::string("\xFF\xFEK\0\x01", 5), L"S", L"k", L"v", kLatin1).bytes,
              bytesOf(ProfileEncoding::Utf16Le, L"K\r\n[S]\r\nk=v\r\n") + "\x01");
    EXPECT_EQ(*encodeUtf8(L"\u042e\xD83D\xDE00"), "\xD0\xAE\xF0\x9F\x98\x80");
    EXPECT_EQ(decodeUtf8("\xD0\xAE\xF0\x9F\x98\x80\xC0\xAF"), L"\u042e\xD83D\xDE00\xFFFD\xFFFD");
}
