// Customising the main window: toolbars and their dialog, quick customisation, personalised
// menus and the navigation pane's pages, kept across a restart.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/DialogDriving.h"
#include "tests/support/TestProfile.h"
#include "tests/support/WindowHarness.h"
#include "ui/CustomizeDialog.h"
#include "ui/MenuPersonalizer.h"
#include "ui/OutlookBar.h"
#include "ui/ToolbarCustomizer.h"

namespace tkw {
namespace {

QStringList Strings(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts) {
        list.append(QString::fromLatin1(text));
    }
    return list;
}

// The labels of a toolbar's buttons, left to right, without separators.
QStringList Labels(const QToolBar* bar) {
    QStringList labels;
    for (const QAction* action : bar->actions()) {
        if (!action->isSeparator()) {
            labels.append(action->text());
        }
    }
    return labels;
}

QToolBar* Standard(CMainFrame& frame) {
    return frame.findChild<QToolBar*>(QStringLiteral("StandardToolBar"));
}

// Puts the saved layout back and shows the window, as the program does at start.
void ShowAsAtStart(CMainFrame& frame) {
    frame.RestoreLayout();
    frame.show();
}

QMenu* MenuTitled(CMainFrame& frame, const QString& title) {
    for (QAction* action : frame.menuBar()->actions()) {
        if (action->text() == title) {
            return action->menu();
        }
    }
    return nullptr;
}

QAction* ActionLabelled(const QWidget* widget, const QString& label) {
    for (QAction* action : widget->actions()) {
        if (action->text() == label) {
            return action;
        }
    }
    return nullptr;
}

void Choose(QListWidget* list, const QString& label) {
    const QList<QListWidgetItem*> found = list->findItems(label, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(label));
    list->setCurrentItem(found.front());
}

void ClickEntry(QMenu* menu, QAction* entry) {
    QVERIFY(menu->isVisible() && entry->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(entry).center());
}

void OpenMenu(CMainFrame& frame, QMenu* menu) {
    menu->popup(frame.mapToGlobal(QPoint(40, 40)));
    QTRY_VERIFY(menu->isVisible());
}

// Runs `drive` on the customisation dialog that `open` brings up, then closes it.
void DriveCustomizeDialog(const std::function<void()>& open,
                          const std::function<void(CCustomizeDialog&)>& drive = {}) {
    bool opened = false;
    ModalAnswerer answer([&](QWidget* modal) {
        auto* dialog = qobject_cast<CCustomizeDialog*>(modal);
        if (dialog != nullptr) {
            opened = dialog->windowTitle() == QStringLiteral("Customize");
            if (drive) {
                drive(*dialog);
            }
        }
        Click(Child<QPushButton>(*static_cast<QDialog*>(modal), "Close"));
    });
    open();
    QTRY_VERIFY(opened);
}

}  // namespace

