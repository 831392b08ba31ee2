#include <gtest/gtest.h>

#include <algorithm>

#include "jre/CommonRuntimes.h"

using namespace vexa;

TEST(CommonRuntimes, ReleaseFileVersion) {
    struct Case {
        std::string text;
        std::optional<JavaVersion> expected;
    };
    const Case cases[] = {
        {"IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_VERSION=\"17.0.2\"\nJAVA_VERSION_DATE=\"2022-01-18\"\n",
         JavaVersion::of(17, 0, 2, 0, 3)},
        {"JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n", JavaVersion::of(1, 8, 0, 392, 4)},
        {"JAVA_VERSION=\"21\"\r\n", JavaVersion::of(21, 0, 0, 0, 1)},
        {"JAVA_VERSION=11.0.20", JavaVersion::of(11, 0, 20, 0, 3)},  // unquoted, no line end
        {"JAVA_VERSION_DATE=\"2022-01-18\"\n", std::nullopt},        // another key
        {"JAVA_VERSION=\"seventeen\"\n", std::nullopt},
        {"JAVA_VERSION=\"17; rm -rf\"\n", std::nullopt},
        {"JAVA_VERSION=\"99999999999.0\"\n", std::nullopt},  // overflows
        {std::string("\x01\x02\0\xff", 4), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::optional<JavaVersion> v = jre::releaseFileVersion(c.text);
        ASSERT_EQ(v.has_value(), c.expected.has_value());
        if (v) {
            EXPECT_EQ(v->components, c.expected->components);
            EXPECT_EQ(v->groupCount, c.expected->groupCount);
        }
    }
}

TEST(CommonRuntimes, AbsoluteFolder) {
    struct Case {
        std::wstring value;
        std::optional<std::wstring> expected;
    };
    const Case cases[] = {
        {L"C:\\Java\\jdk-17", L"C:\\Java\\jdk-17\\"},
        {L"  \"C:\\Program Files\\Java\\jdk-17\\\" ", L"C:\\Program Files\\Java\\jdk-17\\"},
        {L"\\\\server\\share\\jdk", L"\\\\server\\share\\jdk\\"},
        {L"jdk-17", std::nullopt},
        {L"\\jdk-17", std::nullopt},  // the root of whatever drive is current
        {L"C:jdk-17", std::nullopt},  // relative to that drive's current folder
        {L"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(jre::absoluteFolder(c.value), c.expected) << std::string(c.value.begin(), c.value.end());
}

TEST(CommonRuntimes, ImageMachine) {
    auto image = [](std::uint32_t offset, std::string signature, std::uint16_t machine, size_t size) {
        std::string head(size, '\0');
        head[0] = 'M';
        head[1] = 'Z';
        for (int i = 0; i < 4; ++i) head[0x3C + i] = static_cast<char>(offset >> (8 * i));
        signature += static_cast<char>(machine & 0xFF);
        signature += static_cast<char>(machine >> 8);
        if (offset < size) head.replace(offset, std::min(signature.size(), size - offset), signature.substr(0, size - offset));
        return head;
    };
    const std::string pe("PE\0\0", 4);
    EXPECT_EQ(jre::imageMachine(image(0x80, pe, 0x014C, 512)), 0x014C);
    EXPECT_EQ(jre::imageMachine(image(0x80, pe, 0x8664, 512)), 0x8664);
    EXPECT_EQ(jre::imageMachine(image(0x80, "NE\0\0", 0x014C, 512)), 0);
    EXPECT_EQ(jre::imageMachine(image(0x1FC, pe, 0x014C, 512)), 0);         // headers cut off by the end
    EXPECT_EQ(jre::imageMachine(image(0xFFFFFFF0u, pe, 0x014C, 512)), 0);   // offset far outside
    EXPECT_EQ(jre::imageMachine("MZ"), 0);
}
