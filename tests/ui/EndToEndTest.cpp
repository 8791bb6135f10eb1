// A whole backup and restore through the window's commands, the prompts answered as a user would.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <functional>
#include <future>

#include "dialogs/BackupOptionsDialog.h"
#include "dialogs/PreferencesDialog.h"
#include "dialogs/Prompts.h"
#include "dialogs/RestoreOptionsDialog.h"
#include "engine/BackupRestoreManager.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/TestProfile.h"
#include "tests/support/WindowHarness.h"
#include "ui/Commands.h"
#include "ui/DirTreeCtrlEx.h"
#include "ui/GuiHost.h"
#include "ui/GuiThread.h"
#include "ui/MainFrame.h"
#include "ui/OutputList.h"
#include "ui/ProgressDialog.h"
#include "ui/TreeCtrlLoaded.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

// Answers every modal dialog that opens: OK on prompts and status dialogs, remembering what each
// said.
class DialogAnswerer : public QObject {
public:
    DialogAnswerer() {
        connect(&m_timer, &QTimer::timeout, this, [this] { AnswerOpenDialog(); });
        m_timer.start(10);
    }
    QStringList seen;
    // When set, the pre-backup prompt's "Backup Options" is pressed once and the backup options
    // dialog it opens is handed to this before its OK is pressed.
    std::function<void(CBackupOptions&)> setBackupOptions;
    // Given each prompt first (after status dialogs); true when it answers the dialog itself,
    // now or later.
    std::function<bool(QWidget*)> first;

private:
    void AnswerOpenDialog() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        if (auto* status = qobject_cast<CStatusDialog*>(modal)) {
            seen.append(status->windowTitle() + u'|' +
                        status->findChild<QLabel*>(QStringLiteral("Counts"))->text());
            status->accept();
        } else if (first && first(modal)) {
            return;
        } else if (auto* options = qobject_cast<CBackupOptions*>(modal)) {
            seen.append(options->objectName());
            if (setBackupOptions) {
                m_optionsAnswered = true;
                setBackupOptions(*options);
                QTest::mouseClick(options->findChild<QPushButton*>(QStringLiteral("OK")),
                                  Qt::LeftButton);
            } else {
                options->reject();
            }
        } else if (qobject_cast<CRestoreOptions*>(modal) || qobject_cast<CPreferences*>(modal)) {
            seen.append(modal->objectName());
            static_cast<QDialog*>(modal)->reject();
        } else if (auto* prompt = qobject_cast<COptionsOrProceed*>(modal)) {
            if (setBackupOptions &&
                prompt->objectName() == QStringLiteral("BackupOptionsOrProceed")) {
                if (!m_optionsPressed) {
                    // Pressed from outside this timer's slot: the options dialog's own loop must
                    // let the timer answer it.
                    m_optionsPressed = true;
                    QTimer::singleShot(0, prompt, [prompt] {
                        QTest::mouseClick(
                            prompt->findChild<QPushButton*>(QStringLiteral("Options")),
                            Qt::LeftButton);
                    });
                }
                if (!m_optionsAnswered) {
                    return;  // the prompt waits until its options have been set
                }
            }
            seen.append(prompt->objectName());
            prompt->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.append(box->text());
            box->accept();
        }
    }
    QTimer m_timer;
    bool m_optionsPressed = false;
    bool m_optionsAnswered = false;
};

// Every caption each progress dialog showed, one list per dialog, in the order they opened.
class ProgressCaptions : public QObject {
public:
    ProgressCaptions() { qApp->installEventFilter(this); }
    ~ProgressCaptions() override { qApp->removeEventFilter(this); }
    QList<QStringList> dialogs;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<CProgressDialog*>(watched);
        if (event->type() == QEvent::Show && dialog && !dialog->property("recorded").toBool()) {
            dialog->setProperty("recorded", true);
            dialogs.append({dialog->windowTitle()});
            const qsizetype index = dialogs.size() - 1;
            connect(dialog, &QWidget::windowTitleChanged, this,
                    [this, index](const QString& title) { dialogs[index].append(title); });
        }
        return false;
    }
};

// Asks the window to close, as its close box does, once a run has logged `lines` lines of files
// that succeeded. The run waits until the window has taken the request, so that it cannot go on to
// its end meanwhile.
class CloseDuringRun {
public:
    CloseDuringRun(CMainFrame& frame, int lines) {
        m_previous = SetLogSink([this, &frame, lines](const std::string& entry) {
            m_previous(entry);
            if (entry.find(" Succeeded--File ") == std::string::npos || ++m_succeeded != lines) {
                return;
            }
            PostToGuiThread(&frame, [this, &frame] {
                blockedByAModalWindow = QGuiApplication::modalWindow() != nullptr;
                // Runs once the request was refused, or once the window waits for the run
                // to stop.
                QTimer::singleShot(0, &frame, [this] { m_taken.set_value(); });
                frame.close();
            });
            m_taken.get_future().wait();
        });
    }
    ~CloseDuringRun() { SetLogSink(m_previous); }

