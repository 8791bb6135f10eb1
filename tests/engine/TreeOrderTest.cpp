#include "engine/TreeOrder.h"

#include <gtest/gtest.h>

namespace tkw {
namespace {

TEST(TreeOrder, SiblingsSortWithoutCaseAndEqualsKeepTheirOrder) {
    const std::vector<std::string> names = {
        "/home/b.txt",  // 0
        "/home/A.txt",  // 1
        "/home/a.txt",  // 2: another node than A.txt, after it
        "/home/sub/z",  // 3
        "/etc/x",       // 4
        "/home/B.txt",  // 5: after b.txt
        "/home/c.txt",  // 6
        "/home/b.txt",  // 7: the same name again: both copies, oldest first
    };
    EXPECT_EQ(ItemsInTreeOrder(names), (std::vector<int>{4, 1, 2, 0, 7, 5, 6, 3}));
}

TEST(TreeOrder, LabelsCompareByTheirBytesWithOnlyAToZFolded) {
    struct Case {
        std::string a, b;
        int sign;
    };
    const Case cases[] = {
        {"abc", "ABC", 0},
        {"a", "B", -1},
        {"z", "\xC3\xA9", -1},                     // bytes beyond ASCII come after it
        {"\xEF\xBC\xA1", "\xF0\x9F\x98\x80", -1},  // U+FF21 before U+1F600, as in UTF-8
        {"\xC3\x89", "\xC3\xA9", -1},              // no folding beyond A to Z
        {"ab", "a", 1},
        {"_", "B", -1},  // against the folded letter: '_' comes before 'b', after 'B'
    };
    for (const Case& c : cases) {
        const int result = CompareNodeLabels(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " against " << c.b;
    }
}

TEST(TreeOrder, EveryItemIsGivenEvenWhereItsNameIsAlsoAFolderOrEmpty) {
    EXPECT_EQ(ItemsInTreeOrder({"/a/b", "/a", "/a/c", "//"}), (std::vector<int>{3, 1, 0, 2}));
    EXPECT_EQ(NodeLabels("/home//a/x"), (std::vector<std::string>{"/", "home", "a", "x"}));
    EXPECT_EQ(NodeLabels("rel/x"), (std::vector<std::string>{"rel", "x"}));
}

}  // namespace
}  // namespace tkw
