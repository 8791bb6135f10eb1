// The main window's looks, keys and refresh.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

#include <QCalendarWidget>
#include "components/utils/ReportError.h"
#include "engine/BackupRestoreManager.h"
#include "shell/profile/ProfileKeys.h"
#include "tests/support/TestProfile.h"
#include "tests/support/WindowHarness.h"

#include "ui/CalendarBar.h"
#include "ui/Commands.h"
#include "ui/DirTreeCtrlEx.h"
#include "ui/GuiHost.h"
#include "ui/MainFrame.h"
#include "ui/OutputList.h"
#include "ui/ProgressDialog.h"
#include "ui/TreeCtrlLoaded.h"

namespace tkw {

class FrameTest : public QObject {
    Q_OBJECT

private slots:
    void aFreshProfileStartsBlackAndAChosenLookIsKept() {
        test::TestProfile profile;
        {
            CMainFrame frame;
            QCOMPARE(frame.ApplicationLook(), 216u);
            QAction* black = nullptr;
            QAction* windows2000 = nullptr;
            for (QAction* action : frame.findChildren<QAction*>()) {
                black = action->text() == QStringLiteral("B&lack Style") ? action : black;
                windows2000 =
                    action->text() == QStringLiteral("Windows &2000") ? action : windows2000;
            }
            QVERIFY(black && windows2000);
            QVERIFY(black->isChecked());
            windows2000->trigger();
            QVERIFY(windows2000->isChecked() && !black->isChecked());
            QCOMPARE(GetProfileInt(profile::kApplicationLook), 205);
        }
        CMainFrame restarted;
        QCOMPARE(restarted.ApplicationLook(), 205u);
    }

    void theProgressDialogsCancelReachesTheRun() {
        test::TestProfile profile;
        test::WindowHarness window;
        for (const bool byEscape : {false, true}) {
            window.host->OpenProgress("Running backup ...", IEngineHost::kProgressBackup);
            QVERIFY(!window.host->HasUserCancelled());
            auto* dialog = window.frame->findChild<CProgressDialog*>();
            QVERIFY(dialog);
            if (byEscape) {
                QTest::keyClick(dialog, Qt::Key_Escape);
            } else {
                QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Cancel")),
                                  Qt::LeftButton);
            }
            QVERIFY(window.host->HasUserCancelled());
            QVERIFY2(dialog->isVisible(), "the dialog stays until the run closes it");
            window.host->CloseProgress();
        }
    }

    void aRunDisablesWhatIsInTheWindowButNotTheWindow() {
        test::TestProfile profile;
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        frame.show();
        const QList<QWidget*> contents = {frame.menuBar(), frame.findChild<QToolBar*>(),
                                          frame.LocalTree(), frame.LoadedTree(),
                                          frame.OutputList()};
        window.host->OpenProgress("Running backup ...", IEngineHost::kProgressBackup);
        QVERIFY2(QGuiApplication::modalWindow() == nullptr, "a close request reaches the window");
        QVERIFY(frame.isEnabled());
        for (QWidget* widget : contents) {
            QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
        }
        window.host->CloseProgress();
        for (QWidget* widget : contents) {
            QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
        }
    }

    void theCalendarTakesThePageAboveItsCaption() {
        CCalendarBar page;
        page.resize(250, 400);
        page.show();
        QCOMPARE(page.CaptionTop(), 330);
        QCOMPARE(page.Calendar()->geometry(), QRect(10, 10, 230, 300));
    }

    void refreshClearsEveryTickAndBusyKeysAreRefused() {
        test::TestProfile profile;
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        CCommands& commands = *window.commands;
        frame.LocalTree()->topLevelItem(0)->setCheckState(0, Qt::Checked);

        QSignalSpy finished(&commands, &CCommands::workerFinished);
        emit frame.refreshRequested();
        QVERIFY(finished.wait(30000));
        QCOMPARE(frame.LocalTree()->topLevelItemCount(), 1);
        QVERIFY(!frame.LocalTree()->IsAnyChecked());

        // Ctrl+Shift+B while a backup runs: refused with its message.
        window.backupBusy = true;
        QString said;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                said = box->text();
                box->accept();
            }
        });
        commands.ShortcutKey(u'B');
        QCOMPARE(said, QStringLiteral("You cannot make settings while backup is running!"));
    }

    void theProgramsKeysWorkWhileAModalDialogIsOpen() {
        test::TestProfile profile;
        test::WindowHarness window;
        window.frame->show();
        QSignalSpy refresh(window.frame.get(), &CMainFrame::refreshRequested);
        QSignalSpy letters(window.frame.get(), &CMainFrame::shortcutKeyPressed);
        QSignalSpy finished(window.commands, &CCommands::workerFinished);
        window.backupBusy = true;  // as while a backup's prompt is up

        // A modal dialog is up, as a prompt or a status dialog is.
        QDialog prompt(window.frame.get());
        prompt.setModal(true);
        prompt.show();
        QVERIFY(QApplication::activeModalWidget() == &prompt);
        QWindow* keys = prompt.windowHandle();
        QVERIFY(keys);
        // Neither Ctrl alone nor a letter that is not the program's counts.
        QTest::keyClick(keys, Qt::Key_B, Qt::ControlModifier);
        QTest::keyClick(keys, Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
        // The busy message comes up on top of the prompt; it is answered once it is there.
        QString said;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                said = box->text();
                box->accept();
                answer.stop();
            }
        });
        answer.start(0);
        QTest::keyClick(keys, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
        answer.stop();
        QTest::keyClick(keys, Qt::Key_F5);
        prompt.accept();
        // The refresh may have ended already while the keys were handled.
        QVERIFY(finished.count() == 1 || finished.wait(30000));

        QCOMPARE(said, QStringLiteral("You cannot make settings while backup is running!"));
        QCOMPARE(letters.count(), 1);
        QCOMPARE(letters.at(0).at(0).value<QChar>(), QChar(u'B'));
        QCOMPARE(refresh.count(), 1);
        window.backupBusy = false;
    }

    void aWorkerThatThrowsFailsAloneAndGivesTheWindowBack() {
        test::TestProfile profile;
        test::WindowHarness window;
        std::vector<std::string> reported;
        SetErrorReporter([&](const std::string& message, int) { reported.push_back(message); });
        QSignalSpy finished(window.commands, &CCommands::workerFinished);

        window.commands->StartWorker([&] {
            window.backupBusy = true;
            window.host->OpenProgress("Running backup ...", IEngineHost::kProgressBackup);
            throw std::bad_alloc();
        });
        QVERIFY(finished.wait(30000));
        SetErrorReporter({});

        QCOMPARE(reported, std::vector<std::string>{"The operation failed: std::bad_alloc"});
        QVERIFY(window.frame->isEnabled());
        QVERIFY2(!window.frame->findChild<CProgressDialog*>(), "the progress dialog is closed");
        QVERIFY2(!window.backupBusy, "the next backup may start");
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::FrameTest)
#include "FrameTest.moc"
