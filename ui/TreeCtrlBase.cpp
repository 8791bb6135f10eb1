#include "ui/TreeCtrlBase.h"

#include <QFile>
#include <QMenu>
#include <QMouseEvent>

#include "components/utils/StringUtils.h"
#include "engine/TreeOrder.h"

namespace tkw {

CTreeCtrlBase::CTreeCtrlBase(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &CTreeCtrlBase::ShowContextMenu);
}

QMenu* CTreeCtrlBase::StartContextMenu() {
    auto* menu = new QMenu(this);
    connect(menu->addAction(QStringLiteral("Check All")), &QAction::triggered, this,
            &CTreeCtrlBase::CheckAll);
    connect(menu->addAction(QStringLiteral("Uncheck All")), &QAction::triggered, this,
            &CTreeCtrlBase::UncheckAll);
    menu->addSeparator();
    return menu;
}

void CTreeCtrlBase::AddExpandOrCollapseOnly(QMenu* menu, QTreeWidgetItem* node) {
    const bool expanded = node->isExpanded();
    const QString quoted = QString::fromStdString(INTRE_GHILIMELE(node->text(0).toStdString()));
    QAction* only = menu->addAction(
        (expanded ? QStringLiteral("Collapse Only ") : QStringLiteral("Expand Only ")) + quoted);
    connect(only, &QAction::triggered, this, [node, expanded] { node->setExpanded(!expanded); });
}

void CTreeCtrlBase::ShowContextMenu(const QPoint& position) {
    QMenu* menu = CreateContextMenu(itemAt(position));
    menu->exec(viewport()->mapToGlobal(position));
    delete menu;
}

QByteArray CTreeCtrlBase::NativeName(const QTreeWidgetItem* node) {
    return node->data(0, kNativeNameRole).toByteArray();
}

void CTreeCtrlBase::SetNativeName(QTreeWidgetItem* node, const QByteArray& name) {
    node->setData(0, kNativeNameRole, name);
    node->setText(0, QFile::decodeName(name));
}

int CTreeCtrlBase::CompareNativeNames(const QByteArray& a, const QByteArray& b) {
    return CompareNodeLabels({a.constData(), static_cast<std::size_t>(a.size())},
                             {b.constData(), static_cast<std::size_t>(b.size())});
}

void CTreeCtrlBase::MakeCheckable(QTreeWidgetItem* node) {
    node->setFlags((node->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsAutoTristate);
    node->setCheckState(0, Qt::Unchecked);
}

void CTreeCtrlBase::CollectSubtree(std::vector<QTreeWidgetItem*>& list, QTreeWidgetItem* node) {
    if (node == nullptr) {
        return;
    }
    list.push_back(node);
    for (int i = 0; i < node->childCount(); ++i) {
        CollectSubtree(list, node->child(i));
    }
}

void CTreeCtrlBase::ListAllNodes(std::vector<QTreeWidgetItem*>& list) const {
    list.clear();
    for (int i = 0; i < topLevelItemCount(); ++i) {
        CollectSubtree(list, topLevelItem(i));
    }
}

void CTreeCtrlBase::ApplyToSubtree(QTreeWidgetItem* node, Action action) {
    if (action == Action::Check || action == Action::Uncheck) {
        node->setCheckState(0, action == Action::Check ? Qt::Checked : Qt::Unchecked);
    }
    if (node->childCount() == 0) {
        return;
    }
    if (action == Action::Expand || action == Action::Collapse) {
        node->setExpanded(action == Action::Expand);
    }
    for (int i = 0; i < node->childCount(); ++i) {
        ApplyToSubtree(node->child(i), action);
    }
}

void CTreeCtrlBase::CheckAncestors(QTreeWidgetItem* node) {
    for (QTreeWidgetItem* parent = node->parent(); parent != nullptr; parent = parent->parent()) {
        parent->setCheckState(0, Qt::Checked);
    }
}

bool CTreeCtrlBase::IsAnyChecked() const {
    std::vector<QTreeWidgetItem*> nodes;
    ListAllNodes(nodes);
    return std::any_of(nodes.begin(), nodes.end(), [](auto* node) { return IsChecked(node); });
}

void CTreeCtrlBase::ApplyToAll(Action action) {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        ApplyToSubtree(topLevelItem(i), action);
    }
}

void CTreeCtrlBase::CheckAll() {
    ApplyToAll(Action::Check);
}
void CTreeCtrlBase::UncheckAll() {
    ApplyToAll(Action::Uncheck);
}
void CTreeCtrlBase::ExpandAll() {
    ApplyToAll(Action::Expand);
}
void CTreeCtrlBase::CollapseAll() {
    ApplyToAll(Action::Collapse);
}

void CTreeCtrlBase::SpreadAfterClick(QTreeWidgetItem* node, Qt::CheckState before) {
    if (node == nullptr || node->checkState(0) == before) {
        return;  // the click was not on the check box
    }
    if (IsChecked(node)) {
        CheckAncestors(node);
        ApplyToSubtree(node, Action::Check);
    } else {
        ApplyToSubtree(node, Action::Uncheck);
    }
}

void CTreeCtrlBase::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidgetItem* node = itemAt(event->position().toPoint());
    const Qt::CheckState before = node ? node->checkState(0) : Qt::Unchecked;
    QTreeWidget::mouseReleaseEvent(event);  // a click on the check box toggles it here
    if (event->button() == Qt::LeftButton) {
        SpreadAfterClick(node, before);
    }
}

void CTreeCtrlBase::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidgetItem* node = itemAt(event->position().toPoint());
    const Qt::CheckState before = node ? node->checkState(0) : Qt::Unchecked;
    QTreeWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        SpreadAfterClick(node, before);
    }
}

}  // namespace tkw
