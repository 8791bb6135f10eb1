// The backup options dialog and its pages, driven as a person would, checked in the store.
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <limits>

#include "components/utils/ReportError.h"
#include "dialogs/BackupOptionsDialog.h"
#include "dialogs/BackupOptionsGeneralPage.h"
#include "dialogs/FileTypesDialog.h"
#include "dialogs/Prompts.h"
#include "shell/profile/FileTypeList.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/Stamp.h"
#include "tests/support/DialogDriving.h"
#include "tests/support/TestProfile.h"

using namespace Qt::Literals::StringLiterals;

namespace tkw {
namespace {

QComboBox* List(QWidget& dialog, const char* name) {
    return Child<QComboBox>(dialog, name);
}

QDateTimeEdit* Picker(QWidget& dialog, const QString& row, int index) {
    return dialog.findChild<QDateTimeEdit*>(row + QStringLiteral("Picker") +
                                            QString::number(index));
}

QLineEdit* Field(QWidget& dialog, const char* name) {
    return Child<QLineEdit>(dialog, name);
}

// Shows the page of the filters tab that holds `widget`, as a person clicks the two tabs.
void ShowPageOf(CBackupOptions& dialog, QWidget* widget) {
    Child<QTabWidget>(dialog, "OptionTabs")->setCurrentIndex(1);
    auto* filters = Child<QTabWidget>(dialog, "FilterTabs");
    for (int i = 0; i < filters->count(); ++i) {
        if (filters->widget(i)->isAncestorOf(widget)) {
            filters->setCurrentIndex(i);
        }
    }
}

// The local date and time a stamp stands for, as a picker shows it.
QDateTime FromStamp(std::int32_t stamp) {
    const LocalDateTime local = *LocalFromStamp(stamp);
    return QDateTime(QDate(local.year, local.month, local.day),
                     QTime(local.hour, local.minute, local.second));
}

}  // namespace

class BackupOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void aFreshProfileShowsTheDefaults() {
        test::TestProfile profile;
        const QDateTime opened = QDateTime::currentDateTime();
        CBackupOptions dialog(nullptr);
        dialog.show();

        QCOMPARE(dialog.windowTitle(), QStringLiteral("Backup Options"));
        auto* tabs = Child<QTabWidget>(dialog, "OptionTabs");
        QCOMPARE(tabs->tabText(0), QStringLiteral("General Settings"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Backup Filters"));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!Child<QCheckBox>(dialog, "DeleteOriginalFilesAfterBackup")->isChecked());
        QVERIFY(Field(dialog, "BrowseForFolderPath")->text().isEmpty());
        QVERIFY(Field(dialog, "BackupFilename")->text().isEmpty());

        for (const char* name :
             {"IncludeOrExclude", "IncludeOrExcludeFileType", "IncludeOrExcludeFileSize",
              "IncludeOrExcludeFileName", "IncludeOrExcludeContent"}) {
            QCOMPARE(List(dialog, name)->currentText(), QStringLiteral("Exclude"));
            QCOMPARE(List(dialog, name)->itemText(0), QStringLiteral("Include only"));
        }
        for (const QString& row : {QStringLiteral("Date"), QStringLiteral("Time")}) {
            QVERIFY(!dialog.findChild<QCheckBox*>(row + u"CheckButton"_s)->isChecked());
            auto* condition = dialog.findChild<QComboBox*>(row + u"BeforeBetweenAfter"_s);
            QCOMPARE(condition->currentText(), QStringLiteral("Before"));
            QVERIFY(!condition->isEnabled());
            for (int i = 0; i < 2; ++i) {
                QVERIFY(!Picker(dialog, row, i)->isEnabled());
                // The moment the page opened, to the second.
                QVERIFY(qAbs(Picker(dialog, row, i)->dateTime().secsTo(opened)) <= 2);
            }
            QVERIFY(Picker(dialog, row, 1)->isHidden());
            QVERIFY(dialog.findChild<QLabel*>(row + u"And"_s)->isHidden());
        }
        QCOMPARE(List(dialog, "AtLeastAtMostBetween")->currentText(), QStringLiteral("At least"));
        QCOMPARE(List(dialog, "SizeUnit")->currentText(), QStringLiteral("MBytes"));
        QVERIFY(Field(dialog, "Size1")->isHidden());
        for (const char* name : {"Size0", "Size1", "FileTypes", "AllStringToFindInFileName",
                                 "AllStringToFindInContent"}) {
            QVERIFY2(Field(dialog, name)->text().isEmpty(), name);
        }
        QVERIFY(Field(dialog, "FileTypes")->isReadOnly());
        QVERIFY(!Child<QCheckBox>(dialog, "CaseSensitiveFileName")->isChecked());
        QVERIFY(!Child<QCheckBox>(dialog, "CaseSensitiveContent")->isChecked());
    }

    void betweenShowsAndHidesTheSecondValue_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QStringList>("acts");  // "tick", "untick" or a condition to select
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("enabled");
        for (const QString& row : {QStringLiteral("Date"), QStringLiteral("Time")}) {
            const QByteArray name = row.toUtf8();
            QTest::newRow(QByteArray(name + ": Between").constData())
                << row << QStringList{u"tick"_s, u"Between"_s} << true << true;
            QTest::newRow(QByteArray(name + ": Between, then After").constData())
                << row << QStringList{u"tick"_s, u"Between"_s, u"After"_s} << false << false;
            QTest::newRow(QByteArray(name + ": unticked while Between").constData())
                << row << QStringList{u"tick"_s, u"Between"_s, u"untick"_s} << true << false;
            QTest::newRow(QByteArray(name + ": ticked again").constData())
                << row << QStringList{u"tick"_s, u"Between"_s, u"untick"_s, u"tick"_s} << true
                << true;
        }
    }

