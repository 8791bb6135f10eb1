#include "components/utils/StringUtils.h"

#include <gtest/gtest.h>

namespace tkw {
namespace {

TEST(EnsureSlash, EndsInExactlyOneSeparator) {
    const struct {
        std::string given, expected;
    } cases[] = {
        {"", "/"},
        {"/", "/"},
        {"/home/a", "/home/a/"},
        {"/home/a/", "/home/a/"},
        {"/home/a//", "/home/a/"},
    };
    for (const auto& c : cases) {
        std::string path = c.given;
        std::string& result = ENSURE_SLASH(path);
        EXPECT_EQ(path, c.expected) << "given " << c.given;
        EXPECT_EQ(&result, &path) << "changes the path in place";
    }
}

TEST(IntreGhilimele, QuotesTheTextAsItStands) {
    EXPECT_EQ(INTRE_GHILIMELE("/home/a b/x.txt"), "\"/home/a b/x.txt\"");
    EXPECT_EQ(INTRE_GHILIMELE(""), "\"\"");
}

TEST(NumberTexts, CoverTheWholeRangeOfEachType) {
    EXPECT_EQ(IntToString(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(UintToString(4294967295u), "4294967295");
    EXPECT_EQ(Int64ToString(-9223372036854775807LL - 1), "-9223372036854775808");
}

}  // namespace
}  // namespace tkw
