#pragma once

#include <QByteArray>
#include <QList>

#include "ui/DirTreeCtrl.h"

class QMenu;

namespace tkw {

// The local folders tree with its right-button menu and the selection list a backup takes.
class CDirTreeCtrlEx : public CDirTreeCtrl {
    Q_OBJECT
public:
    explicit CDirTreeCtrlEx(QWidget* parent = nullptr);

    // The full paths of what is ticked, as the file system's bytes: a folder that was never listed
    // as itself, a listed one as its ticked contents; no path twice.
    QList<QByteArray> BuildSelectionList() const;

    // Check All, Uncheck All, Collapse All, and for a node with children Collapse Only or Expand
    // Only.
    QMenu* CreateContextMenu(QTreeWidgetItem* node) override;
};

}  // namespace tkw
