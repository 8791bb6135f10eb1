// The restore options and preferences dialogs, driven as a person would, checked in the store,
// and the commands and keys that open the options dialogs.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <vector>

#include "dialogs/PreferencesDialog.h"
#include "dialogs/Prompts.h"
#include "dialogs/RestoreOptionsDialog.h"
#include "engine/RestoreOptions.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"
#include "tests/support/DialogDriving.h"
#include "tests/support/TestProfile.h"
#include "tests/support/WindowHarness.h"

namespace tkw {

namespace {

// A person's actions in the restore options dialog before they leave it.
enum class Act { Overwrite, Skip, AskUser, OriginalPath, FollowingPath, TypeFolder };

void Perform(CRestoreOptions& dialog, const std::vector<Act>& acts) {
    for (const Act act : acts) {
        switch (act) {
            case Act::Overwrite:
                Click(Child<QRadioButton>(dialog, "Overwrite"));
                break;
            case Act::Skip:
                Click(Child<QRadioButton>(dialog, "Skip"));
                break;
            case Act::AskUser:
                Click(Child<QRadioButton>(dialog, "AskUser"));
                break;
            case Act::OriginalPath:
                Click(Child<QRadioButton>(dialog, "OriginalPath"));
                break;
            case Act::FollowingPath:
                Click(Child<QRadioButton>(dialog, "FollowingPath"));
                break;
            case Act::TypeFolder:
                QTest::keyClicks(Child<QLineEdit>(dialog, "RestorePath"),
                                 QStringLiteral("/srv/restored"));
                break;
        }
    }
}

}  // namespace

}  // namespace tkw

