#include "components/utils/FolderEntries.h"

#include <dirent.h>
#include <sys/stat.h>

#include <string_view>

namespace tkw {

std::optional<std::vector<FolderEntry>> ReadFolderEntries(const std::filesystem::path& folder) {
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return std::nullopt;
    }
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            isFolder = ::lstat((folder / name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        }
        entries.push_back({std::string(name), isFolder});
    }
    ::closedir(directory);
    return entries;
}

}  // namespace tkw
