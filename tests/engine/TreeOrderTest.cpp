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

TEST(TreeOrder, EveryItemIsGivenEvenWhereItsNameIsAlsoAFolderOrEmpty) {
    EXPECT_EQ(ItemsInTreeOrder({"/a/b", "/a", "/a/c", "//"}), (std::vector<int>{3, 1, 0, 2}));
    EXPECT_EQ(NodeLabels("/home//a/x"), (std::vector<std::string>{"/", "home", "a", "x"}));
    EXPECT_EQ(NodeLabels("rel/x"), (std::vector<std::string>{"rel", "x"}));
}

}  // namespace
}  // namespace tkw