Q_DECLARE_METATYPE(std::vector<tkw::Act>)
Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace tkw {

class OptionsDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void restoreOptionsOpenAsStoredAndOkKeepsWhatItCannotShow_data() {
        // -1 in a stored column: the key is absent.
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("policy");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("ticked");  // the radio buttons ticked, by object name
        QTest::addColumn<bool>("folderEnabled");
        QTest::addColumn<int>("modeAfterOk");
        QTest::addColumn<int>("policyAfterOk");
        QTest::newRow("a fresh store")
            << -1 << -1 << QString() << "OriginalPath AskUser" << false << 0 << 2;
        QTest::newRow("below a folder, overwrite") << 1 << 0 << "/srv/restored"
                                                   << "FollowingPath Overwrite" << true << 1 << 0;
        QTest::newRow("original paths, skip") << 0 << 1 << "/srv/unused"
                                              << "OriginalPath Skip" << false << 0 << 1;
        QTest::newRow("original paths, ask")
            << 0 << 2 << QString() << "OriginalPath AskUser" << false << 0 << 2;
        QTest::newRow("values it does not know") << 7 << 5 << "/x"
                                                 << "" << true << 7 << 5;
        QTest::newRow("negative values") << -3 << 3 << QString() << "" << true << -3 << 3;
    }
    void restoreOptionsOpenAsStoredAndOkKeepsWhatItCannotShow() {
        QFETCH(int, mode);
        QFETCH(int, policy);
        QFETCH(QString, folder);
        QFETCH(QString, ticked);
        QFETCH(bool, folderEnabled);
        QFETCH(int, modeAfterOk);
        QFETCH(int, policyAfterOk);
        test::TestProfile profile;
        if (mode != -1) {
            WriteProfileInt(profile::kRestorePathOfFiles, mode);
            WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, policy);
            WriteProfileString(profile::kRestorePath, folder.toStdString());
        }

        CRestoreOptions dialog(nullptr);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Restore Options"));
        QStringList shown;
        for (const char* name : {"OriginalPath", "FollowingPath", "Overwrite", "Skip", "AskUser"}) {
            if (Child<QRadioButton>(dialog, name)->isChecked()) {
                shown.append(QString::fromLatin1(name));
            }
        }
        QCOMPARE(shown.join(u' '), ticked);
        auto* edit = Child<QLineEdit>(dialog, "RestorePath");
        QCOMPARE(edit->text(), folder);
        QCOMPARE(edit->isEnabled(), folderEnabled);
        QCOMPARE(Child<QToolButton>(dialog, "Browse")->isEnabled(), folderEnabled);

        LeaveBy(dialog, Leave::Ok);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(StoredInt(profile, profile::kRestorePathOfFiles), std::optional(modeAfterOk));
        QCOMPARE(StoredInt(profile, profile::kActionToTakeWhenFileAlreadyExists),
                 std::optional(policyAfterOk));
        QCOMPARE(StoredText(profile, profile::kRestorePath), std::optional(folder));
    }

    void restoreOptionsStoreWhatWasChosenOnlyOnOk_data() {
        QTest::addColumn<std::vector<Act>>("acts");
        QTest::addColumn<Leave>("leave");
        QTest::addColumn<bool>("folderEnabled");  // when the person leaves
        QTest::addColumn<std::optional<int>>("mode");
        QTest::addColumn<std::optional<int>>("policy");
        QTest::addColumn<std::optional<QString>>("folder");
        const std::optional<int> none;
        const std::optional<QString> noText;
        const std::optional<QString> typed(QStringLiteral("/srv/restored"));
        QTest::newRow("nothing changed")
            << std::vector<Act>{} << Leave::Ok << false << std::optional(0) << std::optional(2)
            << std::optional(QString());
        QTest::newRow("the following path left empty")
            << std::vector{Act::FollowingPath} << Leave::Ok << true << std::optional(1)
            << std::optional(2) << std::optional(QString());
        QTest::newRow("a typed folder")
            << std::vector{Act::FollowingPath, Act::TypeFolder, Act::Skip} << Leave::Ok << true
            << std::optional(1) << std::optional(1) << typed;
        QTest::newRow("back to the original path keeps the typed folder")
            << std::vector{Act::FollowingPath, Act::TypeFolder, Act::OriginalPath, Act::Overwrite}
            << Leave::Ok << false << std::optional(0) << std::optional(0) << typed;
        QTest::newRow("overwrite, then ask again")
            << std::vector{Act::Overwrite, Act::AskUser} << Leave::Ok << false << std::optional(0)
            << std::optional(2) << std::optional(QString());
        for (const auto& [name, leave] :
             {std::pair{"Cancel", Leave::Cancel}, std::pair{"Escape", Leave::Escape},
              std::pair{"the close box", Leave::CloseBox}}) {
            QTest::addRow("changes left by %s", name)
                << std::vector{Act::FollowingPath, Act::TypeFolder, Act::Overwrite} << leave << true
                << none << none << noText;
        }
    }
    void restoreOptionsStoreWhatWasChosenOnlyOnOk() {
        QFETCH(std::vector<Act>, acts);
        QFETCH(Leave, leave);
        QFETCH(bool, folderEnabled);
        QFETCH(std::optional<int>, mode);
        QFETCH(std::optional<int>, policy);
        QFETCH(std::optional<QString>, folder);
        test::TestProfile profile;
        CRestoreOptions dialog(nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        Perform(dialog, acts);
        QCOMPARE(Child<QLineEdit>(dialog, "RestorePath")->isEnabled(), folderEnabled);
        LeaveBy(dialog, leave);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(StoredInt(profile, profile::kRestorePathOfFiles), mode);
        QCOMPARE(StoredInt(profile, profile::kActionToTakeWhenFileAlreadyExists), policy);
        QCOMPARE(StoredText(profile, profile::kRestorePath), folder);
    }

    void theBrowseButtonPutsThePickedFolderInTheBox() {
        test::TestProfile profile;
        WriteProfileInt(profile::kRestorePathOfFiles, 1);
        WriteProfileString(profile::kRestorePath, "/srv/old");
        CRestoreOptions dialog(nullptr);
        QStringList asked;
        QString answer = QStringLiteral("/srv/picked");
        dialog.SetFolderPicker([&](QWidget* parent, const QString& current) {
            asked.append(current);
            return parent == &dialog ? answer : QString();
        });
        dialog.show();
        Click(Child<QToolButton>(dialog, "Browse"));
        QCOMPARE(Child<QLineEdit>(dialog, "RestorePath")->text(), QStringLiteral("/srv/picked"));
        // A cancelled picker leaves the box as it was.
        answer.clear();
        Click(Child<QToolButton>(dialog, "Browse"));
        QCOMPARE(Child<QLineEdit>(dialog, "RestorePath")->text(), QStringLiteral("/srv/picked"));
        QCOMPARE(asked, (QStringList{QStringLiteral("/srv/old"), QStringLiteral("/srv/picked")}));
        LeaveBy(dialog, Leave::Ok);
        QCOMPARE(StoredText(profile, profile::kRestorePath),
                 std::optional(QStringLiteral("/srv/picked")));
    }

    void thePreRestorePromptsButtonChangesTheOptionsOfTheComingRun_data() {
        QTest::addColumn<Leave>("leave");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("policy");
        QTest::addColumn<QString>("folder");
        QTest::newRow("OK") << Leave::Ok << 1 << 1 << "/srv/restored";
        QTest::newRow("Cancel") << Leave::Cancel << 0 << 0 << "/srv/before";
    }
    void thePreRestorePromptsButtonChangesTheOptionsOfTheComingRun() {
        QFETCH(Leave, leave);
        QFETCH(int, mode);
        QFETCH(int, policy);
        QFETCH(QString, folder);
        test::TestProfile profile;
        WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, 0);
        WriteProfileString(profile::kRestorePath, "/srv/before");
        COptionsOrProceed prompt(COptionsOrProceed::Kind::Restore, nullptr);
        prompt.show();
        bool answered = false;
        ModalAnswerer answerer([&](QWidget* modal) {
            auto* dialog = qobject_cast<CRestoreOptions*>(modal);
            if (dialog == nullptr || dialog->parentWidget() != &prompt) {
                static_cast<QDialog*>(modal)->reject();
                return;
            }
            answered = true;
            Child<QLineEdit>(*dialog, "RestorePath")->clear();
            Perform(*dialog, {Act::FollowingPath, Act::TypeFolder, Act::Skip});
            LeaveBy(*dialog, leave);
        });
        auto* options = Child<QPushButton>(prompt, "Options");
        QCOMPARE(options->text(), QStringLiteral("Restore Options"));
        Click(options);
        QVERIFY(answered);
        QVERIFY2(prompt.isVisible(), "the prompt stays open");

        // What the run about to start reads.
        const CStoredRestoreOptions run;
        QCOMPARE(run.Mode(), mode);
        QCOMPARE(run.ExistingFilePolicy(), policy);
        QCOMPARE(QString::fromStdString(run.Folder()), folder);
    }

    void preferencesOpenAsStoredAndOkStoresTheBoxesInverted_data() {
        // Stored CreateLogFile and the two DontShowAgain keys (-1: absent), the boxes a person
        // then clicks, and what OK stores.
        QTest::addColumn<QList<int>>("stored");
        QTest::addColumn<QList<bool>>("shown");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QList<int>>("afterOk");
        QTest::newRow("a fresh profile") << QList<int>{-1, -1, -1} << QList<bool>{true, true, true}
                                         << QStringList() << QList<int>{1, 0, 0};
        QTest::newRow("all switched off") << QList<int>{0, 1, 1} << QList<bool>{false, false, false}
                                          << QStringList() << QList<int>{0, 1, 1};
        QTest::newRow("untick all")
            << QList<int>{1, 0, 0} << QList<bool>{true, true, true}
            << QStringList{QStringLiteral("CreateLogFile"), QStringLiteral("AskBackupOptions"),
                           QStringLiteral("AskRestoreOptions")}
            << QList<int>{0, 1, 1};
        QTest::newRow("tick all") << QList<int>{0, 1, 1} << QList<bool>{false, false, false}
                                  << QStringList{QStringLiteral("CreateLogFile"),
                                                 QStringLiteral("AskBackupOptions"),
                                                 QStringLiteral("AskRestoreOptions")}
                                  << QList<int>{1, 0, 0};
        QTest::newRow("only the backup prompt off")
            << QList<int>{-1, -1, -1} << QList<bool>{true, true, true}
            << QStringList{QStringLiteral("AskBackupOptions")} << QList<int>{1, 1, 0};
        QTest::newRow("only the restore prompt back on")
            << QList<int>{1, 1, 1} << QList<bool>{true, false, false}
            << QStringList{QStringLiteral("AskRestoreOptions")} << QList<int>{1, 1, 0};
        QTest::newRow("values other than 0 and 1")
            << QList<int>{2, 2, -1} << QList<bool>{false, false, true} << QStringList()
            << QList<int>{0, 1, 0};
    }
    void preferencesOpenAsStoredAndOkStoresTheBoxesInverted() {
        QFETCH(QList<int>, stored);
        QFETCH(QList<bool>, shown);
        QFETCH(QStringList, clicks);
        QFETCH(QList<int>, afterOk);
        test::TestProfile profile;
        const std::array keys = {profile::kCreateLogFile, profile::kBackupPromptDontShowAgain,
                                 profile::kRestorePromptDontShowAgain};
        const std::array boxes = {"CreateLogFile", "AskBackupOptions", "AskRestoreOptions"};
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (stored[int(i)] != -1) {
                WriteProfileInt(keys[i], stored[int(i)]);
            }
        }
        CPreferences dialog(nullptr, [](const std::filesystem::path&) {});
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Preferences"));
        for (std::size_t i = 0; i < keys.size(); ++i) {
            QCOMPARE(Child<QCheckBox>(dialog, boxes[i])->isChecked(), shown[int(i)]);
        }
        for (const QString& name : clicks) {
            Click(dialog.findChild<QCheckBox*>(name));
        }
        LeaveBy(dialog, Leave::Ok);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            QCOMPARE(StoredInt(profile, keys[i]), std::optional(afterOk[int(i)]));
        }
    }

    void preferencesLeftWithoutOkStoreNothing_data() {
        QTest::addColumn<Leave>("leave");
        QTest::newRow("Cancel") << Leave::Cancel;
        QTest::newRow("Escape") << Leave::Escape;
        QTest::newRow("the close box") << Leave::CloseBox;
    }
    void preferencesLeftWithoutOkStoreNothing() {
        QFETCH(Leave, leave);
        test::TestProfile profile;
        CPreferences dialog(nullptr, [](const std::filesystem::path&) {});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (const char* name : {"CreateLogFile", "AskBackupOptions", "AskRestoreOptions"}) {
            Click(Child<QCheckBox>(dialog, name));
        }
        LeaveBy(dialog, leave);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(QSettings(profile.FileName(), QSettings::IniFormat).allKeys().isEmpty());
    }

    void viewLogsCreatesAMissingLogFolderAndOpensIt_data() {
        QTest::addColumn<QString>("below");      // the log folder, below a fresh temporary folder
        QTest::addColumn<bool>("existingFile");  // a file already sits where the folder would be
        QTest::newRow("missing with its parents") << "a/b/logs" << false;
        QTest::newRow("missing itself") << "logs" << false;
        QTest::newRow("a file in the way") << "logs" << true;
    }
    void viewLogsCreatesAMissingLogFolderAndOpensIt() {
        QFETCH(QString, below);
        QFETCH(bool, existingFile);
        test::TestProfile profile;
        const std::filesystem::path folder =
            std::filesystem::path(profile.folder().path()) / "view" / below.toStdString();
        if (existingFile) {
            std::filesystem::create_directories(folder.parent_path());
            std::ofstream(folder) << "not a folder";
        }
        const LogEnvironment previous = SetLogEnvironment({folder, {}});
        std::vector<std::filesystem::path> opened;
        CPreferences dialog(nullptr,
                            [&](const std::filesystem::path& path) { opened.push_back(path); });
        dialog.show();
        Click(Child<QPushButton>(dialog, "ViewLogs"));
        SetLogEnvironment(previous);

        QCOMPARE(opened, std::vector{folder});
        QVERIFY2(dialog.isVisible(), "the dialog stays open");
        if (existingFile) {
            QVERIFY(std::filesystem::is_regular_file(folder));
        } else {
            QVERIFY(std::filesystem::is_directory(folder));
            QVERIFY(std::filesystem::is_empty(folder));
        }
    }

    void theToolsMenuAndTheKeysOpenTheDialogsOrSayWhyNot_data() {
        QTest::addColumn<QString>("how");  // a menu action's object name, or a key letter
        QTest::addColumn<bool>("backupBusy");
        QTest::addColumn<bool>("restoreBusy");
        QTest::addColumn<QString>("seen");  // the modal window's object name or message
        const QString restoreBusy =
            QStringLiteral("You cannot make settings while restore is running!");
        const QString backupBusy =
            QStringLiteral("You cannot make settings while backup is running!");
        QTest::newRow("Backup Options")
            << "BackupOptionsAction" << false << false << "BackupOptions";
        QTest::newRow("Restore Options")
            << "RestoreOptionsAction" << false << false << "RestoreOptions";
        QTest::newRow("Ctrl+Shift+B") << "B" << false << false << "BackupOptions";
        QTest::newRow("Ctrl+Shift+B during a restore") << "B" << false << true << "BackupOptions";
        QTest::newRow("Ctrl+Shift+B during a backup") << "B" << true << false << backupBusy;
        QTest::newRow("Preferences") << "PreferencesAction" << false << false << "Preferences";
        QTest::newRow("Ctrl+Shift+R") << "R" << false << false << "RestoreOptions";
        QTest::newRow("Ctrl+Shift+R during a backup") << "R" << true << false << "RestoreOptions";
        QTest::newRow("Ctrl+Shift+R during a restore") << "R" << false << true << restoreBusy;
        QTest::newRow("Ctrl+Shift+P") << "P" << false << false << "Preferences";
        QTest::newRow("Ctrl+Shift+P during both") << "P" << true << true << "Preferences";
    }
    void theToolsMenuAndTheKeysOpenTheDialogsOrSayWhyNot() {
        QFETCH(QString, how);
        QFETCH(bool, backupBusy);
        QFETCH(bool, restoreBusy);
        QFETCH(QString, seen);
        test::TestProfile profile;
        test::WindowHarness window;
        window.backupBusy = backupBusy;
        window.restoreBusy = restoreBusy;
        QStringList modals;
        ModalAnswerer answerer([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            modals.append(box ? box->text() : modal->objectName());
            if (modal->parentWidget() != window.frame.get()) {
                modals.append(QStringLiteral("not on the window"));
            }
            static_cast<QDialog*>(modal)->reject();
        });
        if (how.size() == 1) {
            window.commands->ShortcutKey(how.at(0));
        } else {
            auto* action = window.frame->findChild<QAction*>(how);
            QVERIFY(action != nullptr);
            QVERIFY(action->isEnabled());
            action->trigger();
        }
        QCOMPARE(modals, QStringList{seen});
    }

    void theToolsEntriesSayWhatTheyDoInTheStatusBar() {
        test::TestProfile profile;
        test::WindowHarness window;
        for (const auto& [name, prompt] :
             {std::pair{"BackupOptionsAction", "Change the backup options"},
              std::pair{"RestoreOptionsAction", "Change the restore options"},
              std::pair{"PreferencesAction", "Change the preferences"}}) {
            auto* action = window.frame->findChild<QAction*>(QString::fromLatin1(name));
            QVERIFY(action != nullptr);
            QCOMPARE(action->statusTip(), QString::fromLatin1(prompt));
        }
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::OptionsDialogsTest)
#include "OptionsDialogsTest.moc"
