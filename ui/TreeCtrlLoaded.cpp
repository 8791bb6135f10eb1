#include "ui/TreeCtrlLoaded.h"

#include <QMenu>
#include <QPainter>

#include "engine/TreeOrder.h"
#include "ui/NodeIcons.h"

namespace tkw {
namespace {

QStringList LabelsOf(const QString& path) {
    QStringList labels;
    for (const std::string& label : NodeLabels(path.toStdString())) {
        labels.append(QString::fromStdString(label));
    }
    return labels;
}

}  // namespace

CTreeCtrlLoaded::CTreeCtrlLoaded(QWidget* parent) : CTreeCtrlBase(parent) {
    setObjectName(QStringLiteral("LoadedBackupTree"));
    m_images.append(FolderIcon());
}

QString CTreeCtrlLoaded::Key(const QStringList& labels) {
    return labels.join(QChar(0));  // no label holds a NUL
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

QTreeWidgetItem* CTreeCtrlLoaded::InsertSorted(QTreeWidgetItem* parent, const QString& text,
                                               int image) {
    auto* node = new QTreeWidgetItem();
    node->setText(0, text);
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
        if (CompareNoCase(text, sibling->text(0)) < 0) {
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

QTreeWidgetItem* CTreeCtrlLoaded::EnsureFolderPath(const QStringList& labels) {
    QTreeWidgetItem* parent = nullptr;
    QStringList prefix;
    for (const QString& label : labels) {
        prefix.append(label);
        QTreeWidgetItem*& node = m_byPath[Key(prefix)];
        if (node == nullptr) {
            node = InsertSorted(parent, label, 0);
        }
        parent = node;
    }
    return parent;
}

QTreeWidgetItem* CTreeCtrlLoaded::AddItemPath(const QString& path, int image, int) {
    const QStringList labels = LabelsOf(path);
    if (labels.isEmpty()) {
        return nullptr;
    }
    if (QTreeWidgetItem* existing = m_byPath.value(Key(labels))) {
        return existing;
    }
    const bool wasEmpty = topLevelItemCount() == 0;
    QTreeWidgetItem* parent = EnsureFolderPath(labels.mid(0, labels.size() - 1));
    QTreeWidgetItem* node = InsertSorted(parent, labels.back(), image);
    m_byPath.insert(Key(labels), node);
    if (wasEmpty) {
        emit nodesChanged();  // the view shows the tree from now on
    }
    return node;
}

QTreeWidgetItem* CTreeCtrlLoaded::FindItemByPath(const QString& path) const {
    return m_byPath.value(Key(LabelsOf(path)));
}

QString CTreeCtrlLoaded::GetItemPath(const QTreeWidgetItem* node) const {
    QString path = node->text(0);
    for (const QTreeWidgetItem* parent = node->parent(); parent; parent = parent->parent()) {
        const QString text = parent->text(0);
        path = (text == QStringLiteral("/") ? QString() : text) + u'/' + path;
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
    painter.setPen(QColor(207, 207, 207));
    painter.drawText(QPoint(width() / 10, height() / 3 + QFontMetrics(font).ascent()),
                     QStringLiteral("Backup files zone"));
}

}  // namespace tkw
