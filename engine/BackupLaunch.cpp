#include "engine/BackupLaunch.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "components/utils/LocalTime.h"
#include "components/utils/StringUtils.h"
#include "components/utils/UniqueFd.h"
#include "engine/StatusTexts.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {
namespace fs = std::filesystem;
namespace {

struct Target {
    std::string basePath;
    std::int32_t storageType;
    std::string backupFile;
    std::string extension;
};

Target ReadTarget() {
    std::string folder = GetProfileString(profile::kBrowseForFolderPath);
    ENSURE_SLASH(folder);
    Target target;
    target.basePath = folder + GetProfileString(profile::kBackupFilename);
    target.storageType = GetProfileInt(profile::kBackupStorageType);
    if (target.storageType == 0 || target.storageType == 1) {
        target.extension = target.storageType == 0 ? ".tkw" : ".iso";
        target.backupFile = target.basePath + target.extension;
    } else {
        // An unknown type names the bare file; the run then refuses it.
        target.backupFile = GetProfileString(profile::kBackupFilename);
    }
    return target;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

}  // namespace

void OverwriteBackupFile(CBackupRestoreManager& engine, const fs::path& backupFile) {
    engine.UnloadBackupFile();
    bool deleted = true;
    // The old file is removed only under its lock, and only while its name still leads to the
    // file that was locked: a file another run has just put there is not this one.
    // A link in its place is removed itself (the file it leads to stays); a file that cannot be
    // opened, and so not locked, stays.
    UniqueFd fd(::open(backupFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat locked {};
    struct stat named {};
    if (!fd.Valid() && errno != ENOENT && errno != ELOOP) {
        deleted = false;
    } else if (fd.Valid() &&
               (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.Get(), &locked) != 0 ||
                ::lstat(backupFile.c_str(), &named) != 0 || locked.st_ino != named.st_ino ||
                locked.st_dev != named.st_dev)) {
        deleted = false;  // an open archive holds this lock: the file is in use
    } else if (::unlink(backupFile.c_str()) != 0 && errno != ENOENT) {
        deleted = false;
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
    Target target;
    bool append = false;
    while (true) {
        items = selection();
        if (items.empty()) {
            host.ShowMessage("Before running backup you must select the files and folders",
                             IEngineHost::Icon::Information, IEngineHost::Buttons::Ok);
            return std::nullopt;
        }
        target = ReadTarget();
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
