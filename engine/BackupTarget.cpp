#include "engine/BackupTarget.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "components/utils/StringUtils.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {
namespace fs = std::filesystem;

BackupTarget ResolveBackupTarget(std::string folder, const std::string& name,
                                 std::int32_t storageType) {
    ENSURE_SLASH(folder);
    BackupTarget target;
    target.basePath = folder + name;
    target.storageType = storageType;
    if (storageType == 0 || storageType == 1) {
        target.extension = storageType == 0 ? ".tkw" : ".iso";
        target.backupFile = target.basePath + target.extension;
    } else {
        // An unknown type names the bare file; the run then refuses it.
        target.backupFile = name;
    }
    return target;
}

BackupTarget StoredBackupTarget() {
    return ResolveBackupTarget(GetProfileString(profile::kBrowseForFolderPath),
                               GetProfileString(profile::kBackupFilename),
                               GetProfileInt(profile::kBackupStorageType));
}

bool MakeBackupFolder(const fs::path& folder) {
    // The missing folders, deepest first.
    std::vector<fs::path> missing;
    struct stat status {};
    for (fs::path path = folder; !path.empty() && ::stat(path.c_str(), &status) != 0;
         path = path.parent_path()) {
        if (errno != ENOENT) {
            return false;
        }
        missing.push_back(path);
        if (!path.has_relative_path()) {
            break;
        }
    }
    for (auto path = missing.rbegin(); path != missing.rend(); ++path) {
        // A backup holds copies of the user's files: only its owner may look into a folder
        // made for it.
        if (::mkdir(path->c_str(), 0700) == 0) {
            WriteTimedLine(" Created folder " + path->native() + " for the backup file!");
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return true;
}

}  // namespace tkw
