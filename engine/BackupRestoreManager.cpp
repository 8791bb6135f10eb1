#include "engine/BackupRestoreManager.h"

#include <fcntl.h>
#include <unistd.h>

#include "components/utils/UniqueFd.h"
#include "components/utils/Volumes.h"
#include "engine/HeadlessHost.h"

namespace tkw {

namespace {

IEngineHost& HeadlessHostInstance() {
    static CHeadlessHost host;
    return host;
}

bool SyncFolder(const std::filesystem::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Valid() && ::fsync(fd.Get()) == 0;
}

bool SyncFileSystem(int fd, const std::filesystem::path& /*folder*/) {
    return ::syncfs(fd) == 0;
}

}  // namespace

CBackupRestoreManager::CBackupRestoreManager()
    : m_host(&HeadlessHostInstance()),
      m_freeSpace(MyGetDiskFreeSpaceExHelper),
      m_syncFolder(SyncFolder),
      m_syncFileSystem(SyncFileSystem) {}

CBackupRestoreManager::~CBackupRestoreManager() = default;

void CBackupRestoreManager::SetHost(IEngineHost* host) {
    m_host = host != nullptr ? host : &HeadlessHostInstance();
}

void CBackupRestoreManager::SetFreeSpaceQuery(FreeSpaceQuery query) {
    m_freeSpace = query ? std::move(query) : FreeSpaceQuery(MyGetDiskFreeSpaceExHelper);
}

void CBackupRestoreManager::SetFolderSync(FolderSync sync) {
    m_syncFolder = sync ? std::move(sync) : FolderSync(SyncFolder);
}

void CBackupRestoreManager::SetFileSystemSync(FileSystemSync sync) {
    m_syncFileSystem = sync ? std::move(sync) : FileSystemSync(SyncFileSystem);
}

}  // namespace tkw
