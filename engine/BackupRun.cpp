// The backup run: the selection becomes items of the open backup, file by file, each decision a
// log line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>

#include "components/utils/FolderEntries.h"
#include "components/utils/LocalTime.h"
#include "components/utils/ReportError.h"
#include "components/utils/StringUtils.h"
#include "components/utils/UniqueFd.h"
#include "components/utils/Volumes.h"
#include "engine/Abandon.h"
#include "engine/BackupRestoreManager.h"
#include "engine/BackupTarget.h"
#include "engine/BackupTurns.h"
#include "engine/ExclusiveOpen.h"
#include "engine/OperationEdge.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {
namespace fs = std::filesystem;
namespace {

// Kernel file systems hold no files worth keeping, and some never end (/proc/kcore, say). They
// are recognised by the type of the open folder (IsOnPseudoFileSystem); devtmpfs shares its type
// with tmpfs and is known by its mount point instead.
bool IsDeviceFileSystem(const std::string& type) {
    return type == "devtmpfs";
}

bool IsRealDirectory(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool LiesOnPseudoFileSystem(const fs::path& path) {
    const UniqueFd fd(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    return fd.Valid() && IsOnPseudoFileSystem(fd.Get());
}

// Whether a folder's entries can have paths too long for the ordinary path calls.
bool EntriesNeedDescriptor(const fs::path& folder) {
    return folder.native().size() + 1 + NAME_MAX >= PATH_MAX;
}

}  // namespace

// The state of one backup run.
class CBackupRestoreManager::Run {
public:
    explicit Run(BackupCounters& counters) : counters(counters) {}

    void FindDeviceMounts() {
        for (const MountEntry& mount : ReadMountTable()) {
            if (IsDeviceFileSystem(mount.fileSystemType)) {
                pseudoMounts.insert(mount.mountPoint.lexically_normal());
            }
        }
    }

    BackupCounters& counters;
    std::optional<CBackupTurns> ahead;  // from the moment the backup file is open
    bool turnFailed = false;            // a turn threw: the turns after it are not taken
    std::set<fs::path> pseudoMounts;    // devtmpfs mounts
    bool progressOpen = false;
    std::string backupFile;  // named in the line of a backup file that could not be created
    int itemsAtStart = 0;    // items the backup file held before this run
};

int CBackupRestoreManager::RunBackup(const std::string& basePath, int storageType,
                                     const std::vector<fs::path>& selection,
                                     BackupCounters& counters, bool append) {
    const CLogSyncAtEnd logSync;
    counters = {};
    m_lastError.clear();
    Run run(counters);
    int result = kFinished;
    try {
        WriteTimedLine(" Backup started ...");
        run.FindDeviceMounts();
        if (GetProfileInt(profile::kBackupPromptDontShowAgain) == 0 &&
            !m_host->ShowBackupPrompt()) {
            throw CAbandon{kAbandonCancelled};
        }
        m_host->OpenProgress("Running backup ...", IEngineHost::kProgressBackup);
        run.progressOpen = true;
        if (!(append && m_archive)) {
            OpenBackupTarget(run, basePath, storageType, append);
        }
        if (!m_archive->IsWritable()) {
            // Readable for a restore, but nothing can be added to it.
            run.backupFile = m_archive->GetZipFileName().native();
            m_lastError = run.backupFile + " can be read but not written";
            throw CAbandon{kAbandonNotCreated};
        }
        run.itemsAtStart = m_archive->GetNrOfFiles();
        m_archive->SetCancelCheck([this] { return m_host->HasUserCancelled(); });
        run.ahead.emplace(CWorkerPool::DefaultThreads(),
                          [this](const fs::path& path, const fs::path& access) {
                              return ExamineFile(path, access);
                          });
        try {
            for (const fs::path& entry : selection) {
                if (IsRealDirectory(entry)) {
                    BackupFolder(run, entry, true);
                } else if (LiesOnPseudoFileSystem(entry)) {
                    QueueLeaveOut(run, entry);
                } else {
                    BackupFile(run, entry, entry);
                }
            }
        } catch (const CAbandon&) {
            throw;
        } catch (...) {
            // The walk failed at a file: the files judged before it still take their turns, as
            // they would have, had they not been read ahead. A turn that failed stops the run.
            if (!run.turnFailed) {
                TakeAllTurns(run);
            }
            throw;
        }
        TakeAllTurns(run);
        WriteTimedLine(" Backup finished!");
    } catch (const CAbandon& abandon) {
        if (abandon.code == kAbandonNotCreated) {
            WriteTimedLine(" Failed to create backup file " + run.backupFile + " !");
            result = kFailed;
        } else {
            WriteTimedLine(" Backup was cancelled!");
            result = kCancelled;
        }
    } catch (...) {
        m_lastError = ReportOperationFailure("Backup");
        result = kFailed;
    }
    // Steps walked but not taken are dropped unseen: the log, the tree and the counters tell only
    // what was done.
    run.ahead.reset();
    // Whatever the outcome, what was added is indexed and on the disk when the run ends.
    if (m_archive) {
        m_archive->SetCancelCheck({});
        if (m_archive->Flush() == 0) {
            ReportError("Cannot write the backup file: " + m_archive->GetLastError(), 0);
            result = kFailed;
        }
    }
    if (run.progressOpen) {
        m_host->CloseProgress();
    }
    return result;
}

void CBackupRestoreManager::OpenBackupTarget(Run& run, const std::string& basePath, int storageType,
                                             bool append) {
    if (storageType != 0) {
        run.backupFile = storageType == 1 ? basePath + ".iso" : basePath;
        m_lastError = "only .tkw backup files can be written";
        throw CAbandon{kAbandonNotCreated};
    }
    UnloadBackupFile();
    run.backupFile = basePath + ".tkw";

    auto archive = std::make_unique<CZipEx>();
    // Appending to a file that holds no items (and so was not kept loaded) opens it again; a new
    // backup file is never made over an existing one.
    struct stat status {};
    const bool reuse = append && ::stat(run.backupFile.c_str(), &status) == 0;
    const fs::path folder = fs::path(run.backupFile).parent_path();
    if (!reuse && !MakeBackupFolder(folder)) {
        m_lastError = "cannot make the folder " + folder.native() + ": " + SystemErrorText(errno);
        throw CAbandon{kAbandonNotCreated};
    }
    if ((reuse ? archive->Open(run.backupFile) : archive->CreateZip(run.backupFile)) == 0) {
        // Nothing stays loaded: an archive that is not open would count as a loaded one.
        m_lastError = archive->GetLastError();
        throw CAbandon{kAbandonNotCreated};
    }
    m_archive = std::move(archive);
}

void CBackupRestoreManager::LeaveOut(BackupCounters& counters, const fs::path& path,
                                     const std::string& reason) {
    const std::string& text = path.native();
    m_host->SetProgressLine("Skipping file " + text + " ...");
    WriteTimedLine(" Skipped--File " + INTRE_GHILIMELE(text) + reason);
    ++counters.skipped;
    ++counters.leftOut;
}

void CBackupRestoreManager::QueueLeaveOut(Run& run, const fs::path& path) {
    BackupTurn turn;
    turn.path = path;
    BackupCounters counted;
    {
        CLineCapture capture;
        LeaveOut(counted, path, " because the file cannot be accessed!");
        turn.lines = capture.Take();
    }
    turn.skipped = counted.skipped;
    turn.leftOut = counted.leftOut;
    Enqueue(run, std::move(turn));
}

void CBackupRestoreManager::Enqueue(Run& run, BackupTurn turn) {
    run.ahead->Push(std::move(turn));
    // The walk stays as far ahead as it may: the workers then always have files to check and
    // pack, while this thread takes one turn for each step it walks.
    if (run.ahead->Full()) {
        TakeTurn(run, run.ahead->Take());
    }
}

void CBackupRestoreManager::BackupFolder(Run& run, const fs::path& folder, bool named) {
    UniqueFd fd = OpenFolder(folder);
    if (!fd.Valid()) {
        return QueueLeaveOut(run, folder);
    }
    if (IsOnPseudoFileSystem(fd.Get()) || run.pseudoMounts.count(folder.lexically_normal()) != 0) {
        // The walk passes such folders by; one the user named is reported as left out.
        if (named) {
            QueueLeaveOut(run, folder);
        }
        return;
    }
    // The entries are taken in the order the file system gives them; sub-folders are walked
    // first, depth first, then the folder's own files.
    const auto entries = ReadFolderEntries(fd.Get());
    if (!entries) {
        return QueueLeaveOut(run, folder);
    }
    fd.Reset();  // one descriptor at a time, however deep the walk goes
    std::vector<std::string> files;
    for (const FolderEntry& entry : *entries) {
        if (entry.isFolder) {
            BackupFolder(run, folder / entry.name, false);
        } else {
            files.push_back(entry.name);
        }
    }
    // Paths too long for the ordinary calls are reached through the open folder instead.
    const bool throughDescriptor = EntriesNeedDescriptor(folder) && !files.empty();
    if (throughDescriptor) {
        fd = OpenFolder(folder);
    }
    for (const std::string& name : files) {
        const fs::path path = folder / name;
        BackupFile(run, path, throughDescriptor ? PathThroughDescriptor(fd.Get(), name) : path);
    }
    // Files reached through the open folder are done with before it is closed: its number may be
    // given to another folder.
    if (throughDescriptor) {
        TakeAllTurns(run);
    }
}

void CBackupRestoreManager::BackupFile(Run& run, const fs::path& path, const fs::path& access) {
    BackupTurn turn;
    turn.isFile = true;
    turn.path = path;
    turn.access = access;
    if (run.ahead->IsWaiting(path.native())) {
        turn.judgeAtTurn = true;
    } else {
        run.ahead->Judge(turn);
    }
    Enqueue(run, std::move(turn));
}

void CBackupRestoreManager::TakeAllTurns(Run& run) {
    while (!run.ahead->Empty()) {
        TakeTurn(run, run.ahead->Take());
    }
}

void CBackupRestoreManager::TakeTurn(Run& run, BackupTurn turn) {
    run.turnFailed = true;  // until the turn is done
    DoTurn(run, std::move(turn));
    run.turnFailed = false;
}

void CBackupRestoreManager::DoTurn(Run& run, BackupTurn turn) {
    if (!turn.isFile) {
        CLineCapture::Release(turn.lines);
        run.counters.skipped += turn.skipped;
        run.counters.leftOut += turn.leftOut;
        return;
    }
    if (m_host->HasUserCancelled()) {
        throw CAbandon{kAbandonCancelled};
    }
    FileVerdict verdict =
        turn.judgeAtTurn ? ExamineFile(turn.path, turn.access) : CBackupTurns::Verdict(turn);
    verdict.opened = {};  // stored from its path at its turn
    struct Held {
        CBackupTurns& turns;
        const FileVerdict& verdict;
        ~Held() { turns.Release(verdict); }
    } held{*run.ahead, verdict};
    if (const auto size = JudgeFile(run, turn.path, verdict)) {
        StoreFile(run, turn.path, turn.access, *size, std::move(verdict.packed));
    }
}

// Safe on any thread: it reads the file system and the settings, and keeps the lines it writes.
FileVerdict CBackupRestoreManager::ExamineFile(const fs::path& path, const fs::path& access) const {
    FileVerdict verdict;
    struct stat status {};
    if (::lstat(access.c_str(), &status) != 0) {
        verdict.statError = errno;
        return verdict;
    }
    // Only regular files and links become items; devices, FIFOs and sockets cannot be read as
    // files.
    verdict.readable = S_ISREG(status.st_mode) || S_ISLNK(status.st_mode);
    verdict.size = static_cast<std::uint64_t>(status.st_size);
    if (verdict.readable) {
        CLineCapture capture;
        verdict.filtered = m_filters.IsExcludedByFilters(path, access, &verdict.opened);
        verdict.lines = capture.Take();
    }
    return verdict;
}

std::optional<std::uint64_t> CBackupRestoreManager::JudgeFile(Run& run, const fs::path& path,
                                                              const FileVerdict& verdict) {
    BackupCounters& counters = run.counters;
    const std::string& text = path.native();
    const auto skip = [&](const std::string& reason) -> std::optional<std::uint64_t> {
        m_host->SetProgressLine("Skipping file " + text + " ...");
        WriteTimedLine(" Skipped--File " + INTRE_GHILIMELE(text) + reason);
        ++counters.skipped;
        return std::nullopt;
    };
    const auto leaveOut = [&](const std::string& reason) -> std::optional<std::uint64_t> {
        LeaveOut(counters, path, reason);
        return std::nullopt;
    };

    if (verdict.statError != 0) {
        if (verdict.statError == ENOENT && m_archive->FindZipItem(text) >= run.itemsAtStart) {
            // Named twice and already stored (and deleted) by this run: not left out.
            return skip(" because the file not exists!");
        }
        return leaveOut(verdict.statError == ENOENT ? " because the file not exists!"
                                                    : " because the file cannot be accessed!");
    }
    if (!verdict.readable) {
        return leaveOut(" because the file cannot be accessed!");
    }
    CLineCapture::Release(verdict.lines);
    if (verdict.filtered) {
        return skip(" by filters!");
    }
    m_host->SetProgressLine("Adding file " + text);
    if (m_archive->FindZipItem(text) != -1) {
        return skip(" because a file with the same name and path already exists in backup!");
    }
    return verdict.size;
}

void CBackupRestoreManager::StoreFile(Run& run, const fs::path& path, const fs::path& access,
                                      std::uint64_t size,
                                      std::optional<archive::PackedItem> packed) {
    BackupCounters& counters = run.counters;
    const std::string& text = path.native();
    const std::string quoted = INTRE_GHILIMELE(text);
    // Sources are only read: a read-only volume (a snapshot, a mounted image) is backed up like
    // any other. The room is judged as the file is stored, with every file before it in place.
    const double freeBytes = static_cast<double>(m_freeSpace(m_archive->GetZipFileName()));
    if (static_cast<double>(size) + kFreeSpaceReserve > freeBytes) {
        WriteTimedLine(" Skipped--File " + quoted +
                       "! The file cannot be written because you have not enough free space!");
        ++counters.skipped;
        ++counters.leftOut;
        return;
    }
    if (m_archive->IsRepairPending()) {
        LogRepair();
    }
    const int added =
        packed ? m_archive->AddPacked(std::move(*packed)) : m_archive->AddFile(access, text);
    if (added == 0) {
        if (m_archive->WasCancelled()) {
            throw CAbandon{kAbandonCancelled};
        }
        WriteTimedLine(" Failed--File " + quoted);
        ++counters.failed;
        return;
    }
    ShowAddedItem(path);
    WriteTimedLine(" Succeeded--File " + quoted);
    ++counters.added;
    const bool changed = m_archive->LastItemChangedWhileRead();
    if (changed) {
        WriteTimedLine(" Warning--File " + quoted +
                       " changed while it was read; the backup holds the bytes that were read!");
        ++counters.changed;
    }
    if (GetProfileInt(profile::kDeleteOriginalFilesAfterBackup) != 0) {
        DeleteOriginal(run, path, access, m_archive->GetNrOfFiles() - 1, changed);
    }
}

// Appending repairs a backup file that was cut short: what is cut off or written anew is said.
void CBackupRestoreManager::LogRepair() {
    const CZipEx::RecoveryReport& recovery = m_archive->GetRecoveryReport();
    const std::string file = m_archive->GetZipFileName().native();
    if (recovery.headerMissing) {
        WriteTimedLine(" Warning--The backup file " + file +
                       " held no complete header and no files; it is written afresh!");
    } else {
        WriteTimedLine(" Warning--The backup file " + file +
                       " was not closed properly; its damaged end of " +
                       Int64ToString(static_cast<std::int64_t>(recovery.bytesCutOnAppend)) +
                       " bytes is cut off before files are added!");
    }
}

void CBackupRestoreManager::ShowAddedItem(const fs::path& path) {
    auto image = m_host->AppendItemIcon(path.native());
    if (!image) {
        ReportError("Cannot add file to file list!", errno);
        image = m_host->LastImagePosition();
    }
    const IEngineHost::NodeId node = m_host->AddItemPath(path.native(), *image, *image);
    m_host->SetItemData(node, m_archive->GetNrOfFiles() - 1);
}

void CBackupRestoreManager::DeleteOriginal(Run& run, const fs::path& path, const fs::path& access,
                                           int index, bool changed) {
    const std::string inUse = " Cannot delete file-- " + path.native() +
                              " ! The file might be used in other application !";
    struct stat status {};
    if (::lstat(access.c_str(), &status) != 0) {
        WriteTimedLine(" Cannot delete file-- " + path.native() + " ! The file not exists.");
        return;
    }
    // The original goes only once its copy is on the disk and reads back intact, and only when
    // the copy is the whole file: one that changed while it was read is being written to.
    if (changed || m_archive->SyncData() == 0 || m_archive->VerifyItem(index) == 0) {
        WriteTimedLine(inUse);
        return;
    }
    // Deleted only while this program holds it: a file another program holds a lock on, or one
    // that cannot even be opened, is in use.
    const FileClaim claim = ClaimFile(access);
    if (claim.use == FileUse::InUse) {
        WriteTimedLine(inUse);
        return;
    }
    if (::unlink(access.c_str()) == 0 || errno == ENOENT) {
        WriteTimedLine(" Deleted file-- " + path.native() + " .");
        ++run.counters.deleted;
    } else {
        WriteTimedLine(inUse);
    }
}

}  // namespace tkw
