#include "ui/DirTreeCtrlEx.h"

#include <sys/stat.h>

#include <QFile>
#include <QMenu>

#include "components/utils/StringUtils.h"

namespace tkw {
namespace {

bool IsFolder(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QString Quoted(const QString& text) {
    return QString::fromStdString(INTRE_GHILIMELE(text.toStdString()));
}

}  // namespace

CDirTreeCtrlEx::CDirTreeCtrlEx(QWidget* parent) : CDirTreeCtrl(parent) {
    setObjectName(QStringLiteral("LocalFoldersTree"));
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &CDirTreeCtrlEx::ShowContextMenu);
}

QStringList CDirTreeCtrlEx::BuildSelectionList() const {
    QStringList list;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        std::vector<QTreeWidgetItem*> nodes;
        CollectSubtree(nodes, topLevelItem(i));
        for (QTreeWidgetItem* node : nodes) {
            if (!IsChecked(node)) {
                continue;
            }
            const QString path = NodeFullPath(node);
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
    auto* menu = new QMenu(this);
    connect(menu->addAction(QStringLiteral("Check All")), &QAction::triggered, this,
            &CDirTreeCtrlEx::CheckAll);
    connect(menu->addAction(QStringLiteral("Uncheck All")), &QAction::triggered, this,
            &CDirTreeCtrlEx::UncheckAll);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Collapse All")), &QAction::triggered, this,
            &CDirTreeCtrlEx::CollapseAll);
    if (node != nullptr) {
        setCurrentItem(node);
        if (node->childCount() > 0) {
            const bool expanded = node->isExpanded();
            QAction* only = menu->addAction(
                (expanded ? QStringLiteral("Collapse Only ") : QStringLiteral("Expand Only ")) +
                Quoted(node->text(0)));
            connect(only, &QAction::triggered, this,
                    [node, expanded] { node->setExpanded(!expanded); });
        }
    }
    return menu;
}

void CDirTreeCtrlEx::ShowContextMenu(const QPoint& position) {
    QMenu* menu = CreateContextMenu(itemAt(position));
    menu->exec(viewport()->mapToGlobal(position));
    delete menu;
}

}  // namespace tkw
