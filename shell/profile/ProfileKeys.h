#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tkw::profile {

// Section names, each held once. The keyword filter's section ends in a blank that is part of its
// name: a section written without the blank is a different one.
inline constexpr std::string_view kSectionBackupOptionsOrProceed = "BackupOptionsOrProceed";
inline constexpr std::string_view kSectionBackupOptionsA = "BackupOptions_A";
inline constexpr std::string_view kSectionBackupOptionsBA = "BackupOptions_B_A";
inline constexpr std::string_view kSectionBackupOptionsBB = "BackupOptions_B_B";
inline constexpr std::string_view kSectionBackupOptionsBC = "BackupOptions_B_C ";
inline constexpr std::string_view kSectionFileTypes = "FileTypes";
inline constexpr std::string_view kSectionPreferences = "Preferences";
inline constexpr std::string_view kSectionRestoreOptions = "RestoreOptions";
inline constexpr std::string_view kSectionRestoreOptionsOrProceed = "RestoreOptionsOrProceed";
inline constexpr std::string_view kSectionWorkspace = "Workspace";

enum class KeyKind { Int, String, Binary };

// One stored setting: where it lives, its kind, and what a reader gets when it is absent.
struct ProfileKey {
    std::string_view section;
    std::string_view name;
    KeyKind kind;
    std::int32_t intDefault = 0;
    std::string_view stringDefault = {};
};

constexpr ProfileKey IntKey(std::string_view section, std::string_view name, std::int32_t def) {
    return {section, name, KeyKind::Int, def, {}};
}
constexpr ProfileKey StringKey(std::string_view section, std::string_view name) {
    return {section, name, KeyKind::String, 0, {}};
}

// Values of the "Include only" / "Exclude" choices every filter stores.
inline constexpr std::int32_t kIncludeOnly = 0;
inline constexpr std::int32_t kExclude = 1;

inline constexpr ProfileKey kBackupPromptDontShowAgain =
    IntKey(kSectionBackupOptionsOrProceed, "DontShowAgain", 0);

inline constexpr ProfileKey kBackupFilename = StringKey(kSectionBackupOptionsA, "BackupFilename");
inline constexpr ProfileKey kBrowseForFolderPath =
    StringKey(kSectionBackupOptionsA, "BrowseForFolderPath");
inline constexpr ProfileKey kDeleteOriginalFilesAfterBackup =
    IntKey(kSectionBackupOptionsA, "DeleteOriginalFilesAfterBackup", 0);
// 0 = the program's own archive (".tkw"), 1 = CD image (".iso").
inline constexpr ProfileKey kBackupStorageType =
    IntKey(kSectionBackupOptionsA, "BackupStorageType", 0);

inline constexpr ProfileKey kDateTimeIncludeOrExclude =
    IntKey(kSectionBackupOptionsBA, "IncludeOrExclude", kExclude);
inline constexpr ProfileKey kDateCheckButton =
    IntKey(kSectionBackupOptionsBA, "DateCheckButton", 0);
// 0 = "Before", 1 = "Between", 2 = "After" (also for the time condition).
inline constexpr ProfileKey kDateBeforeBetweenAfter =
    IntKey(kSectionBackupOptionsBA, "DateBeforeBetweenAfter", 0);
inline constexpr ProfileKey kDateInteger0 = IntKey(kSectionBackupOptionsBA, "DateInteger0", 0);
inline constexpr ProfileKey kDateInteger1 = IntKey(kSectionBackupOptionsBA, "DateInteger1", 0);
inline constexpr ProfileKey kTimeCheckButton =
    IntKey(kSectionBackupOptionsBA, "TimeCheckButton", 0);
inline constexpr ProfileKey kTimeBeforeBetweenAfter =
    IntKey(kSectionBackupOptionsBA, "TimeBeforeBetweenAfter", 0);
inline constexpr ProfileKey kTimeInteger0 = IntKey(kSectionBackupOptionsBA, "TimeInteger0", 0);
inline constexpr ProfileKey kTimeInteger1 = IntKey(kSectionBackupOptionsBA, "TimeInteger1", 0);

inline constexpr ProfileKey kIncludeOrExcludeFileType =
    IntKey(kSectionBackupOptionsBB, "IncludeOrExcludeFileType", kExclude);
inline constexpr ProfileKey kIncludeOrExcludeFileSize =
    IntKey(kSectionBackupOptionsBB, "IncludeOrExcludeFileSize", kExclude);
// 0 = "At least", 1 = "At most", 2 = "Between".
inline constexpr ProfileKey kAtLeastAtMostBetween =
    IntKey(kSectionBackupOptionsBB, "AtLeastAtMostBetween", 0);
