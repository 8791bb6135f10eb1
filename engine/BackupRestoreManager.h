#pragma once

#include "engine/OperationManager.h"

namespace tkw {

// The engine: owns the open backup and runs backup, load and restore. The application object embeds
// exactly one; the front ends reach it through the application.
class CBackupRestoreManager : public COperationManager {
public:
    CBackupRestoreManager() = default;
    ~CBackupRestoreManager() override;
    CBackupRestoreManager(const CBackupRestoreManager&) = delete;
    CBackupRestoreManager& operator=(const CBackupRestoreManager&) = delete;
};

}  // namespace tkw
