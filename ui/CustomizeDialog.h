#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tkw {

class CToolbarCustomizer;

// "Customize": the commands of the menus on the left, the buttons of the chosen toolbar on the
// right; buttons are added, removed and reordered, and toolbars of the user's own are created,
// named and deleted. Every change shows on the toolbars at once.
class CCustomizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CCustomizeDialog(CToolbarCustomizer& toolbars, QWidget* parent = nullptr);

private:
    QWidget* CreateToolBarRow();
    QWidget* CreateButtonColumn();
    unsigned CurrentToolBar() const;
    unsigned SelectedCommand(const QListWidget* list) const;
    void FillToolBars(unsigned select);
    void FillButtons(unsigned selectCommand = 0);
    void UpdateButtons();
    void AddCommand();
    void RemoveCommand();
    void MoveCommand(int step);
    void NewToolBar();
    void RenameToolBar();
    void DeleteToolBar();

    CToolbarCustomizer& m_toolbars;
    QComboBox* m_toolbarChoice;
    QLineEdit* m_name;
    QPushButton* m_new;
    QPushButton* m_rename;
    QPushButton* m_delete;
    QLabel* m_limit;
    QListWidget* m_commands;
    QListWidget* m_buttons;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;
};

}  // namespace tkw
