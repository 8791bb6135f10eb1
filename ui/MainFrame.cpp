#include "ui/MainFrame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QByteArray>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "ui/ApplicationLook.h"
#include "ui/CalendarBar.h"
#include "ui/CommandNumbers.h"
#include "ui/DirTreeCtrlEx.h"
#include "ui/MenuPersonalizer.h"
#include "ui/OutlookBar.h"
#include "ui/OutputList.h"
#include "ui/ProgramKeys.h"
#include "ui/ToolbarCustomizer.h"
#include "ui/TreeCtrlLoaded.h"
#include "ui/WorkspaceValues.h"

namespace tkw {
namespace {

constexpr std::string_view kGeometryKey = "MainFrameGeometry";
constexpr std::string_view kStateKey = "MainFrameState";

// One of the program's own images, at 48 and 24 pixels.
QIcon ProgramIcon(const QString& name) {
    QIcon icon;
    for (const char* size : {"48", "24"}) {
        icon.addFile(QStringLiteral(":/icons/") + name + u'-' + QLatin1String(size) +
                     QStringLiteral(".png"));
    }
    return icon;
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent),
      m_view(new CChildView(this)),
      m_localTree(new CDirTreeCtrlEx()),
      m_output(new COutputWnd(this)) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setMinimumSize(800, 560);
    setCentralWidget(m_view);
    CreateMenus();
    CreateToolBar();
    CreateNavigationPane();
    addDockWidget(Qt::BottomDockWidgetArea, m_output);
    resizeDocks({m_output}, {160}, Qt::Vertical);
    CreateStatusBar();
    CreateShortcutKeys();
    CreateCustomization();
    // A fresh profile starts with the black Office 2007 style.
    const auto stored = static_cast<unsigned>(GetProfileInt(profile::kApplicationLook));
    SetApplicationLook(IsApplicationLook(stored) ? stored : 216);
    m_localTree->ReloadDrives();
}

CTreeCtrlLoaded* CMainFrame::LoadedTree() const {
    return m_view->Tree();
}

COutputList* CMainFrame::OutputList() const {
    return m_output->List();
}

QAction* CMainFrame::Command(const QString& label, const QString& prompt,
                             void (CMainFrame::*signal)()) {
    auto* action = new QAction(label, this);
    action->setStatusTip(prompt);
    connect(action, &QAction::triggered, this, signal);
    return action;
}

void CMainFrame::CreateMenus() {
    m_newAction =
        Command(QStringLiteral("&New Backup         (Ctrl+N)\tCtrl+N"),
                QStringLiteral("Create a new backup file"), &CMainFrame::newBackupRequested);
    m_openAction =
        Command(QStringLiteral("&Open Backup       (Ctrl+O)\tCtrl+O"),
                QStringLiteral("Opens an existing backup file"), &CMainFrame::openBackupRequested);
    m_refreshAction =
        Command(QStringLiteral("&Refresh Content (F5)"),
                QStringLiteral("Refresh the local folders"), &CMainFrame::refreshRequested);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(m_newAction);
    file->addAction(m_openAction);
    connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* statusBarToggle = view->addAction(QStringLiteral("&Status Bar"));
    statusBarToggle->setCheckable(true);
    statusBarToggle->setChecked(true);
    connect(statusBarToggle, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    CreateLookMenu(view);
    view->addSeparator();
    view->addAction(m_refreshAction);
    view->addSeparator();

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    QAction* backupOptions =
        Command(QStringLiteral("&Backup Options         (Ctrl+Shift+B)"),
                QStringLiteral("Change the backup options"), &CMainFrame::backupOptionsRequested);
    backupOptions->setObjectName(QStringLiteral("BackupOptionsAction"));
    tools->addAction(backupOptions);
    QAction* restoreOptions =
        Command(QStringLiteral("&Restore Options         (Ctrl+Shift+R)"),
                QStringLiteral("Change the restore options"), &CMainFrame::restoreOptionsRequested);
    restoreOptions->setObjectName(QStringLiteral("RestoreOptionsAction"));
    tools->addAction(restoreOptions);
    tools->addSeparator();
    QAction* preferences =
        Command(QStringLiteral("&Preferences                  (Ctrl+Shift+P)"),
                QStringLiteral("Change the preferences"), &CMainFrame::preferencesRequested);
    preferences->setObjectName(QStringLiteral("PreferencesAction"));
    tools->addAction(preferences);
    CreateHelpMenu();
}

void CMainFrame::CreateHelpMenu() {
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    const auto entry = [&](const QString& label, const QString& prompt, const QString& name,
                           void (CMainFrame::*signal)()) {
        QAction* action = Command(label, prompt, signal);
        action->setObjectName(name);
        help->addAction(action);
    };
    entry(QStringLiteral("&Help F1"), QStringLiteral("Display help"),
          QStringLiteral("HelpMenuAction"), &CMainFrame::helpRequested);
    entry(QStringLiteral("&Check For New Version ..."),
          QStringLiteral("Check For New Versions ..."), QStringLiteral("CheckForNewVersionAction"),
          &CMainFrame::checkForNewVersionRequested);
    entry(QStringLiteral("Send Feedback"), QStringLiteral("Send a emails to us, report a bug ..."),
          QStringLiteral("SendFeedbackAction"), &CMainFrame::sendFeedbackRequested);
    entry(QStringLiteral("&Visit Website"), QStringLiteral("Open our site"),
          QStringLiteral("VisitWebsiteAction"), &CMainFrame::visitWebsiteRequested);
    entry(QStringLiteral("&About Tarnwick..."),
          QStringLiteral("Display program information, version number and copyright"),
          QStringLiteral("AboutAction"), &CMainFrame::aboutRequested);
    entry(QStringLiteral("&Donate"), QStringLiteral("Donate me some money"),
          QStringLiteral("DonateAction"), &CMainFrame::donateRequested);
}

void CMainFrame::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("StandardToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(32, 32));
    const auto button = [&](const QString& text, const QString& image, const QString& prompt,
                            void (CMainFrame::*signal)()) {
        QAction* action = Command(text, prompt, signal);
        action->setIcon(ProgramIcon(image));
        action->setObjectName(text + QStringLiteral("Action"));
        bar->addAction(action);
        bar->addSeparator();
        return action;
    };
    button(QStringLiteral("New"), QStringLiteral("new"), QStringLiteral("Create a new backup file"),
           &CMainFrame::newBackupRequested);
    button(QStringLiteral("Open"), QStringLiteral("open"),
           QStringLiteral("Opens an existing backup file"), &CMainFrame::openBackupRequested);
    button(QStringLiteral("Backup"), QStringLiteral("backup"), QStringLiteral("Runs backup"),
           &CMainFrame::runBackupRequested);
    button(QStringLiteral("Restore"), QStringLiteral("restore"), QStringLiteral("Runs restore"),
           &CMainFrame::runRestoreRequested);
    button(QStringLiteral("Refresh"), QStringLiteral("refresh"),
           QStringLiteral("Refresh the local folders"), &CMainFrame::refreshRequested);
    QAction* help =
        Command(QStringLiteral("Help"), QStringLiteral("Display help"), &CMainFrame::helpRequested);
    help->setIcon(ProgramIcon(QStringLiteral("help")));
    help->setObjectName(QStringLiteral("HelpAction"));
    bar->addAction(help);
    for (QAction* action : bar->actions()) {
        if (QWidget* widget = bar->widgetForAction(action); widget && !action->isSeparator()) {
            widget->setMinimumSize(80, 61);
        }
    }
}

void CMainFrame::CreateNavigationPane() {
    auto* dock = new QDockWidget(QStringLiteral("Shortcuts"), this);
    dock->setObjectName(QStringLiteral("ShortcutsPane"));
    // Closable, so that the pane menu can hide it and bring it back.
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                      QDockWidget::DockWidgetClosable);
    auto* pages = new COutlookBar(dock);
    m_outlook = pages;
    pages->addItem(m_localTree, style()->standardIcon(QStyle::SP_DirIcon),
                   QStringLiteral("Folders"));
    pages->addItem(new CCalendarBar(pages),
                   style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                   QStringLiteral("Calendar"));
    dock->setWidget(pages);
    dock->setMinimumWidth(250);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    // Wide enough for typical folder names; the user's own width is kept with the layout.
    resizeDocks({dock}, {340}, Qt::Horizontal);
    dock->toggleViewAction()->setText(COutlookBar::PaneName());
}

void CMainFrame::CreateStatusBar() {
    statusBar()->showMessage(QStringLiteral("Ready"));
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(QString::fromLatin1(indicator), this);
        label->setEnabled(false);  // Qt cannot read the lock keys' state on every platform
        statusBar()->addPermanentWidget(label);
    }
}