    void betweenShowsAndHidesTheSecondValue() {
        QFETCH(QString, row);
        QFETCH(QStringList, acts);
        QFETCH(bool, shown);
        QFETCH(bool, enabled);
        test::TestProfile profile;
        CBackupOptions dialog(nullptr);
        dialog.show();
        auto* check = dialog.findChild<QCheckBox*>(row + u"CheckButton"_s);
        ShowPageOf(dialog, check);
        auto* condition = dialog.findChild<QComboBox*>(row + u"BeforeBetweenAfter"_s);
        for (const QString& act : acts) {
            if (act == u"tick"_s || act == u"untick"_s) {
                QCOMPARE(check->isChecked(), act == u"untick"_s);
                Click(check);
            } else {
                condition->setCurrentIndex(condition->findText(act));
            }
        }
        QCOMPARE(Picker(dialog, row, 1)->isVisible(), shown);
        QCOMPARE(dialog.findChild<QLabel*>(row + u"And"_s)->isVisible(), shown);
        QCOMPARE(Picker(dialog, row, 1)->isEnabled(), enabled);
        QCOMPARE(Picker(dialog, row, 0)->isEnabled(), check->isChecked());
    }

    void storedStampsAreShownAndStoredAgainUnchanged_data() {
        QTest::addColumn<int>("stamp");
        QTest::newRow("a spring afternoon") << 1709649000;  // 2024-03-05 14:30 UTC
        QTest::newRow("before 1970") << -86400 * 3;
        QTest::newRow("the last second a stamp holds") << std::numeric_limits<std::int32_t>::max();
        QTest::newRow("the first second of 1970") << 1;
    }

    void storedStampsAreShownAndStoredAgainUnchanged() {
        QFETCH(int, stamp);
        test::TestProfile profile;
        const std::int32_t time1 = 1000000000;
        for (const profile::ProfileKey* key :
             {&profile::kDateInteger0, &profile::kDateInteger1, &profile::kTimeInteger0}) {
            WriteProfileInt(*key, stamp);
        }
        WriteProfileInt(profile::kTimeInteger1, time1);
        CBackupOptions dialog(nullptr);
        QCOMPARE(Picker(dialog, u"Date"_s, 0)->dateTime(), FromStamp(stamp));
        QCOMPARE(Picker(dialog, u"Date"_s, 1)->dateTime(), FromStamp(stamp));
        QCOMPARE(Picker(dialog, u"Time"_s, 0)->dateTime(), FromStamp(stamp));
        QCOMPARE(Picker(dialog, u"Time"_s, 1)->dateTime(), FromStamp(time1));
        LeaveBy(dialog, Leave::Ok);
        // Hidden second pickers of unticked rows are stored too.
        QCOMPARE(StoredInt(profile, profile::kDateInteger0), stamp);
        QCOMPARE(StoredInt(profile, profile::kDateInteger1), stamp);
        QCOMPARE(StoredInt(profile, profile::kTimeInteger0), stamp);
        QCOMPARE(StoredInt(profile, profile::kTimeInteger1), time1);
    }