class CustomizationTest : public QObject {
    Q_OBJECT

private slots:
    void theToolbarAndThePaneMenuOpenTheCustomisation() {
        test::TestProfile profile;
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QToolBar* standard = Standard(frame);
        QCOMPARE(
            Labels(standard),
            (Strings({"New", "Open", "Backup", "Restore", "Refresh", "Help", "Customize..."})));
        DriveCustomizeDialog([&] {
            QTest::mouseClick(standard->widgetForAction(standard->actions().back()),
                              Qt::LeftButton);
        });

        // Right clicks on the menu bar, the toolbar and the Log pane's title bring up the pane
        // menu; its last entry opens the dialog.
        auto* log = frame.findChild<QDockWidget*>(QStringLiteral("LogPane"));
        QVERIFY(log);
        for (QWidget* place : {static_cast<QWidget*>(frame.menuBar()),
                               static_cast<QWidget*>(standard), static_cast<QWidget*>(log)}) {
            const QPoint at(place->width() - 5, 5);
            QContextMenuEvent click(QContextMenuEvent::Mouse, at, place->mapToGlobal(at));
            QApplication::sendEvent(place, &click);
            QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QStringList entries;
            for (const QAction* action : menu->actions()) {
                entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
            }
            DriveCustomizeDialog([&] {
                menu->setActiveAction(menu->actions().back());
                QTest::keyClick(menu, Qt::Key_Return);
            });
            QVERIFY2(entries.contains(QStringLiteral("Outlook Bar")),
                     qPrintable(entries.join(u'|')));
            QVERIFY(entries.contains(QStringLiteral("Log")));
            QVERIFY(entries.contains(QStringLiteral("Standard")));
            QVERIFY(!entries.contains(QStringLiteral("Shortcuts")));
            QCOMPARE(entries.back(), QStringLiteral("Customize..."));
        }

        // A user toolbar's own button opens the dialog, which may delete that toolbar and
        // rebuild the others.
        const unsigned mine = frame.ToolBars()->CreateToolBar(QStringLiteral("Mine"));
        QToolBar* user = frame.ToolBars()->ToolBar(mine);
        QCOMPARE(Labels(user), Strings({"Customize..."}));
        QPointer<QToolBar> gone = user;
        DriveCustomizeDialog(
            [&] {
                QTest::mouseClick(user->widgetForAction(user->actions().back()), Qt::LeftButton);
            },
            [&](CCustomizeDialog& dialog) {
                auto* choice = Child<QComboBox>(dialog, "ToolBars");
                choice->setCurrentIndex(choice->findText(QStringLiteral("Mine")));
                Click(Child<QPushButton>(dialog, "DeleteToolBar"));
                Choose(Child<QListWidget>(dialog, "Buttons"), QStringLiteral("Help"));
                Click(Child<QPushButton>(dialog, "RemoveButton"));
                QCoreApplication::processEvents();
            });
        QTRY_VERIFY(!gone);
        QVERIFY(!Labels(standard).contains(QStringLiteral("Help")));
    }

    void thePaneMenuHidesAndShowsTheOutlookBar() {
        test::TestProfile profile;
        {
            test::WindowHarness window;
            CMainFrame& frame = *window.frame;
            ShowAsAtStart(frame);
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            auto* pane = frame.findChild<QDockWidget*>(QStringLiteral("ShortcutsPane"));
            QVERIFY(pane && pane->isVisible());
            QCOMPARE(pane->windowTitle(), QStringLiteral("Shortcuts"));
            std::unique_ptr<QMenu> menu(frame.createPopupMenu());
            QAction* entry = ActionLabelled(menu.get(), QStringLiteral("Outlook Bar"));
            QVERIFY(entry && entry->isEnabled() && entry->isChecked());
            entry->trigger();
            QVERIFY(!pane->isVisible());
            QVERIFY(frame.close());
        }
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        ShowAsAtStart(frame);
        auto* pane = frame.findChild<QDockWidget*>(QStringLiteral("ShortcutsPane"));
        QVERIFY2(!pane->isVisible(), "hidden as it was left");
        std::unique_ptr<QMenu> menu(frame.createPopupMenu());
        ActionLabelled(menu.get(), QStringLiteral("Outlook Bar"))->trigger();
        QVERIFY(pane->isVisible());
    }

    void theDialogAddsRemovesAndReordersButtons() {
        test::TestProfile profile;
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        QAction* donate =
            ActionLabelled(MenuTitled(frame, QStringLiteral("&Help")), QStringLiteral("&Donate"));
        QVERIFY(donate);
        donate->setEnabled(true);  // whatever the Help commands do, the button follows the entry
        QSignalSpy donated(donate, &QAction::triggered);

        CCustomizeDialog dialog(*frame.ToolBars(), &frame);
        dialog.show();
        auto* commands = Child<QListWidget>(dialog, "Commands");
        auto* buttons = Child<QListWidget>(dialog, "Buttons");
        // Every command of the menus is listed, without access keys and shortcut texts.
        for (const char* label :
             {"New Backup (Ctrl+N)", "Exit", "Status Bar", "Windows 2000", "Black Style",
              "Preferences (Ctrl+Shift+P)", "Donate", "Backup"}) {
            Choose(commands, QString::fromLatin1(label));
        }
        Choose(commands, QStringLiteral("Backup"));
        QVERIFY2(!Child<QPushButton>(dialog, "AddButton")->isEnabled(), "it is on the toolbar");

        Choose(commands, QStringLiteral("Donate"));
        Click(Child<QPushButton>(dialog, "AddButton"));
        Click(Child<QPushButton>(dialog, "MoveUp"));
        Choose(buttons, QStringLiteral("New"));
        Click(Child<QPushButton>(dialog, "RemoveButton"));
        const QStringList expected =
            Strings({"Open", "Backup", "Restore", "Refresh", "Donate", "Help"});
        QStringList listed;
        for (int i = 0; i < buttons->count(); ++i) {
            listed.append(buttons->item(i)->text());
        }
        QCOMPARE(listed, expected);
        QCOMPARE(Labels(Standard(frame)), expected + Strings({"Customize..."}));
        Choose(buttons, QStringLiteral("Open"));
        QVERIFY(!Child<QPushButton>(dialog, "MoveUp")->isEnabled());
        Choose(buttons, QStringLiteral("Help"));
        QVERIFY(!Child<QPushButton>(dialog, "MoveDown")->isEnabled());

        QToolBar* standard = Standard(frame);
        QTest::mouseClick(
            standard->widgetForAction(ActionLabelled(standard, QStringLiteral("Donate"))),
            Qt::LeftButton);
        QCOMPARE(donated.count(), 1);
    }

