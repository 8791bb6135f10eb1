#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tkw {

// Where a backup goes. The window and the command-line tool both work it out here, from the
// folder, the name and the storage type as the settings hold them.
struct BackupTarget {
    std::string basePath;  // the folder, with its final separator, and the name
    std::int32_t storageType = 0;
    std::string extension;   // ".tkw" for type 0, ".iso" for type 1, none for another type
    std::string backupFile;  // base path and extension; the bare name for an unknown type
};

BackupTarget ResolveBackupTarget(std::string folder, const std::string& name,
                                 std::int32_t storageType);

// The target of the stored folder, name and storage type, read as they are.
BackupTarget StoredBackupTarget();

// Makes the folder a new backup file goes into when it is missing, with every missing folder above
// it, readable only by their owner; a log line names each folder made. False, with errno set,
// when a folder cannot be made (the backup file's creation then fails and says why).
bool MakeBackupFolder(const std::filesystem::path& folder);

}  // namespace tkw
