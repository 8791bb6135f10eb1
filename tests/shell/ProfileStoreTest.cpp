#include "shell/profile/ProfileStore.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QSettings>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "shell/profile/ProfileKeys.h"
#include "tests/support/TestProfile.h"

namespace tkw {
namespace {

using namespace std::string_view_literals;

// The settings the program knows, written out independently of the program's own table.
struct ExpectedDefault {
    std::string_view section, key;
    profile::KeyKind kind;
    std::int32_t intDefault;
};
constexpr profile::KeyKind I = profile::KeyKind::Int;
constexpr profile::KeyKind S = profile::KeyKind::String;
constexpr ExpectedDefault kExpected[] = {
    {"BackupOptionsOrProceed", "DontShowAgain", I, 0},
    {"BackupOptions_A", "BackupFilename", S, 0},
    {"BackupOptions_A", "BrowseForFolderPath", S, 0},
    {"BackupOptions_A", "DeleteOriginalFilesAfterBackup", I, 0},
    {"BackupOptions_A", "BackupStorageType", I, 0},
    {"BackupOptions_B_A", "IncludeOrExclude", I, 1},
    {"BackupOptions_B_A", "DateCheckButton", I, 0},
    {"BackupOptions_B_A", "DateBeforeBetweenAfter", I, 0},
    {"BackupOptions_B_A", "DateInteger0", I, 0},
    {"BackupOptions_B_A", "DateInteger1", I, 0},
    {"BackupOptions_B_A", "TimeCheckButton", I, 0},
    {"BackupOptions_B_A", "TimeBeforeBetweenAfter", I, 0},
    {"BackupOptions_B_A", "TimeInteger0", I, 0},
    {"BackupOptions_B_A", "TimeInteger1", I, 0},
    {"BackupOptions_B_B", "IncludeOrExcludeFileType", I, 1},
    {"BackupOptions_B_B", "IncludeOrExcludeFileSize", I, 1},
    {"BackupOptions_B_B", "AtLeastAtMostBetween", I, 0},
    {"BackupOptions_B_B", "Size0", S, 0},
    {"BackupOptions_B_B", "Size1", S, 0},
    {"BackupOptions_B_B", "SizeUnit", I, 2},
    {"BackupOptions_B_C ", "IncludeOrExcludeFileNames", I, 1},
    {"BackupOptions_B_C ", "AllStringToFindInFileName", S, 0},
    {"BackupOptions_B_C ", "CaseSensitiveFilenames", I, 0},
    {"BackupOptions_B_C ", "IncludeOrExcludeContent", I, 1},
    {"BackupOptions_B_C ", "AllStringToFindInContent", S, 0},
    {"BackupOptions_B_C ", "CaseSensitiveContent", I, 0},
    {"FileTypes", "extensions", profile::KeyKind::Binary, 0},
    {"Preferences", "CreateLogFile", I, 1},
    {"RestoreOptions", "RestorePathOfFiles", I, 0},
    {"RestoreOptions", "RestorePath", S, 0},
    {"RestoreOptions", "ActionToTakeWhenFileAlreadyExists", I, 2},
    {"RestoreOptionsOrProceed", "DontShowAgain", I, 0},
    {"Workspace", "OutlookAnimation", I, 1},
    {"Workspace", "ApplicationLook", I, 216},
};

TEST(ProfileStore, EveryKeyReadsAsItsDefaultOnAFreshStore) {
    test::TestProfile profile;
    ASSERT_EQ(std::size(kExpected), profile::kAllProfileKeys.size());
    for (const ExpectedDefault& expected : kExpected) {
        const profile::ProfileKey* key = profile::FindProfileKey(expected.section, expected.key);
        ASSERT_NE(key, nullptr) << expected.section << "/" << expected.key;
        EXPECT_EQ(key->kind, expected.kind) << expected.key;
        switch (expected.kind) {
            case I:
                EXPECT_EQ(GetProfileInt(*key), expected.intDefault) << expected.key;
                break;
            case S:
                EXPECT_EQ(GetProfileString(*key), "") << expected.key;
                break;
            case profile::KeyKind::Binary:
                EXPECT_FALSE(GetProfileBinary(key->section, key->name).has_value());
                break;
        }
    }
    EXPECT_FALSE(QFile::exists(profile.FileName())) << "reading must not write anything";
}

TEST(ProfileStore, ValuesRoundTripByKind) {
    test::TestProfile profile;
    WriteProfileInt(profile::kSizeUnit, -7);
    WriteProfileString(profile::kRestorePath, "/home/a/Restored \xC3\xA9t\xC3\xA9, \"x\"");
    const std::vector<std::uint8_t> bytes = {0, 1, 0xFF, 0};
    WriteProfileBinary("FileTypes", "extensions", bytes);

    EXPECT_EQ(GetProfileInt(profile::kSizeUnit), -7);
    EXPECT_EQ(GetProfileString(profile::kRestorePath), "/home/a/Restored \xC3\xA9t\xC3\xA9, \"x\"");
    EXPECT_EQ(GetProfileBinary("FileTypes", "extensions"), bytes);
    EXPECT_EQ(GetProfileString("NoSuchSection", "NoKey", "fallback"), "fallback");
}

TEST(ProfileStore, EveryWriteIsInTheFileAtOnce) {
    test::TestProfile profile;
    WriteProfileInt(profile::kCreateLogFile, 0);
    WriteProfileString(profile::kAllStringToFindInContent, "secret words");
    // What another process would read: the file itself, with the blank of the section escaped.
    const std::string file = test::ReadFileBytes(profile.FileName().toStdString());
    EXPECT_NE(file.find("[Preferences]\nCreateLogFile=0"), std::string::npos) << file;
    EXPECT_NE(file.find("[BackupOptions_B_C%20]\nAllStringToFindInContent=secret words"),
              std::string::npos)
        << file;
}

TEST(ProfileStore, TheKeywordSectionKeepsItsTrailingBlank) {
    test::TestProfile profile;
    WriteProfileString("BackupOptions_B_C", "AllStringToFindInFileName", "without blank");
    EXPECT_EQ(GetProfileString(profile::kAllStringToFindInFileName), "")
        << "a section named without the blank is a different section";

    WriteProfileString(profile::kAllStringToFindInFileName, "tmp cache");
    EXPECT_EQ(GetProfileString(profile::kAllStringToFindInFileName), "tmp cache");
    EXPECT_EQ(GetProfileString("BackupOptions_B_C", "AllStringToFindInFileName"), "without blank");
    EXPECT_EQ(profile::kSectionBackupOptionsBC.size(), 18u);
}

TEST(ProfileStore, AnIntKeyHoldingNoThirtyTwoBitValueReadsAsTheDefault) {
    test::TestProfile profile;
    const struct {
        QVariant stored;
        std::int32_t expected;
    } cases[] = {
        {QStringLiteral("7"), 7},
        {QStringLiteral("-2147483648"), -2147483647 - 1},
        {QStringLiteral("2147483647"), 2147483647},
        {QStringLiteral("2147483648"), 216},
        {QStringLiteral("-2147483649"), 216},
        {QStringLiteral("99999999999"), 216},
        {QStringLiteral("abc"), 216},
        {QStringLiteral("12abc"), 216},
        {QStringLiteral(""), 216},
        {QVariant(qlonglong(1) << 40), 216},
        {QVariant(qulonglong(1) << 63), 216},
        {QVariant(QByteArray("\x01\x02\x03\x04\x05", 5)), 216},
        {QVariant(qlonglong(-5)), -5},
    };
    for (const auto& c : cases) {
        QSettings settings(profile.FileName(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Workspace/ApplicationLook"), c.stored);
        settings.sync();
        EXPECT_EQ(GetProfileInt(profile::kApplicationLook), c.expected)
            << c.stored.toString().toStdString();
    }
}

TEST(ProfileStore, AWriteOnOneThreadIsSeenByTheNextReadOnAnother) {
    test::TestProfile profile;
    // Both threads hold their own long-lived settings objects before either writes.
    EXPECT_EQ(GetProfileString(profile::kBackupFilename), "");
    std::int32_t first = -1, second = -1;
    std::mutex mutex;
    std::condition_variable changed;
    bool written = false, readFirst = false;
    std::thread worker([&] {
        first = GetProfileInt(profile::kCreateLogFile);
        {
            std::unique_lock lock(mutex);
            readFirst = true;
            changed.notify_all();
            changed.wait(lock, [&] { return written; });
        }
        second = GetProfileInt(profile::kCreateLogFile);
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return readFirst; });
    }
    WriteProfileInt(profile::kCreateLogFile, 0);
    {
        std::lock_guard lock(mutex);
        written = true;
    }
    changed.notify_all();
    worker.join();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);

    std::thread writer([] { WriteProfileString(profile::kBackupFilename, "FromWorker"); });
    writer.join();
    EXPECT_EQ(GetProfileString(profile::kBackupFilename), "FromWorker");
}

}  // namespace
}  // namespace tkw
