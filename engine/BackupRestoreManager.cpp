#include "engine/BackupRestoreManager.h"

namespace tkw {

CBackupRestoreManager::~CBackupRestoreManager() = default;

}  // namespace tkw
