#include "engine/BackupRestoreManager.h"

#include "components/utils/Volumes.h"
#include "engine/HeadlessHost.h"

namespace tkw {

namespace {

IEngineHost& HeadlessHostInstance() {
    static CHeadlessHost host;
    return host;
}

}  // namespace

CBackupRestoreManager::CBackupRestoreManager()
    : m_host(&HeadlessHostInstance()), m_freeSpace(MyGetDiskFreeSpaceExHelper) {}

CBackupRestoreManager::~CBackupRestoreManager() = default;

void CBackupRestoreManager::SetHost(IEngineHost* host) {
    m_host = host != nullptr ? host : &HeadlessHostInstance();
}

void CBackupRestoreManager::SetFreeSpaceQuery(FreeSpaceQuery query) {
    m_freeSpace = query ? std::move(query) : FreeSpaceQuery(MyGetDiskFreeSpaceExHelper);
}

}  // namespace tkw
