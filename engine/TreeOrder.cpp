#include "engine/TreeOrder.h"

#include <algorithm>
#include <memory>

#include "engine/TextRules.h"

namespace tkw {
namespace {

struct Node {
    std::string label;
    int item = -1;
    std::vector<std::unique_ptr<Node>> children;
};

Node& ChildFor(Node& parent, const std::string& label) {
    for (auto& child : parent.children) {
        if (child->label == label) {
            return *child;
        }
    }
    // Sorted insertion: after every sibling that does not sort after the new one.
    const auto position =
        std::upper_bound(parent.children.begin(), parent.children.end(), label,
                         [](const std::string& value, const std::unique_ptr<Node>& child) {
                             return CompareNodeLabels(value, child->label) < 0;
                         });
    auto node = std::make_unique<Node>();
    node->label = label;
    return **parent.children.insert(position, std::move(node));
}

void CollectLeaves(const Node& node, std::vector<int>& items) {
    if (node.children.empty()) {
        if (node.item >= 0) {
            items.push_back(node.item);
        }
        return;
    }
    for (const auto& child : node.children) {
        CollectLeaves(*child, items);
    }
}

}  // namespace

int CompareNodeLabels(std::string_view a, std::string_view b) {
    return LowerAsciiLetters(a).compare(LowerAsciiLetters(b));
}

std::vector<std::string> NodeLabels(std::string_view itemName) {
    std::vector<std::string> labels;
    if (!itemName.empty() && itemName.front() == '/') {
        labels.emplace_back("/");
    }
    std::size_t start = 0;
    while (start < itemName.size()) {
        const std::size_t end = std::min(itemName.find('/', start), itemName.size());
        if (end > start) {
            labels.emplace_back(itemName.substr(start, end - start));
        }
        start = end + 1;
    }
    return labels;
}

std::vector<int> ItemsInTreeOrder(const std::vector<std::string>& itemNames) {
    Node root;
    for (std::size_t i = 0; i < itemNames.size(); ++i) {
        Node* node = &root;
        for (const std::string& label : NodeLabels(itemNames[i])) {
            node = &ChildFor(*node, label);
        }
        if (node != &root) {
            node->item = static_cast<int>(i);
        }
    }
    std::vector<int> items;
    CollectLeaves(root, items);
    return items;
}

}  // namespace tkw
