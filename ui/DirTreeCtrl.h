#pragma once

#include <QByteArray>
#include <QSet>
#include <string>
#include <vector>

#include "ui/TreeCtrlBase.h"

namespace tkw {

// The tree of the local folders: "/" at the top, each folder listed the first time it is expanded
// (its sub-folders, then its files, each sorted without regard to case), with placeholders giving
// unlisted folders their expand button. Paths are the file system's bytes, whatever they show as.
class CDirTreeCtrl : public CTreeCtrlBase {
    Q_OBJECT
public:
    explicit CDirTreeCtrl(QWidget* parent = nullptr);

    // Rebuilds the tree: every node, tick and listing is gone.
    bool ReloadDrives();
    QTreeWidgetItem* InsertPathNode(QTreeWidgetItem* parent, const QByteArray& path);
    // The full path of a node ("/" for the top; a placeholder gives its folder's path).
    QByteArray NodeFullPath(const QTreeWidgetItem* node) const;
    bool WasListed(const QTreeWidgetItem* node) const { return m_listedNodes.contains(node); }

    // Whether a folder holds something to show: a folder, or a file that is not hidden.
    static bool HasListableEntry(const QByteArray& path);
    // Case-insensitive ascending order (A to Z folded), equal names keeping their order.
    static void SortAscendingNoCase(std::vector<std::string>& names);

private:
    // A node whose kind the caller already knows (a listing knows it from the folder's entries).
    QTreeWidgetItem* InsertNode(QTreeWidgetItem* parent, const QByteArray& name, bool isFolder);
    void OnExpanded(QTreeWidgetItem* node);
    void ListFolder(QTreeWidgetItem* node, const QByteArray& path);
    void AddPlaceholder(QTreeWidgetItem* node);

    QSet<const QTreeWidgetItem*> m_listedNodes;
    bool m_showFiles = true;
};

}  // namespace tkw
