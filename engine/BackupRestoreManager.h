#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "components/archive/ZipEx.h"
#include "engine/BackupFilters.h"
#include "engine/EngineHost.h"
#include "engine/OperationManager.h"

namespace tkw {

// What a backup run did, file by file.
struct BackupCounters {
    std::uint32_t added = 0;
    std::uint32_t skipped = 0;
    std::uint32_t failed = 0;
    std::uint32_t deleted = 0;
};

// The engine: owns the open backup (a backup is loaded exactly when it holds an archive) and runs
// backup, load and restore on the calling thread, reaching windows only through the host. Every
// decision about a file becomes one log line.
class CBackupRestoreManager : public COperationManager {
public:
    // Result codes of a run.
    static constexpr int kFinished = 0;
    static constexpr int kCancelled = 1;
    static constexpr int kFailed = 2;

    // Room a backup volume must keep beyond each file's size: 150 MiB.
    static constexpr double kFreeSpaceReserve = 150.0 * 1024 * 1024;

    using FreeSpaceQuery = std::function<std::uint64_t(const std::filesystem::path&)>;

    CBackupRestoreManager();
    ~CBackupRestoreManager() override;
    CBackupRestoreManager(const CBackupRestoreManager&) = delete;
    CBackupRestoreManager& operator=(const CBackupRestoreManager&) = delete;

    // The host must outlive the engine's operations; without one the engine asks nobody and shows
    // nothing.
    void SetHost(IEngineHost* host);
    IEngineHost& Host() { return *m_host; }
    // Replaces the query for a volume's free bytes (tests give exact boundaries).
    void SetFreeSpaceQuery(FreeSpaceQuery query);
    void SetFilters(CBackupFilters filters);

    // Adds the selection to a new backup file (base path + ".tkw") or, when `append` is set and a
    // backup is open, to the open one.
    int RunBackup(const std::string& basePath, int storageType,
                  const std::vector<std::filesystem::path>& selection, BackupCounters& counters,
                  bool append);

    // Opens a backup file and lists its items into the loaded-backup tree. True when the caller
    // may go on (also for a backup without items, after which nothing is loaded).
    bool LoadBackupFile(const std::filesystem::path& path);
    void UnloadBackupFile();
    // The New backup command: unloads, and logs which file was unloaded.
    void NewBackup();

    bool IsBackupLoaded() const { return m_archive != nullptr; }
    CZipEx* LoadedArchive() { return m_archive.get(); }

private:
    class Run;
    void BackupFolder(Run& run, const std::filesystem::path& folder);
    void BackupFile(Run& run, const std::filesystem::path& path);
    void ShowAddedItem(const std::filesystem::path& path);
    void DeleteOriginal(Run& run, const std::filesystem::path& path, int index);
    void LoadItems(CZipEx& archive);
    void LogLoadedInformation(CZipEx& archive);

    IEngineHost* m_host;
    std::unique_ptr<CZipEx> m_archive;
    CBackupFilters m_filters;
    FreeSpaceQuery m_freeSpace;
};

}  // namespace tkw