void CMainFrame::CreateLookMenu(QMenu* view) {
    QMenu* looks = view->addMenu(QStringLiteral("&Application Look"));
    QMenu* office2007 = nullptr;
    auto* group = new QActionGroup(this);
    for (const tkw::ApplicationLook& look : ApplicationLooks()) {
        if (look.label.isEmpty()) {
            continue;  // 219 takes effect only as a stored value
        }
        if (look.inOffice2007 && office2007 == nullptr) {
            office2007 = looks->addMenu(QStringLiteral("Office 200&7"));
        }
        QAction* action = (look.inOffice2007 ? office2007 : looks)->addAction(look.label);
        action->setCheckable(true);
        action->setData(look.command);
        group->addAction(action);
        m_lookActions.append(action);
        const unsigned command = look.command;
        connect(action, &QAction::triggered, this,
                [this, command] { SetApplicationLook(command); });
    }
}

void CMainFrame::SetApplicationLook(unsigned command) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_applicationLook = command;
    ApplyApplicationLook(command);
    for (QAction* action : m_lookActions) {
        action->setChecked(action->data().toUInt() == command);
    }
    update();
    WriteProfileInt(profile::kApplicationLook, static_cast<std::int32_t>(command));
    QApplication::restoreOverrideCursor();
}

void CMainFrame::CreateShortcutKeys() {
    // The program's own keys: both Ctrl and Shift for the letters (the menus' "Ctrl+N" is a label
    // only), F5 alone for a refresh; they work while a modal dialog is open too.
    auto* keys = new CProgramKeys(this);
    connect(keys, &CProgramKeys::refreshPressed, this, &CMainFrame::refreshRequested);
    connect(keys, &CProgramKeys::letterPressed, this, &CMainFrame::shortcutKeyPressed);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CMainFrame::helpRequested);
}

