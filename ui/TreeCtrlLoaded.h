#pragma once

#include <QIcon>
#include <QList>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/TreeCtrlBase.h"

class QMenu;

namespace tkw {

// The tree of the loaded backup: one node per folder level and per item name, siblings in the
// tree's alphabetical order, file nodes carrying their archive index. Its image list holds the
// folder image at 0 and one icon per item added after it.
class CTreeCtrlLoaded : public CTreeCtrlBase {
    Q_OBJECT
public:
    explicit CTreeCtrlLoaded(QWidget* parent = nullptr);

    // The node for an item name (the archive's bytes), made (with its folders) when missing; an
    // existing node is returned unchanged.
    QTreeWidgetItem* AddItemPath(std::string_view itemName, int image, int selectedImage);
    QTreeWidgetItem* FindItemByPath(std::string_view itemName) const;
    std::string GetItemPath(const QTreeWidgetItem* node) const;
    // The folder node for a folder path (made when missing); nullptr for the top level.
    QTreeWidgetItem* EnsureFolderPath(const std::vector<std::string>& labels);
    // The archive indexes of the ticked file nodes, in tree order.
    std::vector<int> GetCheckedItemIndexes() const;

    static int ItemData(const QTreeWidgetItem* node);
    static void SetItemData(QTreeWidgetItem* node, int index);

    // The image list: appends an item's icon, its position.
    int AppendImage(const QIcon& icon);
    int LastImagePosition() const { return static_cast<int>(m_images.size()) - 1; }
    // Deletes every node and resets the image list to the folder image alone.
    void ResetAll();

    // Check All, Uncheck All, Expand All, Collapse All, and for a folder node Collapse Only or
    // Expand Only.
    QMenu* CreateContextMenu(QTreeWidgetItem* node) override;

signals:
    void nodesChanged();

private:
    QTreeWidgetItem* InsertSorted(QTreeWidgetItem* parent, const std::string& label, int image);
    static std::string Key(const std::vector<std::string>& labels);

    QList<QIcon> m_images;
    std::unordered_map<std::string, QTreeWidgetItem*> m_byPath;  // the lookup by path, not a walk
};

// The client area: the loaded-backup tree, or the words "Backup files zone" while it is empty.
class CChildView : public QWidget {
    Q_OBJECT
public:
    explicit CChildView(QWidget* parent = nullptr);
    CTreeCtrlLoaded* Tree() const { return m_tree; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateVisibility();

    CTreeCtrlLoaded* m_tree;
};

}  // namespace tkw
