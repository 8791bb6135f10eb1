#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "components/archive/PackedItem.h"
#include "components/archive/ZipEx.h"
#include "engine/BackupFilters.h"
#include "engine/EngineHost.h"
#include "engine/RestoreAhead.h"
#include "engine/RestoreOptions.h"

namespace tkw {

class CTimedLines;
struct BackupTurn;
struct FileVerdict;

// What a restore run did, item by item.
struct RestoreCounters {
    std::int32_t overwritten = 0;
    std::int32_t skipped = 0;
    std::int32_t succeeded = 0;
    std::int32_t failed = 0;
    // Of the skipped, those left out against the user's wish (the target cannot be written, or
    // there was no room), as opposed to the policy for existing files the user chose.
    std::int32_t leftOut = 0;
};

// What a backup run did, file by file.
struct BackupCounters {
    std::uint32_t added = 0;
    std::uint32_t skipped = 0;
    std::uint32_t failed = 0;
    std::uint32_t deleted = 0;
    // Of the skipped, those left out against the user's wish (they could not be read, or there
    // was no room), as opposed to the filters and duplicates the user asked for.
    std::uint32_t leftOut = 0;
    // Of the added, those that changed while they were read.
    std::uint32_t changed = 0;
};

// The engine: owns the open backup (a backup is loaded exactly when it holds an archive) and runs
// backup, load and restore on the calling thread, reaching windows only through the host. Every
// decision about a file becomes one log line.
class CBackupRestoreManager {
public:
    // Result codes of a run.
    static constexpr int kFinished = 0;
    static constexpr int kCancelled = 1;
    static constexpr int kFailed = 2;

    // Room a backup volume must keep beyond each file's size: 150 MiB.
    static constexpr double kFreeSpaceReserve = 150.0 * 1024 * 1024;

    using FreeSpaceQuery = std::function<std::uint64_t(const std::filesystem::path&)>;
    // Puts a folder's entries on the disk; false, with errno set, when it cannot.
    using FolderSync = std::function<bool(const std::filesystem::path&)>;

    CBackupRestoreManager();
    ~CBackupRestoreManager();
    CBackupRestoreManager(const CBackupRestoreManager&) = delete;
    CBackupRestoreManager& operator=(const CBackupRestoreManager&) = delete;

    // The host must outlive the engine's operations; without one the engine asks nobody and shows
    // nothing.
    void SetHost(IEngineHost* host);
    IEngineHost& Host() { return *m_host; }
    // Replaces the query for a volume's free bytes (tests give exact boundaries).
    void SetFreeSpaceQuery(FreeSpaceQuery query);
    // Replaces how a restore syncs the folders it wrote to (tests watch or fail it).
    void SetFolderSync(FolderSync sync);
    // Puts a whole file system on the disk through `fd`, a folder on it opened before the run
    // wrote there; false, with errno set, when it cannot.
    using FileSystemSync = std::function<bool(int fd, const std::filesystem::path& folder)>;
    // Replaces how a restore puts the data of the new files on the disk (tests watch or fail it).
    void SetFileSystemSync(FileSystemSync sync);

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

