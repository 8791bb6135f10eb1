#pragma once

#include <QMainWindow>
#include <functional>

class QAction;
class QMenu;

namespace tkw {

class CChildView;
class CDirTreeCtrlEx;
class CMenuPersonalizer;
class COutlookBar;
class CToolbarCustomizer;
class COutputList;
class COutputWnd;
class CTreeCtrlLoaded;

// The main window: menu bar, the "Standard" toolbar, the "Shortcuts" navigation pane on the left
// (the local folders tree on its "Folders" page, a calendar on its "Calendar" page), the loaded
// backup in the middle, the docking "Log" pane at the bottom and the status bar. Commands are
// signals; the application object carries them out.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    CDirTreeCtrlEx* LocalTree() const { return m_localTree; }
    CTreeCtrlLoaded* LoadedTree() const;
    COutputList* OutputList() const;

    // Puts the window back where the last session left it.
    void RestoreLayout();

    // What the user may customise: toolbars, menus and the navigation pane's pages.
    CToolbarCustomizer* ToolBars() const { return m_toolbars; }
    CMenuPersonalizer* Menus() const { return m_menus; }
    COutlookBar* Outlook() const { return m_outlook; }
    // The pane menu (right click on the menu bar, a toolbar or a pane), ending with "Customize...".
    QMenu* createPopupMenu() override;

    // The visual style, by its command number (205 to 219); stored at every change.
    unsigned ApplicationLook() const { return m_applicationLook; }
    void SetApplicationLook(unsigned command);

    // Asked when the window is to close (its close box, the window manager, Exit); false keeps
    // the window open.
    void SetCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }
    // Menus, toolbar and panes, all that the user works with. While a run's progress dialog is up
    // they are disabled instead of the whole window being blocked, so that a close request still
    // reaches the window.
    void SetContentsEnabled(bool enabled);

signals:
    void closing();
    // Ctrl+Shift with N, O, B, R or P.
    void shortcutKeyPressed(QChar letter);
    void newBackupRequested();
    void openBackupRequested();
    void runBackupRequested();
    void runRestoreRequested();
    void refreshRequested();
    void backupOptionsRequested();
    void restoreOptionsRequested();
    void preferencesRequested();
    // The Help menu, the toolbar's Help button and F1.
    void helpRequested();
    void checkForNewVersionRequested();
    void sendFeedbackRequested();
    void visitWebsiteRequested();
    void aboutRequested();
    void donateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateNavigationPane();
    void CreateStatusBar();
    void CreateLookMenu(QMenu* view);
    void CreateHelpMenu();
    void CreateShortcutKeys();
    void CreateCustomization();
    void SaveLayout();
    QAction* Command(const QString& label, const QString& prompt, void (CMainFrame::*signal)());

    CChildView* m_view;
    CDirTreeCtrlEx* m_localTree;
    COutputWnd* m_output;
    QAction* m_newAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_refreshAction = nullptr;
    QList<QAction*> m_lookActions;
    unsigned m_applicationLook = 216;
    std::function<bool()> m_closeGuard;
    COutlookBar* m_outlook = nullptr;
    CToolbarCustomizer* m_toolbars = nullptr;
    CMenuPersonalizer* m_menus = nullptr;
};

}  // namespace tkw
