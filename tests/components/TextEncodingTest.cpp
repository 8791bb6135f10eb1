#include "components/utils/TextEncoding.h"

#include <gtest/gtest.h>

namespace tkw {
namespace {

TEST(ToWindows1252, MapsEachCharacterToOneByte) {
    const struct {
        const char* name;
        std::string utf8;
        std::string expected;
    } cases[] = {
        {"ascii and line end", "Backup started ...\r\n", "Backup started ...\r\n"},
        {"latin-1 letters", "caf\xC3\xA9 \xC3\xBF", "caf\xE9 \xFF"},
        {"code page extras", "\xE2\x82\xAC \xE2\x80\x9C\xC5\x93\xE2\x80\x9D", "\x80 \x93\x9C\x94"},
        {"undefined code point kept as its own byte", "\xC2\x81", "\x81"},
        {"C1 control without a byte", "\xC2\x80", "?"},
        {"character outside the code page", "a\xE2\x98\x83z", "a?z"},
        {"four-byte character is one question mark", "\xF0\x9F\x98\x80", "?"},
        {"invalid byte", "a\xFFz", "a?z"},
        {"truncated sequence, one mark per byte", "a\xE2\x82", "a??"},
        {"overlong encoding", "\xC0\xAF", "??"},
        {"encoded surrogate", "\xED\xA0\x80", "???"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToWindows1252(c.utf8), c.expected) << c.name;
    }
}

TEST(FromWindows1252, DecodesEveryByteToOneCharacter) {
    EXPECT_EQ(FromWindows1252("Hello \xE9\x80\x81\xFF"),
              "Hello \xC3\xA9\xE2\x82\xAC\xC2\x81\xC3\xBF");
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(ToWindows1252(FromWindows1252(all)), all) << "the two conversions are inverses";
}

TEST(Utf16, RoundTripsEveryPlane) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::u16string utf16 = Utf8ToUtf16(text);
    EXPECT_EQ(utf16, (std::u16string{u'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(Utf16ToUtf8(utf16), text);
}

TEST(Utf16, ReplacesWhatCannotBeConverted) {
    EXPECT_EQ(Utf8ToUtf16("a\xFF"), (std::u16string{u'a', 0xFFFD}));
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tkw