    // Writes the listed items of the loaded backup back to disk, to their own paths or below a
    // chosen folder, with the policy for files that exist. Result 0 (the end was reached),
    // 1 (cancelled) or 2 (no backup loaded).
    int RestoreItems(const std::vector<int>& indexes, RestoreCounters& counters,
                     const IRestoreOptions& options = CStoredRestoreOptions());
    bool IsBackupLoaded() const { return m_archive != nullptr; }
    // Why the last backup run could not create or open its backup file for writing, or the last
    // load could not open one; empty when it could. (A failed index write is reported at once.)
    const std::string& LastError() const { return m_lastError; }
    CZipEx* LoadedArchive() { return m_archive.get(); }

private:
    class Run;
    void OpenBackupTarget(Run& run, const std::string& basePath, int storageType, bool append);
    // `named`: the user ticked this folder itself, rather than the walk meeting it.
    void BackupFolder(Run& run, const std::filesystem::path& folder, bool named);
    // `access` reaches the file at `path` (they differ for paths too long for the path calls).
    void BackupFile(Run& run, const std::filesystem::path& path,
                    const std::filesystem::path& access);
    void Enqueue(Run& run, BackupTurn turn);
    void TakeTurn(Run& run, BackupTurn turn);
    void DoTurn(Run& run, BackupTurn turn);
    void TakeAllTurns(Run& run);
    // The checks of a file that need neither the backup file nor the host.
    FileVerdict ExamineFile(const std::filesystem::path& path,
                            const std::filesystem::path& access) const;
    // All checks of a file at its turn, each refusal a line: its size when it is to be stored.
    std::optional<std::uint64_t> JudgeFile(Run& run, const std::filesystem::path& path,
                                           const FileVerdict& verdict);
    // Stores a file the checks accepted, packed ahead or read now, and does what follows.
    void StoreFile(Run& run, const std::filesystem::path& path, const std::filesystem::path& access,
                   std::uint64_t size, std::optional<archive::PackedItem> packed);
    void LeaveOut(BackupCounters& counters, const std::filesystem::path& path,
                  const std::string& reason);
    // A folder (or a named entry on a kernel file system) left out, as a step of the walk.
    void QueueLeaveOut(Run& run, const std::filesystem::path& path);
    void LogRepair();
    void ShowAddedItem(const std::filesystem::path& path);
    void DeleteOriginal(Run& run, const std::filesystem::path& path,
                        const std::filesystem::path& access, int index, bool changed);
    void LoadItems(CZipEx& archive);
    class RestoreRun;
    void RestoreItem(RestoreRun& run, int index);
    void PlaceItem(RestoreRun& run, int index, const std::string& targetText,
                   const std::string& folder, bool folderWasMissing = false);
    // Where an item goes: nothing when the user passed it over at the missing-folder message.
    std::optional<std::string> RestoreTarget(RestoreRun& run, int index, std::string& folder);
    bool WriteItem(RestoreRun& run, int index, const std::filesystem::path& target,
                   bool underFolder, const std::string& folder);
    // Replaces an existing file by the item. False when the existing file cannot be deleted; true
    // when the item was written or writing it was attempted. The old file survives a failed
    // attempt.
    bool OverwriteExistingFile(RestoreRun& run, const std::filesystem::path& target, int index,
                               bool underFolder, const std::string& folder);
    bool SyncFoldersWritten(RestoreRun& run);
    // Keeps the folder sets of a written item.
    void NoteWritten(RestoreRun& run, int index, const std::string& target);
    void StartWritingAhead(RestoreRun& run) noexcept;
    // Whether the item is a small file the threads that write ahead may take now.
    bool CanQueueAhead(const RestoreRun& run, int index, const std::string& folder) const;
    // Hands a small new file that CanQueueAhead let go to the threads that write ahead.
    void QueueAhead(RestoreRun& run, int index, const std::string& target,
                    const std::string& folder);
    // Takes back the items written ahead, in order, each with its line (or judged again when it
    // could not be written); with `onlyWritten`, only as many as are done already.
    void SettleAhead(RestoreRun& run, bool onlyWritten = false);
    void LogWrittenAhead(RestoreRun& run, const CRestoreAhead::Item& item, CTimedLines& lines);
    void AbandonAhead(RestoreRun& run) noexcept;
    bool CanWriteInFolder(RestoreRun& run, std::string_view folder);
    bool HasRoomFor(RestoreRun& run, std::string_view folder, std::uint64_t size);
    // Counts the bytes of a file written into the folder off its free bytes.
    void TakeSpace(RestoreRun& run, std::string_view folder, std::uint64_t size);
    void LogLoadedInformation(CZipEx& archive);

    IEngineHost* m_host;
    std::unique_ptr<CZipEx> m_archive;
    CBackupFilters m_filters;
    FreeSpaceQuery m_freeSpace;
    FolderSync m_syncFolder;
    FileSystemSync m_syncFileSystem;
    std::string m_lastError;
};

}  // namespace tkw
