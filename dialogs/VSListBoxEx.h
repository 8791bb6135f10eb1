#pragma once

#include <QListWidget>
#include <QPersistentModelIndex>
#include <QString>
#include <optional>

class QFrame;

namespace tkw {

// An editable list of file extensions with New and Remove buttons in its header. Entries are
// edited in place; a typed entry gets a leading "." and is kept to kMaxEntryLength characters.
// An edit left empty changes nothing (a new entry goes away). Typing may make two entries equal;
// only AddItem refuses duplicates. Insert and Delete do what New and Remove do.
class CVSListBoxEx : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kMaxEntryLength = 250;

    explicit CVSListBoxEx(QWidget* parent);

    // Adds `text` at the end unless an entry with exactly that text (case-sensitive) is there;
    // returns the index of the new entry or of the equal one.
    int AddItem(const QString& text);
    QStringList Entries() const;

    // The message shown when a typed entry is cut to kMaxEntryLength characters.
    static QString TooLongMessage();

    // Adds an empty entry at the end and starts editing it.
    void CreateNewItem();
    void RemoveSelectedItem();
    // Ends an edit still in progress as Enter would, and shows its message now rather than
    // later: for a caller about to read the entries and close.
    void FinishEditing();

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The end of an in-place edit: the text the user left, or nothing when it was cancelled.
    void OnEndEditLabel(QListWidgetItem* entry, std::optional<QString> text);
    void PlaceHeader();
    void ShowPendingMessage();

    QFrame* m_header;
    QPersistentModelIndex m_editing;
    bool m_editEnded = false;
    QString m_editedText;
    QListWidgetItem* m_newItem = nullptr;
    bool m_messagePending = false;
};

}  // namespace tkw
