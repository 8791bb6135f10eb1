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
        "/home/b.txt",  // 7: the same name again: one node with the later index
    };
    EXPECT_EQ(ItemsInTreeOrder(names), (std::vector<int>{4, 1, 2, 7, 5, 6, 3}));
}

TEST(TreeOrder, ANodeWithChildrenGivesNoItem) {
    EXPECT_EQ(ItemsInTreeOrder({"/a", "/a/b"}), std::vector<int>{1});
    EXPECT_EQ(NodeLabels("/home//a/x"), (std::vector<std::string>{"/", "home", "a", "x"}));
    EXPECT_EQ(NodeLabels("rel/x"), (std::vector<std::string>{"rel", "x"}));
}

}  // namespace
}  // namespace tkw
