#include "engine/StatusTexts.h"

#include "components/utils/StringUtils.h"

namespace tkw {

std::string BackupStatusCaption(int result) {
    switch (result) {
        case CBackupRestoreManager::kFinished:
            return "Backup succeeded!";
        case CBackupRestoreManager::kCancelled:
            return "Backup was cancelled!";
        default:
            return "Backup Status";
    }
}

std::string BackupStatusText(const BackupCounters& counters) {
    return UintToString(counters.added) + " items were added to the backup\n" +
           UintToString(counters.deleted) + " deleted\n" + UintToString(counters.skipped) +
           " skipped ";
}

std::string RestoreStatusCaption(int result) {
    switch (result) {
        case CBackupRestoreManager::kFinished:
            return "Restore succeeded!";
        case CBackupRestoreManager::kCancelled:
            return "Restore was canceled!";
        case CBackupRestoreManager::kFailed:
            return "Restore failed!";
        default:
            return "Restore Status";
    }
}

std::string RestoreStatusText(const RestoreCounters& counters) {
    return IntToString(counters.overwritten) + " overwritten files\n" +
           IntToString(counters.skipped) + " skipped files\n" + IntToString(counters.succeeded) +
           " succeeded files\n" + IntToString(counters.failed) + " failed files";
}

std::optional<RestoreRefusal> CheckRestoreCanStart(bool backupLoaded, bool anythingTicked) {
    if (!backupLoaded) {
        return RestoreRefusal{"Before restore files you must load a backup file!",
                              IEngineHost::Icon::None};
    }
    if (!anythingTicked) {
        return RestoreRefusal{"You must select the files and folders before running restore",
                              IEngineHost::Icon::Information};
    }
    return std::nullopt;
}

}  // namespace tkw