    // Whether a modal window was up when the request came, which keeps a window manager's close
    // request from the window.
    bool blockedByAModalWindow = true;

private:
    LogSink m_previous;
    std::atomic<int> m_succeeded{0};
    std::promise<void> m_taken;
};

// A folder of `count` small files.
void MakeFiles(const fs::path& folder, int count) {
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        test::WriteFileBytes(folder / ("f" + std::to_string(i)), std::string(20000, 'x'));
    }
}

int CountFiles(const fs::path& folder) {
    return fs::exists(folder) ? static_cast<int>(std::distance(fs::directory_iterator(folder),
                                                               fs::directory_iterator()))
                              : 0;
}

// Logs in temp/logs, and settings for a backup of 50 files from temp/src into
// temp/target/<name>.tkw with no prompt before it.
void PrepareBackupOfFiftyFiles(const test::TempDir& temp, const std::string& name) {
    SetLogEnvironment({temp / "logs", nullptr});
    MakeFiles(temp / "src", 50);
    WriteProfileString(profile::kBrowseForFolderPath, (temp / "target").native());
    WriteProfileString(profile::kBackupFilename, name);
    WriteProfileInt(profile::kBackupPromptDontShowAgain, 1);
    fs::create_directories(temp / "target");
}

// Shows the window with `source` ticked in the local tree; closing the window stops its run, as
// in the application.
bool ShowWithSourceTicked(test::WindowHarness& window, const fs::path& source) {
    QObject::connect(window.frame.get(), &CMainFrame::closing, window.commands,
                     &CCommands::StopWorker);
    window.frame->show();
    QTreeWidgetItem* node = test::OpenLocalFolder(*window.frame->LocalTree(), source);
    if (node == nullptr) {
        return false;
    }
    node->setCheckState(0, Qt::Checked);
    return true;
}

const QString kBackupQuestion =
    QStringLiteral("A backup is running. Do you want to stop it and exit?");
