#include "ui/DirTreeCtrlEx.h"

#include <sys/stat.h>

#include <QMenu>

namespace tkw {
namespace {

bool IsFolder(const QByteArray& path) {
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

CDirTreeCtrlEx::CDirTreeCtrlEx(QWidget* parent) : CDirTreeCtrl(parent) {
    setObjectName(QStringLiteral("LocalFoldersTree"));
}

QList<QByteArray> CDirTreeCtrlEx::BuildSelectionList() const {
    QList<QByteArray> list;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        std::vector<QTreeWidgetItem*> nodes;
        CollectSubtree(nodes, topLevelItem(i));
        for (QTreeWidgetItem* node : nodes) {
            if (!IsChecked(node)) {
                continue;
            }
            const QByteArray path = NodeFullPath(node);
            if (list.contains(path)) {
                continue;
            }
            if (!IsFolder(path) || !WasListed(node)) {
                list.append(path);
            }
        }
    }
    return list;
}

QMenu* CDirTreeCtrlEx::CreateContextMenu(QTreeWidgetItem* node) {
    QMenu* menu = StartContextMenu();
    connect(menu->addAction(QStringLiteral("Collapse All")), &QAction::triggered, this,
            &CDirTreeCtrlEx::CollapseAll);
    if (node != nullptr) {
        setCurrentItem(node);
        if (node->childCount() > 0) {
            AddExpandOrCollapseOnly(menu, node);
        }
    }
    return menu;
}

}  // namespace tkw
