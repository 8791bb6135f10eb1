#include "shell/profile/FileTypeList.h"

#include <gtest/gtest.h>

#include "shell/profile/ProfileStore.h"
#include "tests/support/TestProfile.h"

namespace tkw {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FileTypeList, EncodesEachEntryAsUtf16LittleEndianWithOneZero) {
    const Bytes expected = {'.', 0, 'a', 0, 'v', 0, 'i', 0, 0, 0,
                            '.', 0, 'm', 0, 'p', 0, '3', 0, 0, 0};
    EXPECT_EQ(EncodeFileTypeList({".avi", ".mp3"}), expected);
    EXPECT_EQ(EncodeFileTypeList({}), Bytes{});
    // Outside the first plane an entry takes a surrogate pair.
    EXPECT_EQ(EncodeFileTypeList({"\xC3\xA9\xF0\x9F\x98\x80"}),
              (Bytes{0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
}

TEST(FileTypeList, RoundTripsThroughTheStore) {
    test::TestProfile profile;
    const std::vector<std::vector<std::string>> lists = {
        {".avi", ".mp3"},
        {},
        {".tmp", ".tmp", ""},  // duplicates and an empty entry stay as stored
        {".caf\xC3\xA9", std::string(250, 'x')},
    };
    for (const auto& list : lists) {
        WriteFileTypeList(list);
        EXPECT_EQ(ReadFileTypeList(), list);
    }
}

TEST(FileTypeList, AnEmptyListIsAValueOfSizeZeroAndAbsentReadsAsEmpty) {
    test::TestProfile profile;
    EXPECT_TRUE(ReadFileTypeList().empty());
    EXPECT_FALSE(GetProfileBinary("FileTypes", "extensions").has_value());

    WriteFileTypeList({});
    const auto stored = GetProfileBinary("FileTypes", "extensions");
    ASSERT_TRUE(stored.has_value()) << "the empty list is a value, not an absent one";
    EXPECT_TRUE(stored->empty());
    EXPECT_TRUE(ReadFileTypeList().empty());
}

TEST(FileTypeList, DamagedValuesNeverReadPastTheirEnd) {
    const struct {
        const char* name;
        Bytes bytes;
        std::vector<std::string> expected;
    } cases[] = {
        {"missing last terminator", {'.', 0, 'a', 0}, {".a"}},
        {"odd last byte", {'.', 0, 'a', 0, 0, 0, 'b'}, {".a"}},
        {"single byte", {'x'}, {}},
        {"only a terminator", {0, 0}, {""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeFileTypeList(c.bytes), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace tkw
