#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tkw {

// How the loaded-backup tree orders its nodes, for everything that needs that order without a
// tree widget (the command-line tool's restore of every item).

// Sibling order: alphabetical without regard to the case of A to Z; names equal in that sense keep
// the order in which they were added. Negative, zero or positive like strcmp.
int CompareNodeLabels(std::string_view a, std::string_view b);

// The components under which an item name is shown: "/" for an absolute name, then each folder
// and the file name (empty components skipped).
std::vector<std::string> NodeLabels(std::string_view itemName);

// Every item index, in the depth-first order of the tree's nodes: a node's own items (all copies of
// a name stored more than once, oldest first) before the items below it. Nothing is left out:
// an item whose name is also a folder of other items comes right before them. Items with no
// name component at all come first.
std::vector<int> ItemsInTreeOrder(const std::vector<std::string>& itemNames);

}  // namespace tkw
