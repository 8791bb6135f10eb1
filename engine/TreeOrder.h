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

// The item indexes a fully ticked tree gives: its file nodes in depth-first order, a name stored
// twice giving one node with the later index, and a node that has children giving nothing.
std::vector<int> ItemsInTreeOrder(const std::vector<std::string>& itemNames);

}  // namespace tkw
