#include "dialogs/VSListBoxEx.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "components/utils/ReportError.h"

namespace tkw {

CVSListBoxEx::CVSListBoxEx(QWidget* parent) : QListWidget(parent), m_header(new QFrame(this)) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    auto* newButton = new QToolButton(m_header);
    newButton->setObjectName(QStringLiteral("New"));
    newButton->setText(QStringLiteral("New"));
    newButton->setToolTip(QStringLiteral("New (Insert)"));
    newButton->setAutoRaise(true);
    auto* removeButton = new QToolButton(m_header);
    removeButton->setObjectName(QStringLiteral("Remove"));
    removeButton->setText(QStringLiteral("Remove"));
    removeButton->setToolTip(QStringLiteral("Remove (Delete)"));
    removeButton->setAutoRaise(true);
    connect(newButton, &QToolButton::clicked, this, &CVSListBoxEx::CreateNewItem);
    connect(removeButton, &QToolButton::clicked, this, &CVSListBoxEx::RemoveSelectedItem);
    auto* layout = new QHBoxLayout(m_header);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    layout->addStretch();
    layout->addWidget(newButton);
    layout->addWidget(removeButton);
    // The header reads as the top band of the list: a panel in the button colour inside the
    // list's frame.
    m_header->setFrameShape(QFrame::StyledPanel);
    m_header->setAutoFillBackground(true);
    m_header->setBackgroundRole(QPalette::Button);
    setViewportMargins(0, m_header->sizeHint().height(), 0, 0);
}

int CVSListBoxEx::AddItem(const QString& text) {
    for (int row = 0; row < count(); ++row) {
        if (item(row)->text() == text) {
            return row;
        }
    }
    auto* entry = new QListWidgetItem(text, this);
    entry->setFlags(entry->flags() | Qt::ItemIsEditable);
    return count() - 1;
}

QStringList CVSListBoxEx::Entries() const {
    QStringList entries;
    for (int row = 0; row < count(); ++row) {
        entries.append(item(row)->text());
    }
    return entries;
}

QString CVSListBoxEx::TooLongMessage() {
    const QString limit = QString::number(kMaxEntryLength);
    return QStringLiteral("The extension cannot be bigger than ") + limit +
           QStringLiteral(" caracters , this extension will be truncated automatically to ") +
           limit + QStringLiteral(" caracters !");
}

void CVSListBoxEx::CreateNewItem() {
    const int before = count();
    const int row = AddItem(QString());
    QListWidgetItem* entry = item(row);
    m_newItem = count() > before ? entry : nullptr;
    setCurrentItem(entry);
    scrollToItem(entry);
    editItem(entry);
}

void CVSListBoxEx::RemoveSelectedItem() {
    const QList<QListWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    if (selected.front() == m_newItem) {
        m_newItem = nullptr;
    }
    delete selected.front();
}

bool CVSListBoxEx::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool started = QListWidget::edit(index, trigger, event);
    if (started) {
        m_editing = index;
        m_editEnded = false;
    }
    return started;
}

void CVSListBoxEx::commitData(QWidget* editor) {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line == nullptr || !m_editing.isValid()) {
        QListWidget::commitData(editor);
        return;
    }
    // Enter and the loss of focus may both commit one edit; the first text counts.
    if (!m_editEnded) {
        m_editEnded = true;
        m_editedText = line->text();
    }
}

void CVSListBoxEx::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // The entry changes only once its editor is gone, so the view never holds an editor for a
    // removed entry.
    QListWidgetItem* entry = m_editing.isValid() ? itemFromIndex(m_editing) : nullptr;
    const std::optional<QString> text =
        m_editEnded ? std::optional<QString>(m_editedText) : std::nullopt;
    m_editing = QPersistentModelIndex();
    m_editEnded = false;
    m_editedText.clear();
    QListWidget::closeEditor(editor, hint);
    if (entry != nullptr) {
        OnEndEditLabel(entry, text);
    }
}

void CVSListBoxEx::OnEndEditLabel(QListWidgetItem* entry, std::optional<QString> text) {
    QString value;
    bool tooLong = false;
    // An empty text counts as nothing typed: a new entry goes away, an existing one stays as it
    // was, and no entry "." is made from nothing.
    if (text && !text->isEmpty()) {
        value = *text;
        if (!value.startsWith(QLatin1Char('.'))) {
            value.prepend(QLatin1Char('.'));
        }
        if (value.size() > kMaxEntryLength) {
            tooLong = true;
            int length = kMaxEntryLength;
            // Never keep half of a character written as two UTF-16 units.
            if (value.at(length - 1).isHighSurrogate()) {
                --length;
            }
            value.truncate(length);
        }
    }
    if (entry != nullptr) {
        if (!value.isEmpty()) {
            entry->setText(value);
        } else if (entry == m_newItem) {
            delete entry;
        }
    }
    if (entry == m_newItem) {
        m_newItem = nullptr;
    }
    if (tooLong) {
        // Shown once the editor is gone: a modal box while the editor still closes would let it be
        // destroyed under the view's feet.
        m_messagePending = true;
        QTimer::singleShot(0, this, &CVSListBoxEx::ShowPendingMessage);
    }
}

void CVSListBoxEx::ShowPendingMessage() {
    if (m_messagePending) {
        m_messagePending = false;
        ReportError(TooLongMessage().toStdString(), 0);
    }
}

void CVSListBoxEx::FinishEditing() {
    if (m_editing.isValid()) {
        if (QWidget* editor = indexWidget(m_editing)) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    ShowPendingMessage();
}

void CVSListBoxEx::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Insert) {
            CreateNewItem();
            return;
        }
        if (event->key() == Qt::Key_Delete) {
            RemoveSelectedItem();
            return;
        }
    }
    QListWidget::keyPressEvent(event);
}

void CVSListBoxEx::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    PlaceHeader();
}

void CVSListBoxEx::PlaceHeader() {
    const QRect area = viewport()->geometry();
    const int height = m_header->sizeHint().height();
    m_header->setGeometry(area.left(), area.top() - height, area.width(), height);
}

}  // namespace tkw