    void unsetStampsAreStoredAsTheMomentTheDialogOpened() {
        test::TestProfile profile;
        const qint64 opened = QDateTime::currentSecsSinceEpoch();
        CBackupOptions dialog(nullptr);
        LeaveBy(dialog, Leave::Ok);
        for (const profile::ProfileKey* key : {&profile::kDateInteger0, &profile::kDateInteger1,
                                               &profile::kTimeInteger0, &profile::kTimeInteger1}) {
            const std::optional<int> stored = StoredInt(profile, *key);
            QVERIFY(stored);
            QVERIFY(qAbs(*stored - opened) <= 2);
        }
    }

    void aValueTheStampCannotHoldIsStoredAsNotSetAndSaidSo() {
        test::TestProfile profile;
        const std::int32_t last = std::numeric_limits<std::int32_t>::max();
        WriteProfileInt(profile::kTimeInteger0, last);
        WriteProfileInt(profile::kDateInteger1, last);
        std::vector<std::string> said;
        const ErrorReporter previous =
            SetErrorReporter([&](const std::string& message, int) { said.push_back(message); });
        CBackupOptions dialog(nullptr);
        dialog.show();
        // Later on the last day a stamp reaches, which would wrap around to 1901.
        Picker(dialog, u"Time"_s, 0)->setTime(QTime(23, 59, 59));
        Picker(dialog, u"Date"_s, 1)->setTime(QTime(23, 59, 59));
        LeaveBy(dialog, Leave::Ok);
        SetErrorReporter(previous);
        QCOMPARE(said, (std::vector<std::string>{"date not set!", "time not set!"}));
        QCOMPARE(StoredInt(profile, profile::kTimeInteger0), 0);
        QCOMPARE(StoredInt(profile, profile::kDateInteger1), 0);
    }

    void aUnitChangeConvertsTheSizesAndIsStoredAtOnce_data() {
        QTest::addColumn<int>("storedUnit");  // -1: absent, the page shows MBytes
        QTest::addColumn<QString>("size0");
        QTest::addColumn<QString>("size1");
        QTest::addColumn<QString>("newUnit");
        QTest::addColumn<QString>("shown0");
        QTest::addColumn<QString>("shown1");
        QTest::addColumn<int>("storedAfter");
        QTest::newRow("MBytes to KBytes on a fresh profile") << -1 << "5"
                                                             << ""
                                                             << "KBytes"
                                                             << "5120"
                                                             << "" << 1;
        QTest::newRow("empty fields stay empty") << 2 << ""
                                                 << ""
                                                 << "GBytes"
                                                 << ""
                                                 << "" << 3;
        QTest::newRow("to a larger unit rounds down") << 0 << "1073741823"
                                                      << "1073741824"
                                                      << "GBytes"
                                                      << "0"
                                                      << "1" << 3;
        QTest::newRow("GBytes to Bytes") << 3 << "2"
                                         << ""
                                         << "Bytes"
                                         << "2147483648"
                                         << "" << 0;
        QTest::newRow("the leading number of a stored text") << 1 << " 12 KB"
                                                             << "x"
                                                             << "Bytes"
                                                             << "12288"
                                                             << "0" << 0;
        QTest::newRow("too large to convert saturates") << 0 << ""
                                                        << "9223372036854775807"
                                                        << "KBytes"
                                                        << ""
                                                        << "9007199254740991" << 1;
        QTest::newRow("saturates upward too") << 3 << "9223372036854775807"
                                              << ""
                                              << "Bytes"
                                              << "9223372036854775807"
                                              << "" << 0;
    }

    void aUnitChangeConvertsTheSizesAndIsStoredAtOnce() {
        QFETCH(int, storedUnit);
        QFETCH(QString, size0);
        QFETCH(QString, size1);
        QFETCH(QString, newUnit);
        QFETCH(QString, shown0);
        QFETCH(QString, shown1);
        QFETCH(int, storedAfter);
        test::TestProfile profile;
        if (storedUnit >= 0) {
            WriteProfileInt(profile::kSizeUnit, storedUnit);
        }
        WriteProfileString(profile::kSize0, size0.toStdString());
        WriteProfileString(profile::kSize1, size1.toStdString());
        CBackupOptions dialog(nullptr);
        dialog.show();
        auto* unit = List(dialog, "SizeUnit");
        ShowPageOf(dialog, unit);
        unit->setCurrentIndex(unit->findText(newUnit));

        QCOMPARE(Field(dialog, "Size0")->text(), shown0);
        QCOMPARE(Field(dialog, "Size1")->text(), shown1);
        QCOMPARE(StoredInt(profile, profile::kSizeUnit), storedAfter);
        // Cancel keeps the unit, which was stored at once, and nothing else.
        LeaveBy(dialog, Leave::Cancel);
        QCOMPARE(StoredInt(profile, profile::kSizeUnit), storedAfter);
        QCOMPARE(StoredText(profile, profile::kSize0), size0);
        QCOMPARE(StoredText(profile, profile::kSize1), size1);
    }