    void userToolBarsAreCreatedNamedAndDeletedTenAtMost() {
        test::TestProfile profile;
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        CToolbarCustomizer& toolbars = *frame.ToolBars();
        CCustomizeDialog dialog(toolbars, &frame);
        dialog.show();
        auto* name = Child<QLineEdit>(dialog, "ToolBarName");
        auto* newBar = Child<QPushButton>(dialog, "NewToolBar");
        auto* choice = Child<QComboBox>(dialog, "ToolBars");
        QVERIFY2(!Child<QPushButton>(dialog, "DeleteToolBar")->isEnabled(), "Standard stays");

        name->setText(QStringLiteral("My Tools"));
        Click(newBar);
        auto* mine = frame.findChild<QToolBar*>(QStringLiteral("UserToolBarE828"));
        QVERIFY(mine);
        QCOMPARE(mine->windowTitle(), QStringLiteral("My Tools"));
        QCOMPARE(choice->currentText(), QStringLiteral("My Tools"));
        QCOMPARE(Labels(mine), Strings({"Customize..."}));
        Choose(Child<QListWidget>(dialog, "Commands"),
               QStringLiteral("Backup Options (Ctrl+Shift+B)"));
        Click(Child<QPushButton>(dialog, "AddButton"));
        QCOMPARE(Labels(mine), (Strings({"Backup Options", "Customize..."})));
        name->setText(QStringLiteral("Options"));
        Click(Child<QPushButton>(dialog, "RenameToolBar"));
        QCOMPARE(mine->windowTitle(), QStringLiteral("Options"));
        QCOMPARE(choice->currentText(), QStringLiteral("Options"));

        for (int i = 2; i <= 10; ++i) {
            QVERIFY(newBar->isEnabled());
            Click(newBar);
            QCOMPARE(choice->currentText(), QStringLiteral("Custom %1").arg(i));
        }
        QVERIFY(frame.findChild<QToolBar*>(QStringLiteral("UserToolBarE831")));
        QVERIFY2(!newBar->isEnabled(), "an eleventh is refused");
        QVERIFY(Child<QLabel>(dialog, "ToolBarLimit")->isVisible());
        QCOMPARE(toolbars.CreateToolBar(QStringLiteral("Eleven")), 0u);
        QCOMPARE(toolbars.ToolBarIds().size(), 11);

        choice->setCurrentIndex(choice->findText(QStringLiteral("Options")));
        Click(Child<QPushButton>(dialog, "DeleteToolBar"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frame.findChild<QToolBar*>(QStringLiteral("UserToolBarE828")));
        QCOMPARE(choice->currentText(), QStringLiteral("Standard"));
        QVERIFY(newBar->isEnabled());
        name->setText(QStringLiteral("Again"));
        Click(newBar);
        QCOMPARE(frame.findChild<QToolBar*>(QStringLiteral("UserToolBarE828"))->windowTitle(),
                 QStringLiteral("Again"));
    }

    void altDraggedButtonsMoveOrLeave() {
        test::TestProfile profile;
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        CToolbarCustomizer& toolbars = *frame.ToolBars();
        const unsigned mine = toolbars.CreateToolBar(QStringLiteral("Mine"));
        QToolBar* standard = Standard(frame);
        QToolBar* user = toolbars.ToolBar(mine);

        // A button dropped on a toolbar lands before or after the button under it.
        const auto drop = [&](unsigned from, unsigned command, QToolBar* on, QPoint at) {
            QMimeData mime;
            mime.setData(CToolbarCustomizer::ButtonMimeType(),
                         QByteArray::number(from) + ' ' + QByteArray::number(command));
            QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::AltModifier);
            QApplication::sendEvent(on, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::AltModifier);
            QApplication::sendEvent(on, &event);
            QVERIFY(event.isAccepted());
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents();  // lays the rebuilt toolbar out
        };
        const QRect open =
            standard->actionGeometry(ActionLabelled(standard, QStringLiteral("Open")));
        drop(kStandardToolBarId, 11, standard, QPoint(open.left() + 2, open.center().y()));
        QCOMPARE(
            Labels(standard),
            (Strings({"New", "Help", "Open", "Backup", "Restore", "Refresh", "Customize..."})));
        const QRect backup =
            standard->actionGeometry(ActionLabelled(standard, QStringLiteral("Backup")));
        drop(kStandardToolBarId, 343, standard, QPoint(backup.right() - 2, backup.center().y()));
        QCOMPARE(Labels(standard).first(4), (Strings({"Help", "Open", "Backup", "New"})));
        drop(kStandardToolBarId, 66, user, QPoint(2, 2));
        QMimeData foreign;
        foreign.setText(QStringLiteral("Refresh"));
        QDragEnterEvent enter(QPoint(2, 2), Qt::MoveAction, &foreign, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(user, &enter);
        QVERIFY2(!enter.isAccepted(), "only buttons land on a toolbar");
        QCOMPARE(Labels(user), (Strings({"Refresh", "Customize..."})));
        QVERIFY(!Labels(standard).contains(QStringLiteral("Refresh")));

        // Dropped off every toolbar the button leaves its own.
        QVERIFY(toolbars.RemoveButton(mine, 66));
        QCOMPARE(Labels(user), Strings({"Customize..."}));
        QVERIFY(!toolbars.RemoveButton(mine, 66));
    }

    void theArrangementIsKeptAcrossARestart() {
        test::TestProfile profile;
        {
            test::WindowHarness window;
            CMainFrame& frame = *window.frame;
            ShowAsAtStart(frame);
            CToolbarCustomizer& toolbars = *frame.ToolBars();
            toolbars.CreateToolBar(QStringLiteral("First"));
            const unsigned second = toolbars.CreateToolBar(QStringLiteral("Second"));
            QVERIFY(toolbars.AddButton(second, 32822));
            QVERIFY(toolbars.AddButton(second, 88, 0));
            QVERIFY(toolbars.DeleteToolBar(kFirstUserToolBarId));
            QVERIFY(toolbars.RemoveButton(kStandardToolBarId, 343));
            QVERIFY(frame.close());
        }
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        ShowAsAtStart(frame);
        QVERIFY(!frame.findChild<QToolBar*>(QStringLiteral("UserToolBarE828")));
        auto* second = frame.findChild<QToolBar*>(QStringLiteral("UserToolBarE829"));
        QVERIFY(second);
        QVERIFY(second->isVisible());
        QCOMPARE(second->windowTitle(), QStringLiteral("Second"));
        QCOMPARE(Labels(second), (Strings({"Backup", "Backup Options", "Customize..."})));
        QCOMPARE(Labels(Standard(frame)).first(), QStringLiteral("Open"));
        // The next toolbar takes the free identifier.
        QCOMPARE(frame.ToolBars()->CreateToolBar(QString()), kFirstUserToolBarId);
    }

    void aMenuShowsItsBasicCommandsUntilExpandedOrUsed() {
        test::TestProfile profile;
        {
            test::WindowHarness window;
            CMainFrame& frame = *window.frame;
            ShowAsAtStart(frame);
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            QVERIFY2(!frame.Menus()->ExpandEntry(MenuTitled(frame, QStringLiteral("&File"))),
                     "a menu of basic commands is whole");
            QMenu* help = MenuTitled(frame, QStringLiteral("&Help"));
            QAction* donate = ActionLabelled(help, QStringLiteral("&Donate"));
            QAction* expand = frame.Menus()->ExpandEntry(help);
            QVERIFY(donate && expand);
            donate->setEnabled(true);  // whatever the Help commands do, personalisation is alike
            QSignalSpy donated(donate, &QAction::triggered);

            OpenMenu(frame, help);
            QVERIFY(!donate->isVisible());
            QVERIFY(ActionLabelled(help, QStringLiteral("&About Tarnwick..."))->isVisible());
            QCOMPARE(help->actions().back(), expand);
            ClickEntry(help, expand);
            QVERIFY2(help->isVisible(), "the menu stays open, in full");
            QVERIFY(donate->isVisible() && !expand->isVisible());
            QVERIFY(help->actionGeometry(donate).bottom() <= help->height());
            ClickEntry(help, donate);
            QCOMPARE(donated.count(), 1);
            QTRY_VERIFY(!help->isVisible());

            OpenMenu(frame, help);
            QVERIFY2(donate->isVisible(), "once used it stays");
            QVERIFY(!expand->isVisible());
            help->close();
            QVERIFY(frame.close());
        }
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        ShowAsAtStart(frame);
        QMenu* help = MenuTitled(frame, QStringLiteral("&Help"));
        OpenMenu(frame, help);
        QVERIFY2(ActionLabelled(help, QStringLiteral("&Donate"))->isVisible(), "kept at a restart");
        help->close();
    }

    void anUnusedCommandStaysHiddenAcrossARestart() {
        test::TestProfile profile;
        for (int start = 0; start < 2; ++start) {
            test::WindowHarness window;
            CMainFrame& frame = *window.frame;
            ShowAsAtStart(frame);
            QMenu* help = MenuTitled(frame, QStringLiteral("&Help"));
            OpenMenu(frame, help);
            QVERIFY(!ActionLabelled(help, QStringLiteral("&Donate"))->isVisible());
            // Expanding alone is not using.
            frame.Menus()->Expand(help);
            QVERIFY(ActionLabelled(help, QStringLiteral("&Donate"))->isVisible());
            help->close();
            QVERIFY(frame.close());
        }
    }

    void anEditedPageCaptionIsKept() {
        test::TestProfile profile;
        {
            test::WindowHarness window;
            CMainFrame& frame = *window.frame;
            ShowAsAtStart(frame);
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            COutlookBar* bar = frame.Outlook();
            QCOMPARE(bar->itemText(1), QStringLiteral("Calendar"));
            QAbstractButton* caption = nullptr;
            for (auto* button : bar->findChildren<QAbstractButton*>()) {
                caption = button->text() == QStringLiteral("Calendar") ? button : caption;
            }
            QVERIFY(caption);
            for (const auto& [typed, key, shown] : {std::tuple{"Dates", Qt::Key_Escape, "Calendar"},
                                                    std::tuple{"   ", Qt::Key_Return, "Calendar"},
                                                    std::tuple{"Dates", Qt::Key_Return, "Dates"}}) {
                QTest::mouseDClick(caption, Qt::LeftButton);
                QLineEdit* editor = bar->CaptionEditor();
                QVERIFY(editor && editor->isVisible());
                QCOMPARE(editor->text(), bar->itemText(1));
                QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(editor, QString::fromLatin1(typed));
                QTest::keyClick(editor, key);
                QCOMPARE(bar->itemText(1), QString::fromLatin1(shown));
                QVERIFY(!bar->CaptionEditor());
            }
            QVERIFY(frame.close());
        }
        test::WindowHarness window;
        window.frame->RestoreLayout();
        QCOMPARE(window.frame->Outlook()->itemText(1), QStringLiteral("Dates"));
        QCOMPARE(window.frame->Outlook()->itemText(0), QStringLiteral("Folders"));
    }

    void thePageSwitchSlidesOnlyWhenTheWorkspaceSaysSo() {
        for (const auto& [stored, slides] : {std::pair{-1, true}, {0, false}, {1, true}}) {
            test::TestProfile profile;
            if (stored >= 0) {
                WriteProfileInt(profile::kOutlookAnimation, stored);
            }
            test::WindowHarness window;
            window.frame->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.frame.get()));
            COutlookBar* bar = window.frame->Outlook();
            QCOMPARE(bar->AnimationEnabled(), slides);
            bar->setCurrentIndex(1);
            QCOMPARE(bar->IsAnimating(), slides);
            window.frame->close();
            QVERIFY2(stored >= 0 || !StoredText(profile, profile::kOutlookAnimation),
                     "the program never writes it");
        }
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::CustomizationTest)
#include "CustomizationTest.moc"
