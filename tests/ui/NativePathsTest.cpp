// Paths a file dialog gives back, turned into the file system's bytes.
#include <QDir>
#include <QFile>
#include <QTest>

#include "shell/profile/ProfileKeys.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestProfile.h"
#include "ui/NativePaths.h"

namespace tkw {

namespace fs = std::filesystem;

class NativePathsTest : public QObject {
    Q_OBJECT

private slots:
    void fileDialogsForBackupsStartInTheBackupFolder() {
        test::TestProfile profile;
        test::TempDir temp;
        const std::string folder = (temp / "backups \xC3\xA9t\xC3\xA9").native();
        WriteProfileString(profile::kBrowseForFolderPath, folder);
        WriteProfileString(profile::kBackupFilename, "nightly");
        QCOMPARE(BackupFolderShown(), QDir::homePath());  // not made yet
        fs::create_directories(folder);
        QCOMPARE(QFile::encodeName(BackupFolderShown()).toStdString(), folder);
    }

    void aShownPathFindsTheBytesItStandsFor() {
        test::TempDir temp;
        for (const char* file :
             {"caf\xE9/menu.txt", "\xEF\xBB\xBFnotes/a", "dup\xE9/a", "dup\xE8/a",
              "x\xEF\xBF\xBD/a", "x\xE9/a", "r\xC3\xA9sum\xC3\xA9/a"}) {
            fs::create_directories((temp / file).parent_path());
            test::WriteFileBytes(temp / file, "x");
        }
        struct Case {
            std::string shownFrom;  // the path the dialog shows, decoded from these bytes
            std::optional<std::string> native;
        };
        const Case cases[] = {
            {"caf\xE9/menu.txt", "caf\xE9/menu.txt"},
            {"caf\xE9/new.tkw", "caf\xE9/new.tkw"},          // a new file in such a folder
            {"\xEF\xBB\xBFnotes/a", "\xEF\xBB\xBFnotes/a"},  // shows as "notes"
            {"r\xC3\xA9sum\xC3\xA9/a", "r\xC3\xA9sum\xC3\xA9/a"},
            {"dup\xE9/a", std::nullopt},  // shows as dup\xE8 does
            {"x\xE9/a", std::nullopt},    // shows as a name with a real U+FFFD
        };
        for (const Case& c : cases) {
            const QString shown =
                QFile::decodeName(QByteArray::fromStdString((temp / c.shownFrom).native()));
            const auto native = NativePathOf(shown);
            const std::optional<std::string> expected =
                c.native ? std::optional((temp / *c.native).native()) : std::nullopt;
            QVERIFY2(native == expected, qPrintable(shown));
        }
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::NativePathsTest)
#include "NativePathsTest.moc"