inline constexpr ProfileKey kSize0 = StringKey(kSectionBackupOptionsBB, "Size0");
inline constexpr ProfileKey kSize1 = StringKey(kSectionBackupOptionsBB, "Size1");
// 0 = bytes, 1 = kilobytes, 2 = megabytes, 3 = gigabytes.
inline constexpr ProfileKey kSizeUnit = IntKey(kSectionBackupOptionsBB, "SizeUnit", 2);

inline constexpr ProfileKey kIncludeOrExcludeFileNames =
    IntKey(kSectionBackupOptionsBC, "IncludeOrExcludeFileNames", kExclude);
inline constexpr ProfileKey kAllStringToFindInFileName =
    StringKey(kSectionBackupOptionsBC, "AllStringToFindInFileName");
inline constexpr ProfileKey kCaseSensitiveFilenames =
    IntKey(kSectionBackupOptionsBC, "CaseSensitiveFilenames", 0);
inline constexpr ProfileKey kIncludeOrExcludeContent =
    IntKey(kSectionBackupOptionsBC, "IncludeOrExcludeContent", kExclude);
inline constexpr ProfileKey kAllStringToFindInContent =
    StringKey(kSectionBackupOptionsBC, "AllStringToFindInContent");
inline constexpr ProfileKey kCaseSensitiveContent =
    IntKey(kSectionBackupOptionsBC, "CaseSensitiveContent", 0);

// The file-type list, in the encoding of FileTypeList.h; absent reads as the empty list.
inline constexpr ProfileKey kFileTypeExtensions{kSectionFileTypes, "extensions", KeyKind::Binary};

inline constexpr ProfileKey kCreateLogFile = IntKey(kSectionPreferences, "CreateLogFile", 1);

// 0 = the original paths, 1 = below RestorePath.
inline constexpr ProfileKey kRestorePathOfFiles =
    IntKey(kSectionRestoreOptions, "RestorePathOfFiles", 0);
inline constexpr ProfileKey kRestorePath = StringKey(kSectionRestoreOptions, "RestorePath");
// 0 = overwrite, 1 = skip, 2 = ask the user.
inline constexpr ProfileKey kActionToTakeWhenFileAlreadyExists =
    IntKey(kSectionRestoreOptions, "ActionToTakeWhenFileAlreadyExists", 2);

inline constexpr ProfileKey kRestorePromptDontShowAgain =
    IntKey(kSectionRestoreOptionsOrProceed, "DontShowAgain", 0);

inline constexpr ProfileKey kOutlookAnimation = IntKey(kSectionWorkspace, "OutlookAnimation", 1);
// Command number of the application look; 216 is the black Office 2007 style.
inline constexpr ProfileKey kApplicationLook = IntKey(kSectionWorkspace, "ApplicationLook", 216);

// Every setting the program reads or writes, for tools that list or edit them by name.
inline constexpr std::array kAllProfileKeys = {
    kBackupPromptDontShowAgain,
    kBackupFilename,
    kBrowseForFolderPath,
    kDeleteOriginalFilesAfterBackup,
    kBackupStorageType,
    kDateTimeIncludeOrExclude,
    kDateCheckButton,
    kDateBeforeBetweenAfter,
    kDateInteger0,
    kDateInteger1,
    kTimeCheckButton,
    kTimeBeforeBetweenAfter,
    kTimeInteger0,
    kTimeInteger1,
    kIncludeOrExcludeFileType,
    kIncludeOrExcludeFileSize,
    kAtLeastAtMostBetween,
    kSize0,
    kSize1,
    kSizeUnit,
    kIncludeOrExcludeFileNames,
    kAllStringToFindInFileName,
    kCaseSensitiveFilenames,
    kIncludeOrExcludeContent,
    kAllStringToFindInContent,
    kCaseSensitiveContent,
    kFileTypeExtensions,
    kCreateLogFile,
    kRestorePathOfFiles,
    kRestorePath,
    kActionToTakeWhenFileAlreadyExists,
    kRestorePromptDontShowAgain,
    kOutlookAnimation,
    kApplicationLook,
};

// Finds a key by section and name; nullptr when the program has no such setting.
const ProfileKey* FindProfileKey(std::string_view section, std::string_view name);

}  // namespace tkw::profile

namespace tkw {

// Typed reads and writes of the keys above, with the table's defaults.
std::int32_t GetProfileInt(const profile::ProfileKey& key);
void WriteProfileInt(const profile::ProfileKey& key, std::int32_t value);
std::string GetProfileString(const profile::ProfileKey& key);
void WriteProfileString(const profile::ProfileKey& key, std::string_view text);

}  // namespace tkw
