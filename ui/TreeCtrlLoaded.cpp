#include "ui/TreeCtrlLoaded.h"

#include <QMenu>
#include <QPainter>

#include "engine/TreeOrder.h"
#include "ui/NodeIcons.h"

namespace tkw {

CTreeCtrlLoaded::CTreeCtrlLoaded(QWidget* parent) : CTreeCtrlBase(parent) {
    setObjectName(QStringLiteral("LoadedBackupTree"));
    m_images.append(FolderIcon());
}

std::string CTreeCtrlLoaded::Key(const std::vector<std::string>& labels) {
    std::string key;
    for (const std::string& label : labels) {
        key += label;
        key += '\0';  // no label holds a NUL
    }
    return key;
}

int CTreeCtrlLoaded::ItemData(const QTreeWidgetItem* node) {
    return node->data(0, Qt::UserRole).toInt();
}

void CTreeCtrlLoaded::SetItemData(QTreeWidgetItem* node, int index) {
    node->setData(0, Qt::UserRole, index);
}

int CTreeCtrlLoaded::AppendImage(const QIcon& icon) {
    m_images.append(icon);
    return LastImagePosition();
}

void CTreeCtrlLoaded::ResetAll() {
    m_byPath.clear();
    clear();
    m_images = {FolderIcon()};
    emit nodesChanged();
}

QTreeWidgetItem* CTreeCtrlLoaded::InsertSorted(QTreeWidgetItem* parent, const std::string& label,
                                               int image) {
    const QByteArray name = QByteArray::fromStdString(label);
    auto* node = new QTreeWidgetItem();
    SetNativeName(node, name);
    node->setIcon(0, m_images.value(image, m_images.front()));
    MakeCheckable(node);
    SetItemData(node, 0);
    // After every sibling that does not sort after the new node; siblings are sorted, so a binary
    // search finds the place.
    int low = 0;
    int high = parent ? parent->childCount() : topLevelItemCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        const QTreeWidgetItem* sibling = parent ? parent->child(middle) : topLevelItem(middle);
        if (CompareNativeNames(name, NativeName(sibling)) < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    const int position = low;
    if (parent) {
        parent->insertChild(position, node);
    } else {
        insertTopLevelItem(position, node);
    }
    return node;
}

QTreeWidgetItem* CTreeCtrlLoaded::EnsureFolderPath(const std::vector<std::string>& labels) {
    QTreeWidgetItem* parent = nullptr;
    std::vector<std::string> prefix;
    for (const std::string& label : labels) {
        prefix.push_back(label);
        QTreeWidgetItem*& node = m_byPath[Key(prefix)];
        if (node == nullptr) {
            node = InsertSorted(parent, label, 0);
        }
        parent = node;
    }
    return parent;
}

QTreeWidgetItem* CTreeCtrlLoaded::AddItemPath(std::string_view itemName, int image, int) {
    const std::vector<std::string> labels = NodeLabels(itemName);
    if (labels.empty()) {
        return nullptr;
    }
    const std::string key = Key(labels);
    if (const auto existing = m_byPath.find(key); existing != m_byPath.end()) {
        return existing->second;
    }
    const bool wasEmpty = topLevelItemCount() == 0;
    QTreeWidgetItem* parent = EnsureFolderPath({labels.begin(), labels.end() - 1});
    QTreeWidgetItem* node = InsertSorted(parent, labels.back(), image);
    m_byPath.emplace(key, node);
    if (wasEmpty) {
        emit nodesChanged();  // the view shows the tree from now on
    }
    return node;
}

QTreeWidgetItem* CTreeCtrlLoaded::FindItemByPath(std::string_view itemName) const {
    const auto found = m_byPath.find(Key(NodeLabels(itemName)));
    return found == m_byPath.end() ? nullptr : found->second;
}

std::string CTreeCtrlLoaded::GetItemPath(const QTreeWidgetItem* node) const {
    std::string path = NativeName(node).toStdString();
    for (const QTreeWidgetItem* parent = node->parent(); parent; parent = parent->parent()) {
        const std::string name = NativeName(parent).toStdString();
        path = (name == "/" ? std::string() : name) + '/' + path;
    }
    return path;
}

std::vector<int> CTreeCtrlLoaded::GetCheckedItemIndexes() const {
    std::vector<QTreeWidgetItem*> nodes;
    ListAllNodes(nodes);
    std::vector<int> indexes;
    for (const QTreeWidgetItem* node : nodes) {
        if (IsChecked(node) && node->childCount() == 0) {
            indexes.push_back(ItemData(node));
        }
    }
    return indexes;
}

QMenu* CTreeCtrlLoaded::CreateContextMenu(QTreeWidgetItem* node) {
    QMenu* menu = StartContextMenu();
    connect(menu->addAction(QStringLiteral("Expand All")), &QAction::triggered, this,
            &CTreeCtrlLoaded::ExpandAll);
    connect(menu->addAction(QStringLiteral("Collapse All")), &QAction::triggered, this,
            &CTreeCtrlLoaded::CollapseAll);
    menu->addSeparator();
    if (node != nullptr) {
        setCurrentItem(node);
        if (ItemData(node) == 0 && node->childCount() > 0) {  // a folder node
            AddExpandOrCollapseOnly(menu, node);
        }
    }
    return menu;
}

CChildView::CChildView(QWidget* parent) : QWidget(parent), m_tree(new CTreeCtrlLoaded(this)) {
    setObjectName(QStringLiteral("ChildView"));
    // The empty view looks like the tree it stands in for.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    connect(m_tree, &CTreeCtrlLoaded::nodesChanged, this, &CChildView::UpdateVisibility);
    UpdateVisibility();
}

void CChildView::UpdateVisibility() {
    m_tree->setVisible(m_tree->topLevelItemCount() > 0);
    update();
}

void CChildView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_tree->setGeometry(rect());
}

void CChildView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (m_tree->topLevelItemCount() > 0) {
        return;
    }
    QPainter painter(this);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(28);
    font.setBold(true);
    font.setStyleHint(QFont::SansSerif);
    painter.setFont(font);
    // Soft, but legible in every look.
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(QPoint(width() / 10, height() / 3 + QFontMetrics(font).ascent()),
                     QStringLiteral("Backup files zone"));
}

}  // namespace tkw