    void theSizeFieldsTakeDigitsOnly() {
        test::TestProfile profile;
        CBackupOptions dialog(nullptr);
        dialog.show();
        QLineEdit* size = Field(dialog, "Size0");
        ShowPageOf(dialog, size);
        QTest::keyClicks(size, QStringLiteral("1a-2 3.4"));
        QCOMPARE(size->text(), QStringLiteral("1234"));
    }

    void okSavesEveryPageAndOnlyOk_data() {
        QTest::addColumn<Leave>("leave");
        QTest::newRow("OK") << Leave::Ok;
        QTest::newRow("Cancel") << Leave::Cancel;
        QTest::newRow("Escape") << Leave::Escape;
        QTest::newRow("close box") << Leave::CloseBox;
    }

    void okSavesEveryPageAndOnlyOk() {
        QFETCH(Leave, leave);
        test::TestProfile profile;
        WriteProfileInt(profile::kBackupStorageType, 1);
        CBackupOptions dialog(nullptr);
        dialog.show();
        dialog.GeneralPage()->SetFolderPicker(
            [](QWidget*, const QString&) { return QStringLiteral("/srv/backups"); });
        Click(Child<QCheckBox>(dialog, "DeleteOriginalFilesAfterBackup"));
        Click(Child<QToolButton>(dialog, "Browse"));
        QTest::keyClicks(Field(dialog, "BackupFilename"), QStringLiteral("nightly"));

        auto* date = Child<QCheckBox>(dialog, "DateCheckButton");
        ShowPageOf(dialog, date);
        Click(date);
        List(dialog, "IncludeOrExclude")->setCurrentIndex(0);
        List(dialog, "DateBeforeBetweenAfter")->setCurrentIndex(2);
        List(dialog, "TimeBeforeBetweenAfter")->setCurrentIndex(1);
        Picker(dialog, u"Date"_s, 0)->setDateTime(FromStamp(1600000000));

        ShowPageOf(dialog, Field(dialog, "Size0"));
        List(dialog, "IncludeOrExcludeFileType")->setCurrentIndex(0);
        List(dialog, "AtLeastAtMostBetween")->setCurrentIndex(2);
        QTest::keyClicks(Field(dialog, "Size0"), QStringLiteral("10"));
        QTest::keyClicks(Field(dialog, "Size1"), QStringLiteral("20"));

        ShowPageOf(dialog, Field(dialog, "AllStringToFindInContent"));
        List(dialog, "IncludeOrExcludeContent")->setCurrentIndex(0);
        QTest::keyClicks(Field(dialog, "AllStringToFindInFileName"), QStringLiteral(" tmp  ~ "));
        QTest::keyClicks(Field(dialog, "AllStringToFindInContent"), QStringLiteral("draft"));
        Click(Child<QCheckBox>(dialog, "CaseSensitiveContent"));
        // Back to the first tab: values on hidden pages are saved all the same.
        Child<QTabWidget>(dialog, "OptionTabs")->setCurrentIndex(0);
        LeaveBy(dialog, leave);
        QVERIFY(!dialog.isVisible());

        // Every key of every page, as OK stores it; the storage type, not shown, stays.
        const std::pair<const profile::ProfileKey*, QString> saved[] = {
            {&profile::kDeleteOriginalFilesAfterBackup, u"1"_s},
            {&profile::kBrowseForFolderPath, u"/srv/backups"_s},
            {&profile::kBackupFilename, u"nightly"_s},
            {&profile::kDateTimeIncludeOrExclude, u"0"_s},
            {&profile::kDateCheckButton, u"1"_s},
            {&profile::kTimeCheckButton, u"0"_s},
            {&profile::kDateInteger0, u"1600000000"_s},
            {&profile::kDateBeforeBetweenAfter, u"2"_s},
            {&profile::kTimeBeforeBetweenAfter, u"1"_s},
            {&profile::kIncludeOrExcludeFileType, u"0"_s},
            {&profile::kIncludeOrExcludeFileSize, u"1"_s},
            {&profile::kAtLeastAtMostBetween, u"2"_s},
            {&profile::kSize0, u"10"_s},
            {&profile::kSize1, u"20"_s},
            {&profile::kSizeUnit, u"2"_s},
            {&profile::kIncludeOrExcludeFileNames, u"1"_s},
            {&profile::kAllStringToFindInFileName, u" tmp  ~ "_s},
            {&profile::kCaseSensitiveFilenames, u"0"_s},
            {&profile::kIncludeOrExcludeContent, u"0"_s},
            {&profile::kAllStringToFindInContent, u"draft"_s},
            {&profile::kCaseSensitiveContent, u"1"_s},
        };
        for (const auto& [key, value] : saved) {
            const std::optional<QString> expected =
                leave == Leave::Ok ? std::optional<QString>(value) : std::nullopt;
            QVERIFY2(StoredText(profile, *key) == expected, key->name.data());
        }
        QCOMPARE(StoredInt(profile, profile::kBackupStorageType), 1);
        for (const profile::ProfileKey* key :
             {&profile::kDateInteger1, &profile::kTimeInteger0, &profile::kTimeInteger1}) {
            QCOMPARE(StoredInt(profile, *key).has_value(), leave == Leave::Ok);
        }
    }

