#include "engine/TreeOrder.h"

#include <algorithm>
#include <memory>

namespace tkw {
namespace {

struct Node {
    std::string label;
    std::vector<int> items;  // every item stored under exactly this name, in archive order
    std::vector<std::unique_ptr<Node>> children;
};

const std::string& LabelOf(const std::string& label) {
    return label;
}
const std::string& LabelOf(const std::unique_ptr<Node>& node) {
    return node->label;
}

Node& ChildFor(Node& parent, const std::string& label) {
    // The siblings are sorted: the child with this very label, if any, is among those that sort
    // equal to it (labels that differ only in the case of A to Z).
    const auto [first, position] = std::equal_range(
        parent.children.begin(), parent.children.end(), label,
        [](const auto& a, const auto& b) { return CompareNodeLabels(LabelOf(a), LabelOf(b)) < 0; });
    for (auto child = first; child != position; ++child) {
        if ((*child)->label == label) {
            return **child;
        }
    }
    // Sorted insertion: after every sibling that does not sort after the new one.
    auto node = std::make_unique<Node>();
    node->label = label;
    return **parent.children.insert(position, std::move(node));
}

// A node's own items come before those below it, so a name that is both a file and a folder of
// other items keeps its place too.
void CollectItems(const Node& node, std::vector<int>& items) {
    items.insert(items.end(), node.items.begin(), node.items.end());
    for (const auto& child : node.children) {
        CollectItems(*child, items);
    }
}

}  // namespace

int CompareNodeLabels(std::string_view a, std::string_view b) {
    // Byte by byte as unsigned values, without a lower-cased copy: the window sorts every node it
    // adds with this.
    const auto fold = [](char c) {
        return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    };
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = fold(a[i]);
        const unsigned char y = fold(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
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
        node->items.push_back(static_cast<int>(i));
    }
    std::vector<int> items;
    CollectItems(root, items);
    return items;
}

}  // namespace tkw
