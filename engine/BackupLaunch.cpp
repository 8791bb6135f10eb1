#include "engine/BackupLaunch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "components/utils/LocalTime.h"
#include "components/utils/StringUtils.h"
#include "engine/BackupTarget.h"
#include "engine/ExclusiveOpen.h"
#include "engine/StatusTexts.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {
namespace fs = std::filesystem;
namespace {

bool Exists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

}  // namespace

void OverwriteBackupFile(CBackupRestoreManager& engine, const fs::path& backupFile) {
    engine.UnloadBackupFile();
    // The old file is removed only while this program holds its lock, and only while its name
    // still leads to the file that was locked: a file another run has just put there is not this
    // one. A link in its place is removed itself (the file it leads to stays).
    const FileClaim claim = ClaimFile(backupFile);
    bool deleted = claim.use == FileUse::Gone;
    if (claim.use == FileUse::Free) {
        struct stat named {};
        deleted = claim.file.isLink || (::lstat(backupFile.c_str(), &named) == 0 &&
                                        claim.file.status.st_ino == named.st_ino &&
                                        claim.file.status.st_dev == named.st_dev);
        deleted = deleted && (::unlink(backupFile.c_str()) == 0 || errno == ENOENT);
    }
    if (deleted) {
        WriteTimedLine(" Succeeded--Backup file " + backupFile.native() + " was overwritten!");
    } else {
        WriteTimedLine(" Failed--Backup file " + backupFile.native() +
                       " cannot be overwritten! The file might be used in other application !");
    }
}

std::optional<int> LaunchBackup(CBackupRestoreManager& engine,
                                const std::function<std::vector<fs::path>()>& selection,
                                BackupCounters& counters) {
    IEngineHost& host = engine.Host();
    std::vector<fs::path> items;
    BackupTarget target;
    bool append = false;
    while (true) {
        items = selection();
        if (items.empty()) {
            host.ShowMessage("Before running backup you must select the files and folders",
                             IEngineHost::Icon::Information, IEngineHost::Buttons::Ok);
            return std::nullopt;
        }
        target = StoredBackupTarget();
        if (!Exists(target.backupFile)) {
            break;
        }
        const auto answer = host.AskBackupFileExists(target.backupFile, target.storageType);
        if (answer == IEngineHost::BackupFileAnswer::Append && target.storageType == 0) {
            append = true;
            if (!engine.IsBackupLoaded() && !engine.LoadBackupFile(target.backupFile)) {
                return std::nullopt;
            }
            break;
        }
        if (answer == IEngineHost::BackupFileAnswer::Overwrite) {
            OverwriteBackupFile(engine, target.backupFile);
            continue;  // the selection and the target are read again
        }
        if (answer != IEngineHost::BackupFileAnswer::NewLocation) {
            return std::nullopt;
        }
        const fs::path current = target.backupFile;
        const auto chosen = host.AskNewBackupLocation(current.stem().native(), target.extension);
        if (!chosen) {
            return std::nullopt;
        }
        // The folder without its final separator, and the name without whatever extension was
        // typed.
        const fs::path path = *chosen;
        std::string folder = path.parent_path().native();
        while (!folder.empty() && folder.back() == '/') {
            folder.pop_back();
        }
        WriteProfileString(profile::kBrowseForFolderPath, folder);
        WriteProfileString(profile::kBackupFilename, path.stem().native());
        engine.UnloadBackupFile();
    }
    const int result =
        engine.RunBackup(target.basePath, target.storageType, items, counters, append);
    host.ShowStatus(BackupStatusCaption(result), BackupStatusText(counters));
    host.RedrawTree();
    return result;
}

}  // namespace tkw
