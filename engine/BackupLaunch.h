#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "engine/BackupRestoreManager.h"

namespace tkw {

// The body of the Run backup command: the target from the settings, the prompt for a backup file
// that exists (append, overwrite, or a new location), the run, and the status dialog. `selection`
// reads the ticked items again each time the body starts over.
// Returns the run's result, or nothing when the launch was abandoned before the run.
std::optional<int> LaunchBackup(
    CBackupRestoreManager& engine,
    const std::function<std::vector<std::filesystem::path>()>& selection, BackupCounters& counters);

// Deletes a backup file for the prompt's Overwrite answer, with its log line. A file another
// program holds (another Tarnwick writing it) is not deleted.
void OverwriteBackupFile(CBackupRestoreManager& engine, const std::filesystem::path& backupFile);

}  // namespace tkw
