#include "ui/OutputList.h"

#include <QMenu>
#include <QTabWidget>

namespace tkw {

COutputList::COutputList(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("OutputList"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUniformItemSizes(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &COutputList::ShowContextMenu);
}

void COutputList::AppendLine(const QString& text) {
    addItem(text);
    scrollToBottom();
}

void COutputList::AppendLines(const QStringList& lines) {
    addItems(lines);
    scrollToBottom();
}

void COutputList::ClearAll() {
    clear();
}

void COutputList::ShowContextMenu(const QPoint& position) {
    QMenu menu(this);
    QAction* clearAll = menu.addAction(QStringLiteral("Clear All"));
    if (menu.exec(viewport()->mapToGlobal(position)) == clearAll) {
        ClearAll();
    }
    setFocus();
}

COutputWnd::COutputWnd(QWidget* parent)
    : QDockWidget(QStringLiteral("Log"), parent), m_list(new COutputList()) {
    setObjectName(QStringLiteral("LogPane"));
    auto* tabs = new QTabWidget(this);
    tabs->setDocumentMode(true);
    tabs->addTab(m_list, QStringLiteral("Log"));
    setWidget(tabs);
}

}  // namespace tkw
