#pragma once

#include <QDialog>
#include <QStringList>
#include <array>

class QAction;
class QMenu;

namespace tkw {

class CMFCMenuButtonEx;
class CVSListBoxEx;

// "File types list": edits the stored list of file extensions the file-type filter uses, by
// typing entries or picking them from five categories. OK stores the whole list; Cancel, Escape
// and the close box store nothing.
class CFileTypes : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCategories = 5;

    explicit CFileTypes(QWidget* parent);
    void accept() override;

    // The predefined entries of a category (0 video, 1 audio, 2 picture, 3 text, 4 executable).
    static const QStringList& CategoryEntries(int category);

private:
    // A menu choice: an action holding -1 adds the whole category, otherwise the entry at that
    // position.
    void OnMenuChosen(int category, QAction* action);

    std::array<QMenu*, kCategories> m_menus{};
    std::array<CMFCMenuButtonEx*, kCategories> m_buttons{};
    CVSListBoxEx* m_list;
};

}  // namespace tkw