    void anEmptyNameIsStoredEmpty() {
        test::TestProfile profile;
        WriteProfileString(profile::kBackupFilename, "Backup");
        CBackupOptions dialog(nullptr);
        dialog.show();
        Field(dialog, "BackupFilename")->clear();
        LeaveBy(dialog, Leave::Ok);
        QCOMPARE(StoredText(profile, profile::kBackupFilename), QString());
    }

    void modifyShowsTheTypesTheListDialogStored_data() {
        QTest::addColumn<Leave>("leave");
        QTest::addColumn<QString>("shown");
        QTest::newRow("OK") << Leave::Ok << ".mp3";
        QTest::newRow("Cancel") << Leave::Cancel << ".avi , .mp3";
    }

    void modifyShowsTheTypesTheListDialogStored() {
        QFETCH(Leave, leave);
        QFETCH(QString, shown);
        test::TestProfile profile;
        WriteFileTypeList({".avi", ".mp3"});
        CBackupOptions dialog(nullptr);
        dialog.show();
        QLineEdit* types = Field(dialog, "FileTypes");
        QCOMPARE(types->text(), QStringLiteral(".avi , .mp3"));
        ShowPageOf(dialog, types);
        ModalAnswerer answerer([&](QWidget* modal) {
            auto* list = qobject_cast<CFileTypes*>(modal);
            QVERIFY(list);
            auto* entries = Child<QListWidget>(*list, "FileTypesList");
            entries->setCurrentRow(0);
            Click(Child<QAbstractButton>(*list, "Remove"));
            LeaveBy(*list, leave);
        });
        Click(Child<QPushButton>(dialog, "Modify"));
        QCOMPARE(types->text(), shown);
        // Cancel in the options dialog keeps what the list dialog stored.
        LeaveBy(dialog, Leave::Cancel);
        const std::vector<std::string> stored = ReadFileTypeList();
        QCOMPARE(stored.size(), leave == Leave::Ok ? 1u : 2u);
    }

    void thePreBackupPromptsButtonOpensTheOptionsOnTopOfIt() {
        test::TestProfile profile;
        COptionsOrProceed prompt(COptionsOrProceed::Kind::Backup, nullptr);
        prompt.show();
        QWidget* openedOn = nullptr;
        ModalAnswerer answerer([&](QWidget* modal) {
            auto* options = qobject_cast<CBackupOptions*>(modal);
            QVERIFY(options);
            openedOn = options->parentWidget();
            QTest::keyClicks(Field(*options, "BackupFilename"), QStringLiteral("chosen"));
            LeaveBy(*options, Leave::Ok);
        });
        auto* button = Child<QPushButton>(prompt, "Options");
        QCOMPARE(button->text(), QStringLiteral("Backup Options"));
        Click(button);
        QCOMPARE(openedOn, &prompt);
        QVERIFY2(prompt.isVisible(), "the prompt stays open");
        QCOMPARE(StoredText(profile, profile::kBackupFilename), QStringLiteral("chosen"));
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::BackupOptionsTest)
#include "BackupOptionsTest.moc"