const QString kRestoreQuestion =
    QStringLiteral("A restore is running. Do you want to stop it and exit?");

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void backsUpAndRestoresThroughTheWindow() {
        test::TestProfile profile;
        test::TempDir temp;
        SetLogEnvironment({temp / "logs", nullptr});
        fs::create_directories(temp / "src" / "sub");
        test::WriteFileBytes(temp / "src" / "a.txt", "alpha");
        test::WriteFileBytes(temp / "src" / "sub" / "b.txt", "beta");
        fs::create_directories(temp / "target");
        WriteProfileString(profile::kBrowseForFolderPath, (temp / "target").native());
        WriteProfileString(profile::kBackupFilename, "e2e");

        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        CCommands& commands = *window.commands;
        frame.resize(1000, 700);
        frame.show();
        DialogAnswerer answerer;
        QSignalSpy finished(&commands, &CCommands::workerFinished);

        // Tick the source folder in the local tree, opening the tree down to it.
        QTreeWidgetItem* node = test::OpenLocalFolder(*frame.LocalTree(), temp / "src");
        QVERIFY(node);
        node->setCheckState(0, Qt::Checked);

        emit frame.runBackupRequested();
        QVERIFY(finished.wait(60000));
        const fs::path backupFile = temp / "target" / "e2e.tkw";
        QVERIFY(fs::exists(backupFile));
        QVERIFY(answerer.seen.contains(QStringLiteral("BackupOptionsOrProceed")));
        QVERIFY(answerer.seen.contains(QStringLiteral(
            "Backup succeeded!|2 items were added to the backup\n0 deleted\n0 skipped ")));
        QCOMPARE(frame.LoadedTree()->GetCheckedItemIndexes().size(), 0u);

        // Everything the backup holds, back to where it came from.
        fs::remove_all(temp / "src");
        frame.LoadedTree()->CheckAll();
        emit frame.runRestoreRequested();
        QVERIFY(finished.wait(60000));
        QVERIFY(answerer.seen.contains(QStringLiteral("RestoreOptionsOrProceed")));
        QVERIFY(answerer.seen.contains(
            QStringLiteral("Restore succeeded!|0 overwritten files\n0 skipped files\n2 succeeded "
                           "files\n0 failed files")));
        QCOMPARE(QString::fromStdString(test::ReadFileBytes(temp / "src" / "a.txt")),
                 QStringLiteral("alpha"));
        QCOMPARE(QString::fromStdString(test::ReadFileBytes(temp / "src" / "sub" / "b.txt")),
                 QStringLiteral("beta"));

        // Every line reached the Log pane, in order.
        COutputList* log = frame.OutputList();
        QStringList lines;
        for (int i = 0; i < log->count(); ++i) {
            lines.append(log->item(i)->text().mid(19));
        }
        QVERIFY(lines.indexOf(QStringLiteral(" Backup started ...")) <
                lines.indexOf(QStringLiteral(" Backup finished!")));
        QVERIFY(lines.contains(QStringLiteral(" Restore finished!")));

        SetLogEnvironment({});
    }

    void aFilterSetThroughThePromptsOptionsAppliesToTheBackupItPrecedes() {
        test::TestProfile profile;
        test::TempDir temp;
        SetLogEnvironment({temp / "logs", nullptr});
        fs::create_directories(temp / "src");
        test::WriteFileBytes(temp / "src" / "plans.txt", "kept");
        test::WriteFileBytes(temp / "src" / "secret-plans.txt", "left out");
        fs::create_directories(temp / "target");
        WriteProfileString(profile::kBrowseForFolderPath, (temp / "target").native());
        WriteProfileString(profile::kBackupFilename, "filtered");

        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        QVERIFY(ShowWithSourceTicked(window, temp / "src"));
        DialogAnswerer answerer;
        // The filter is set in the dialogs alone: file names with "secret" are excluded.
        answerer.setBackupOptions = [](CBackupOptions& options) {
            auto* words =
                options.findChild<QLineEdit*>(QStringLiteral("AllStringToFindInFileName"));
            QTest::keyClicks(words, QStringLiteral("secret"));
        };
        QSignalSpy finished(window.commands, &CCommands::workerFinished);
        emit frame.runBackupRequested();
        QVERIFY(finished.wait(60000));

        QCOMPARE(answerer.seen.mid(0, 2), (QStringList{QStringLiteral("BackupOptions"),
                                                       QStringLiteral("BackupOptionsOrProceed")}));
        QStringList lines;
        for (int i = 0; i < frame.OutputList()->count(); ++i) {
            lines.append(frame.OutputList()->item(i)->text().mid(19));
        }
        const QString secret = QString::fromStdString((temp / "src" / "secret-plans.txt").native());
        QVERIFY2(lines.contains(QStringLiteral(" Skipped--File \"") + secret +
                                QStringLiteral("\" by filters!")),
                 qPrintable(lines.join(u'\n')));
        window.engine.UnloadBackupFile();
        CZipEx archive;
        QVERIFY(archive.Open(temp / "target" / "filtered.tkw"));
        QCOMPARE(archive.GetNrOfFiles(), 1);
        SetLogEnvironment({});
    }

    void theKeysWorkAndSayWhyNotWhileABackupAndARestoreRun() {
        test::TestProfile profile;
        test::TempDir temp;
        PrepareBackupOfFiftyFiles(temp, "keys");
        WriteProfileInt(profile::kBackupPromptDontShowAgain, 0);  // each run stops at its prompt
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        QVERIFY(ShowWithSourceTicked(window, temp / "src"));
        QSignalSpy refresh(&frame, &CMainFrame::refreshRequested);
        DialogAnswerer answerer;
        // At each run's prompt, which the run shows while it is in progress, the keys are
        // pressed on the prompt; what they open comes up on top of it and is answered there.
        // By name: the second prompt may take the first one's memory.
        QStringList promptsSeen;
        QStringList keysPressed;
        answerer.first = [&](QWidget* modal) {
            auto* prompt = qobject_cast<COptionsOrProceed*>(modal);
            if (prompt == nullptr) {
                return false;
            }
            const QString name = prompt->objectName();
            if (promptsSeen.contains(name)) {
                // Between two keys the prompt is on top again: it is left alone until all
                // four have been pressed.
                return !keysPressed.contains(name);
            }
            promptsSeen.append(name);
            QTimer::singleShot(0, prompt, [prompt, name, &keysPressed] {
                QWindow* keys = prompt->windowHandle();
                QTest::keyClick(keys, Qt::Key_F5);
                const auto shift = Qt::ControlModifier | Qt::ShiftModifier;
                QTest::keyClick(keys, Qt::Key_B, shift);
                QTest::keyClick(keys, Qt::Key_R, shift);
                QTest::keyClick(keys, Qt::Key_P, shift);
                keysPressed.append(name);
            });
            return true;
        };
        QSignalSpy finished(window.commands, &CCommands::workerFinished);
        emit frame.runBackupRequested();
        QVERIFY(finished.wait(60000));
        QVERIFY(QFile::exists(QString::fromStdString((temp / "target" / "keys.tkw").native())));
        frame.LoadedTree()->CheckAll();
        fs::remove_all(temp / "src");
        emit frame.runRestoreRequested();
        QVERIFY(finished.wait(60000));

        QCOMPARE(
            answerer.seen,
            (QStringList{// During the backup: Ctrl+Shift+B refused, R and P open their dialogs.
                         QStringLiteral("You cannot make settings while backup is running!"),
                         QStringLiteral("RestoreOptions"), QStringLiteral("Preferences"),
                         QStringLiteral("BackupOptionsOrProceed"),
                         QStringLiteral("Backup succeeded!|50 items were added to the backup\n0 "
                                        "deleted\n0 skipped "),
                         // During the restore: B and P open their dialogs, R is refused.
                         QStringLiteral("BackupOptions"),
                         QStringLiteral("You cannot make settings while restore is running!"),
                         QStringLiteral("Preferences"), QStringLiteral("RestoreOptionsOrProceed"),
                         QStringLiteral("Restore succeeded!|0 overwritten files\n0 skipped "
                                        "files\n50 succeeded files\n0 failed files")}));
        // F5 was seen at both prompts; with a run in progress it starts no second one.
        QCOMPARE(refresh.count(), 2);
        QCOMPARE(CountFiles(temp / "src"), 50);
        SetLogEnvironment({});
    }

    void aFolderNamedWithBytesThatAreNotUtf8IsBackedUpUnderThoseBytes() {
        test::TestProfile profile;
        test::TempDir temp;
        SetLogEnvironment({temp / "logs", nullptr});
        const std::string name = "caf\xE9";  // Latin-1, not UTF-8
        fs::create_directories(temp / "src" / name);
        test::WriteFileBytes(temp / "src" / name / "menu.txt", "soup");
        fs::create_directories(temp / "target");
        WriteProfileString(profile::kBrowseForFolderPath, (temp / "target").native());
        WriteProfileString(profile::kBackupFilename, "bytes");
        WriteProfileInt(profile::kBackupPromptDontShowAgain, 1);

        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        frame.show();
        DialogAnswerer answerer;
        QSignalSpy finished(window.commands, &CCommands::workerFinished);
        QTreeWidgetItem* src = test::OpenLocalFolder(*frame.LocalTree(), temp / "src");
        QVERIFY(src);
        src->setExpanded(true);
        QTreeWidgetItem* cafe =
            test::ChildNamed(src, QFile::decodeName(QByteArray::fromStdString(name)));
        QVERIFY(cafe);
        cafe->setCheckState(0, Qt::Checked);

        emit frame.runBackupRequested();
        QVERIFY(finished.wait(60000));
        window.engine.UnloadBackupFile();
        CZipEx archive;
        QVERIFY(archive.Open(temp / "target" / "bytes.tkw"));
        QCOMPARE(archive.GetNrOfFiles(), 1);
        QCOMPARE(archive.GetItemFileName(0), (temp / "src" / name / "menu.txt").native());
        QVERIFY(archive.Verify().empty());
        SetLogEnvironment({});
    }

    void eachRunsProgressDialogShowsItsOwnCaption() {
        test::TestProfile profile;
        test::TempDir temp;
        SetLogEnvironment({temp / "logs", nullptr});
        fs::create_directories(temp / "src");
        test::WriteFileBytes(temp / "src" / "a.txt", "alpha");
        fs::create_directories(temp / "target");
        WriteProfileString(profile::kBrowseForFolderPath, (temp / "target").native());
        WriteProfileString(profile::kBackupFilename, "first");
        WriteProfileInt(profile::kBackupPromptDontShowAgain, 1);

        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        frame.show();
        DialogAnswerer answerer;
        ProgressCaptions captions;
        QSignalSpy finished(window.commands, &CCommands::workerFinished);
        QTreeWidgetItem* node = test::OpenLocalFolder(*frame.LocalTree(), temp / "src");
        QVERIFY(node);
        node->setCheckState(0, Qt::Checked);

        emit frame.runBackupRequested();
        QVERIFY(finished.wait(60000));
        // The open dialog starts in the backup folder.
        QString startedIn;
        window.commands->SetOpenFilePicker([&](QWidget*, const QString& folder) {
            startedIn = folder;
            return QDir(folder).filePath(QStringLiteral("first.tkw"));
        });
        emit frame.openBackupRequested();
        QVERIFY(finished.wait(60000));
        QCOMPARE(startedIn, QString::fromStdString((temp / "target").native()));
        WriteProfileString(profile::kBackupFilename, "second");
        emit frame.runBackupRequested();
        QVERIFY(finished.wait(60000));
        fs::remove_all(temp / "src");
        frame.LoadedTree()->CheckAll();
        emit frame.runRestoreRequested();
        QVERIFY(finished.wait(60000));

        QVERIFY(answerer.seen.contains(
            QStringLiteral("Restore succeeded!|0 overwritten files\n0 skipped files\n1 succeeded "
                           "files\n0 failed files")));
        const QString backup = QStringLiteral("Running backup ...");
        QCOMPARE(captions.dialogs,
                 (QList<QStringList>{{backup},
                                     {QStringLiteral("Loading backup ..."),
                                      QStringLiteral("Searching in backup file ...")},
                                     {backup},
                                     {QStringLiteral("Running restore ...")}}));
        SetLogEnvironment({});
    }

    void closingTheWindowDuringABackupKeepsTheArchiveWhole() {
        test::TestProfile profile;
        test::TempDir temp;
        PrepareBackupOfFiftyFiles(temp, "closing");
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        CCommands& commands = *window.commands;
        QStringList questions;
        commands.SetQuestion([&](const QString& question) {
            questions.append(question);
            return true;
        });
        DialogAnswerer answerer;
        QVERIFY(ShowWithSourceTicked(window, temp / "src"));
        QSignalSpy finished(&commands, &CCommands::workerFinished);
        QSignalSpy closing(&frame, &CMainFrame::closing);
        CloseDuringRun closer(frame, 5);

        emit frame.runBackupRequested();
        QVERIFY(finished.wait(60000));
        QVERIFY2(!closer.blockedByAModalWindow, "the window could not take a close request");
        QCOMPARE(questions, QStringList{kBackupQuestion});
        QCOMPARE(closing.count(), 1);
        QVERIFY(!frame.isVisible());
        QVERIFY(!commands.WorkerRunning());
        window.engine.UnloadBackupFile();

        // Stopped in the middle, with what it wrote whole and indexed.
        CZipEx archive;
        QVERIFY(archive.Open(temp / "target" / "closing.tkw"));
        QVERIFY2(!archive.GetRecoveryReport().recovered, "the index was written");
        const int items = archive.GetNrOfFiles();
        QVERIFY2(items >= 5 && items < 50, qPrintable(QString::number(items)));
        QVERIFY(archive.Verify().empty());
        SetLogEnvironment({});
    }

    void aCloseRequestDuringARunIsAskedAbout() {
        test::TestProfile profile;
        test::TempDir temp;
        PrepareBackupOfFiftyFiles(temp, "asked");
        test::WindowHarness window;
        CMainFrame& frame = *window.frame;
        CCommands& commands = *window.commands;
        QStringList questions;
        bool answer = false;
        commands.SetQuestion([&](const QString& question) {
            questions.append(question);
            return answer;
        });
        DialogAnswerer answerer;
        QVERIFY(ShowWithSourceTicked(window, temp / "src"));
        QSignalSpy finished(&commands, &CCommands::workerFinished);
        QSignalSpy closing(&frame, &CMainFrame::closing);

        // No: the backup runs to its end and the window stays.
        {
            CloseDuringRun closer(frame, 5);
            emit frame.runBackupRequested();
            QVERIFY(finished.wait(60000));
        }
        QCOMPARE(questions, QStringList{kBackupQuestion});
        QVERIFY(answerer.seen.contains(QStringLiteral(
            "Backup succeeded!|50 items were added to the backup\n0 deleted\n0 skipped ")));
        QCOMPARE(closing.count(), 0);
        QVERIFY(frame.isVisible());

        // Yes during a restore: it stops at its next file and the window closes.
        answer = true;
        fs::remove_all(temp / "src");
        frame.LoadedTree()->CheckAll();
        {
            CloseDuringRun closer(frame, 5);
            emit frame.runRestoreRequested();
            QVERIFY(finished.wait(60000));
        }
        QCOMPARE(questions, (QStringList{kBackupQuestion, kRestoreQuestion}));
        QCOMPARE(closing.count(), 1);
        QVERIFY(!frame.isVisible());
        const int restored = CountFiles(temp / "src");
        QVERIFY2(restored >= 5 && restored < 50, qPrintable(QString::number(restored)));
        SetLogEnvironment({});
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::EndToEndTest)
#include "EndToEndTest.moc"
