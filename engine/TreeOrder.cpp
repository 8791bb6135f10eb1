#include "engine/TreeOrder.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace tkw {
namespace {

struct Node {
    std::string label;
    std::vector<int> items;  // every item stored under exactly this name, in archive order
    std::vector<std::unique_ptr<Node>> children;  // in the order they were first met, then sorted
};

// The child of a node with a label, found without a search of the siblings: a folder of
// thousands of items would otherwise be searched once for each of them.
struct ChildKey {
    const Node* parent;
    std::string_view label;
    bool operator==(const ChildKey&) const = default;
};

struct ChildKeyHash {
    std::size_t operator()(const ChildKey& key) const {
        return std::hash<std::string_view>()(key.label) ^
               (std::hash<const Node*>()(key.parent) * 0x9e3779b97f4a7c15ULL);
    }
};

class TreeBuilder {
public:
    Node& ChildFor(Node& parent, std::string_view label) {
        // Names come mostly folder by folder: the child added last is the one asked for.
        if (!parent.children.empty() && parent.children.back()->label == label) {
            return *parent.children.back();
        }
        const auto found = m_children.find({&parent, label});
        if (found != m_children.end()) {
            return *found->second;
        }
        auto node = std::make_unique<Node>();
        node->label = label;
        Node& child = *parent.children.emplace_back(std::move(node));
        m_children.emplace(ChildKey{&parent, child.label}, &child);
        return child;
    }

private:
    std::unordered_map<ChildKey, Node*, ChildKeyHash> m_children;
};

// Siblings that sort equal keep the order in which they were first met: the stable sort leaves
// each after every one added before it that does not sort after it.
void SortChildren(Node& node) {
    std::stable_sort(node.children.begin(), node.children.end(), [](const auto& a, const auto& b) {
        return CompareNodeLabels(a->label, b->label) < 0;
    });
    for (const auto& child : node.children) {
        SortChildren(*child);
    }
}

// The components of an item name as NodeLabels gives them, without copies.
template <typename Visit>
void ForEachLabel(std::string_view itemName, Visit&& visit) {
    if (!itemName.empty() && itemName.front() == '/') {
        visit(std::string_view("/"));
    }
    std::size_t start = 0;
    while (start < itemName.size()) {
        const std::size_t end = std::min(itemName.find('/', start), itemName.size());
        if (end > start) {
            visit(itemName.substr(start, end - start));
        }
        start = end + 1;
    }
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
    ForEachLabel(itemName, [&](std::string_view label) { labels.emplace_back(label); });
    return labels;
}

std::vector<int> ItemsInTreeOrder(const std::vector<std::string>& itemNames) {
    Node root;
    TreeBuilder builder;
    for (std::size_t i = 0; i < itemNames.size(); ++i) {
        Node* node = &root;
        ForEachLabel(itemNames[i],
                     [&](std::string_view label) { node = &builder.ChildFor(*node, label); });
        node->items.push_back(static_cast<int>(i));
    }
    SortChildren(root);
    std::vector<int> items;
    items.reserve(itemNames.size());
    CollectItems(root, items);
    return items;
}

}  // namespace tkw