void CMainFrame::CreateCustomization() {
    AttachCommandNumbers(*this);
    m_toolbars =
        new CToolbarCustomizer(*this, *findChild<QToolBar*>(QStringLiteral("StandardToolBar")));
    m_menus = new CMenuPersonalizer(*menuBar());
}

QMenu* CMainFrame::createPopupMenu() {
    QMenu* menu = QMainWindow::createPopupMenu();
    if (menu != nullptr) {
        m_toolbars->AppendCustomizeEntry(menu);
    }
    return menu;
}

void CMainFrame::RestoreLayout() {
    // The user's own toolbars exist before the window's state places them.
    m_toolbars->Restore();
    m_menus->Restore();
    m_outlook->RestoreCaptions();
    if (!restoreGeometry(ReadWorkspaceValue(kGeometryKey))) {
        resize(1100, 720);  // a first start; shown maximised where a window manager can
    }
    restoreState(ReadWorkspaceValue(kStateKey));
}

void CMainFrame::SaveLayout() {
    m_toolbars->Save();
    m_menus->Save();
    m_outlook->SaveCaptions();
    WriteWorkspaceValue(kGeometryKey, saveGeometry());
    WriteWorkspaceValue(kStateKey, saveState());
}

void CMainFrame::SetContentsEnabled(bool enabled) {
    menuBar()->setEnabled(enabled);
    centralWidget()->setEnabled(enabled);
    statusBar()->setEnabled(enabled);
    for (QToolBar* bar : findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
        bar->setEnabled(enabled);
    }
    for (QDockWidget* pane : findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly)) {
        pane->setEnabled(enabled);
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    emit closing();
    SaveLayout();
    QMainWindow::closeEvent(event);
}

}  // namespace tkw
