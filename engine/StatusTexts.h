#pragma once

#include <optional>
#include <string>

#include "engine/BackupRestoreManager.h"

namespace tkw {

// The texts of the status dialogs and of the restore worker's checks, shared by the GUI and the
// command-line tool.

std::string BackupStatusCaption(int result);
// "%u items were added to the backup\n%u deleted\n%u skipped " (the last line ends in a blank).
std::string BackupStatusText(const BackupCounters& counters);

std::string RestoreStatusCaption(int result);
// "%d overwritten files\n%d skipped files\n%d succeeded files\n%d failed files".
std::string RestoreStatusText(const RestoreCounters& counters);

// Why a restore cannot start, with the icon of its message box; nothing when it can.
struct RestoreRefusal {
    std::string message;
    IEngineHost::Icon icon;
};
std::optional<RestoreRefusal> CheckRestoreCanStart(bool backupLoaded, bool anythingTicked);

}  // namespace tkw
