#pragma once

#include <QByteArray>
#include <QTreeWidget>

class QMenu;
#include <vector>

namespace tkw {

// A tree with a check box on every node and operations over the whole tree or a subtree: the base
// of the local folders tree and of the loaded-backup tree. Ticks do not spread by themselves; the
// trees spread them on mouse clicks (a tick changed with the space bar changes one node).
class CTreeCtrlBase : public QTreeWidget {
    Q_OBJECT
public:
    enum class Action { Check, Uncheck, Expand, Collapse };

    explicit CTreeCtrlBase(QWidget* parent = nullptr);

    // `node` and then, depth first, everything below it (a node before its children).
    static void CollectSubtree(std::vector<QTreeWidgetItem*>& list, QTreeWidgetItem* node);
    void ListAllNodes(std::vector<QTreeWidgetItem*>& list) const;
    static void ApplyToSubtree(QTreeWidgetItem* node, Action action);
    // Ticks the node's parent, its parent's parent and so on; the node itself is unchanged.
    static void CheckAncestors(QTreeWidgetItem* node);
    bool IsAnyChecked() const;
    void CheckAll();
    void UncheckAll();
    void ExpandAll();
    void CollapseAll();

    // A node's name as the file system's or the archive's bytes, which need not be UTF-8 and so
    // need not survive the text shown for it. Paths and the order of siblings come from these.
    static QByteArray NativeName(const QTreeWidgetItem* node);
    // Keeps the bytes with the node and shows them decoded.
    static void SetNativeName(QTreeWidgetItem* node, const QByteArray& name);
    // The order of siblings by their native names: the engine's, so that the window and the
    // command-line tool list items alike.
    static int CompareNativeNames(const QByteArray& a, const QByteArray& b);

    // The right-button menu for a node (or none); the caller owns it.
    virtual QMenu* CreateContextMenu(QTreeWidgetItem* node) = 0;

    static bool IsChecked(const QTreeWidgetItem* node) {
        return node->checkState(0) == Qt::Checked;
    }
    // A node that can be ticked, with nothing of Qt's own tick propagation.
    static void MakeCheckable(QTreeWidgetItem* node);

protected:
    // The menus' shared pieces: "Check All", "Uncheck All" and a separator to start with; for a
    // node with children "Expand Only" or "Collapse Only" with its quoted name.
    QMenu* StartContextMenu();
    void AddExpandOrCollapseOnly(QMenu* menu, QTreeWidgetItem* node);

    // A click that toggled a node's check box: tick the ancestors and the subtree, or untick the
    // subtree.
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    static constexpr int kNativeNameRole = Qt::UserRole + 1;

    void ApplyToAll(Action action);
    void ShowContextMenu(const QPoint& position);
    void SpreadAfterClick(QTreeWidgetItem* node, Qt::CheckState before);
};

}  // namespace tkw
