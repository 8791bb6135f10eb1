// The restore run: ticked items of the loaded backup back to disk, each decision a log line.
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <unordered_map>

#include "components/archive/Extraction.h"
#include "components/archive/SafeNames.h"
#include "components/utils/LocalTime.h"
#include "components/utils/ReportError.h"
#include "components/utils/StringUtils.h"
#include "components/utils/Volumes.h"
#include "engine/Abandon.h"
#include "engine/BackupRestoreManager.h"
#include "engine/ExclusiveOpen.h"
#include "engine/FileSystemSyncs.h"
#include "engine/OperationEdge.h"
#include "engine/RestoreAhead.h"
#include "shell/logger/Logger.h"

namespace tkw {
namespace fs = std::filesystem;
namespace {

constexpr auto kFolderMessageWait = std::chrono::milliseconds(5000);
constexpr auto kFirstFileExistsWait = std::chrono::milliseconds(4000);

// Whether files can be made in a folder, given the folder (or, when it does not exist yet, its
// nearest existing ancestor): its volume is mounted for writing and it lets us create entries.
bool CanWriteInExisting(const fs::path& existing) {
    return VolumeIsReadOnly(existing) == false && ::access(existing.c_str(), W_OK) == 0;
}

bool CanWriteIn(const fs::path& folder) {
    return CanWriteInExisting(NearestExistingAncestor(folder));
}

// Whether deleting the file at `path` would succeed, without deleting it: the old file stays
// until a complete new one replaces it.
bool CouldDelete(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return errno == ENOENT;
    }
    if (S_ISDIR(status.st_mode) || !CanWriteIn(path.parent_path())) {
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        return true;  // a link or a special file is replaced as an entry of its folder
    }
    // Held by another program, unreadable, or protected against change: in use.
    const FileClaim claim = ClaimFile(path);
    if (claim.use != FileUse::Free) {
        return claim.use == FileUse::Gone;
    }
    int flags = 0;
    return claim.file.isLink || ::ioctl(claim.file.fd.Get(), FS_IOC_GETFLAGS, &flags) != 0 ||
           (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) == 0;
}

// A name as the archive stores it: an absolute path with no "." or ".." component.
bool IsPlainAbsoluteName(const std::string& name) {
    return !name.empty() && name[0] == '/' && archive::IsNameSafeUnderFolder(name);
}

}  // namespace

// Free bytes are asked once per folder and counted down by what is written there: asking the
// system for every one of thousands of small files costs more than writing them.
constexpr int kItemsPerFreeSpaceAnswer = 256;

// New small files wait for the sync of their file system; it is started on the side each time this
// much of their data waits, so that the disk writes while the run works.
constexpr std::uint64_t kBytesBetweenFileSystemSyncs = 64u << 20;

class CBackupRestoreManager::RestoreRun {
public:
    RestoreRun(RestoreCounters& counters, const IRestoreOptions& options,
               const CFileSystemSyncs::Sync& syncFileSystem)
        : counters(counters),
          options(options),
          fileSystems(syncFileSystem, kBytesBetweenFileSystemSyncs) {}

    RestoreCounters& counters;
    const IRestoreOptions& options;
    bool askedBefore = false;  // the first file-exists prompt of a run waits first
    // The folders that received an item, synced with their parents before the run ends.
    std::set<fs::path> foldersWritten;
    // Those that received a new small file left to the sync of its file system
    // (NeedsFileSystemSync); large new files are synced by the archive (SyncExtracted).
    std::set<fs::path> foldersToSync;
    // Items come folder by folder: a folder is looked up in the sets once, not per item, and
    // folders are compared as the text of their targets (FolderOf).
    std::string lastFolderWritten;  // the last entered in foldersWritten
    std::string lastFolderToSync;   // the last entered in foldersToSync for that folder
    CFileSystemSyncs fileSystems;   // of the folders written to, for the sync of new small files
    // For names asked for more than once: the newest copy asked for, the one that is restored.
    std::unordered_map<std::string, int> newestCopy;
    // Small new files written on other threads ahead of their turn; null when every item is
    // written at its turn.
    std::unique_ptr<CRestoreAhead> ahead;
    bool settling = false;  // taking back what was written ahead: nothing more is queued
    // Whether the last folder checked can be written in, and whether it was missing then; items
    // come folder by folder.
    std::string checkedFolder;
    bool checkedWritable = false;
    bool checkedMissing = false;
    std::string checkedExisting;  // the folder, or its nearest existing ancestor when missing
    // The free bytes of the folder last asked, less what was written there since.
    std::string spaceFolder;
    double spaceLeft = 0;
    int spaceAnswerUses = 0;
};

namespace {

// The newest index asked for of every name asked for more than once.
std::unordered_map<std::string, int> NewestCopies(const CZipEx& archive,
                                                  const std::vector<int>& indexes) {
    std::unordered_map<std::string, int> newest;
    // The archive's own names, not copies: the run asks for tens of thousands.
    std::unordered_map<std::string_view, int> seen;
    seen.reserve(indexes.size());
    for (const int index : indexes) {
        const archive::ItemInfo* item = archive.GetItemInfo(index);
        const auto [place, added] = seen.emplace(
            item != nullptr ? std::string_view(item->name) : std::string_view(), index);
        if (!added) {
            place->second = std::max(place->second, index);
            newest[std::string(place->first)] = place->second;
        }
    }
    return newest;
}

}  // namespace

int CBackupRestoreManager::RestoreItems(const std::vector<int>& indexes, RestoreCounters& counters,
                                        const IRestoreOptions& options) {
    const CLogSyncAtEnd logSync;
    counters = {};
    m_lastError.clear();
    if (!m_archive) {
        WriteTimedLine(" Restore failed!");
        return kFailed;
    }
    bool progressOpen = false;
    std::unique_ptr<RestoreRun> made;
    try {
        made = std::make_unique<RestoreRun>(counters, options, m_syncFileSystem);
    } catch (...) {
        m_lastError = ReportOperationFailure("Restore");
        return kFailed;
    }
    RestoreRun& run = *made;
    try {
        WriteTimedLine(" Restore started ...");
        run.newestCopy = NewestCopies(*m_archive, indexes);
        if (!options.PromptSwitchedOff() && !m_host->ShowRestorePrompt()) {
            throw CAbandon{kAbandonCancelled};
        }
        m_host->OpenProgress("Running restore ...", IEngineHost::kProgressModal);
        progressOpen = true;
        StartWritingAhead(run);
        for (const int index : indexes) {
            if (m_host->HasUserCancelled()) {
                throw CAbandon{kAbandonCancelled};
            }
            m_host->SetProgress(static_cast<std::uint64_t>(std::max(index, 0)),
                                static_cast<std::uint64_t>(m_archive->GetNrOfFiles()));
            RestoreItem(run, index);
        }
        SettleAhead(run);
        if (!SyncFoldersWritten(run)) {
            m_host->CloseProgress();
            return kFailed;
        }
    } catch (const CAbandon&) {
        AbandonAhead(run);
        if (progressOpen) {
            m_host->CloseProgress();
        }
        m_archive->SyncExtracted();  // the run is not reported finished either way
        WriteTimedLine(" User has cancelled.");
        return kCancelled;
    } catch (...) {
        AbandonAhead(run);
        if (progressOpen) {
            m_host->CloseProgress();
        }
        m_lastError = ReportOperationFailure("Restore");
        m_archive->SyncExtracted();
        return kFailed;
    }
    m_host->CloseProgress();
    WriteTimedLine(" Restore finished!");
    return kFinished;
}

// A restored file that replaced another was on the disk before it took its name; a new one is once
// the syncs below are done. Names (and the folders a restore made) are on the disk once the
// folders holding them are synced too, each on its own or with its whole file system.
bool CBackupRestoreManager::SyncFoldersWritten(RestoreRun& run) {
    std::set<fs::path> folders;
    for (fs::path folder : run.foldersWritten) {
        while (folders.insert(folder).second && folder.has_relative_path()) {
            folder = folder.parent_path();
        }
    }
    // New files were named before their data reached the disk: the large ones were being synced
    // while the run went on, and each file system written to is synced once for the small ones,
    // before the folders that hold their names.
    if (m_archive->SyncExtracted() == 0) {
        m_lastError = m_archive->GetLastError();
        WriteTimedLine(" Restore failed: " + m_lastError + "!");
        return false;
    }
    std::set<dev_t> fileSystems;  // those synced
    for (const fs::path& folder : run.foldersToSync) {
        struct stat status {};
        if (::stat(folder.c_str(), &status) != 0 || !fileSystems.insert(status.st_dev).second) {
            continue;
        }
        if (!run.fileSystems.SyncNow(folder, status.st_dev)) {
            m_lastError = "cannot flush the files written below " + folder.native() + ": " +
                          SystemErrorText(errno);
            WriteTimedLine(" Restore failed: " + m_lastError + "!");
            return false;
        }
    }
    for (const fs::path& folder : folders) {
        // A folder on a file system synced above is on the disk with it.
        struct stat status {};
        if (::stat(folder.c_str(), &status) == 0 && fileSystems.count(status.st_dev) != 0) {
            continue;
        }
        if (!m_syncFolder(folder)) {
            m_lastError =
                "cannot flush the folder " + folder.native() + ": " + SystemErrorText(errno);
            WriteTimedLine(" Restore failed: " + m_lastError + "!");
            return false;
        }
    }
    return true;
}

std::optional<std::string> CBackupRestoreManager::RestoreTarget(RestoreRun& run, int index,
                                                                std::string& folder) {
    const std::string name = m_archive->GetItemFileName(index);
    switch (run.options.Mode()) {
        case IRestoreOptions::kOriginalPaths:
            return name;
        case IRestoreOptions::kUnderFolder:
            break;
        default:
            return std::string();  // no target: the drive test skips the item
    }
    folder = run.options.Folder();
    while (folder.empty()) {
        SettleAhead(run);
        m_host->Wait(kFolderMessageWait);
        m_host->ShowMessage("You must select the restore folder!", IEngineHost::Icon::None,
                            IEngineHost::Buttons::Ok);
        // Used for this item only: while no folder is stored, every item asks again.
        folder = m_host->BrowseForFolder("Select the restore folder!");
    }
    ENSURE_SLASH(folder);
    struct stat status {};
    while (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        SettleAhead(run);
        m_host->Wait(kFolderMessageWait);
        const auto answer =
            m_host->ShowMessage("The folder " + folder + " does not exists!",
                                IEngineHost::Icon::None, IEngineHost::Buttons::AbortRetryIgnore);
        if (answer == IEngineHost::Answer::Abort) {
            throw CAbandon{kAbandonCancelled};
        }
        if (answer == IEngineHost::Answer::Ignore) {
            return std::nullopt;
        }
        if (answer != IEngineHost::Answer::Retry) {
            break;
        }
    }
    // The item's folders are recreated below the chosen folder: /home/a/doc.txt restored under
    // /srv/restore goes to /srv/restore/home/a/doc.txt.
    const std::size_t first = name.find_first_not_of('/');
    return folder + (first == std::string::npos ? std::string() : name.substr(first));
}

bool CBackupRestoreManager::WriteItem(RestoreRun& run, int index, const fs::path& target,
                                      bool underFolder, const std::string& folder) {
    // Below a chosen folder the archive refuses names that would leave it; at the original paths
    // a name must be a plain absolute path.
    const bool written = underFolder ? m_archive->GetItemFileUnder(index, folder) != 0
                                     : IsPlainAbsoluteName(m_archive->GetItemFileName(index)) &&
                                           m_archive->GetItemFile(index, target) != 0;
    if (written) {
        NoteWritten(run, index, target.native());
        TakeSpace(run, FolderOf(target.native()), m_archive->GetItemFileSize(index));
    }
    return written;
}

// Without threads (the system refuses them, say) every item is written in turn.
void CBackupRestoreManager::StartWritingAhead(RestoreRun& run) noexcept {
    try {
        run.ahead = std::make_unique<CRestoreAhead>(*m_archive, CWorkerPool::DefaultThreads());
        if (!run.ahead->Usable()) {
            run.ahead.reset();
        }
    } catch (...) {
        run.ahead.reset();
    }
}

void CBackupRestoreManager::NoteWritten(RestoreRun& run, int index, const std::string& target) {
    const std::string_view folderWritten = FolderOf(target);
    if (folderWritten != run.lastFolderWritten) {
        run.foldersWritten.emplace(folderWritten);
        run.lastFolderWritten = folderWritten;
        run.lastFolderToSync.clear();
    }
    const archive::ItemInfo& item = *m_archive->GetItemInfo(index);
    if (!archive::NeedsFileSystemSync(item)) {
        return;
    }
    if (folderWritten != run.lastFolderToSync) {
        run.foldersToSync.emplace(folderWritten);
        run.lastFolderToSync = folderWritten;
    }
    run.fileSystems.Wrote(item.size);
}

bool CBackupRestoreManager::CanQueueAhead(const RestoreRun& run, int index,
                                          const std::string& folder) const {
    if (!run.ahead || run.settling) {
        return false;
    }
    const archive::ItemInfo* item = m_archive->GetItemInfo(index);
    const bool plainName = folder.empty() ? IsPlainAbsoluteName(item->name)
                                          : CZipEx::IsNameSafeUnderFolder(item->name);
    return archive::NeedsFileSystemSync(*item) && plainName;
}

// The item's path meets no queued one: RestoreItem settled the queue before its checks otherwise.
void CBackupRestoreManager::QueueAhead(RestoreRun& run, int index, const std::string& target,
                                       const std::string& folder) {
    const archive::ItemInfo* item = m_archive->GetItemInfo(index);
    if (run.ahead->Full()) {
        run.ahead->MakeRoom();
        SettleAhead(run, true);
    }
    run.ahead->Queue({index, target, folder, item->size});
    TakeSpace(run, FolderOf(target), item->size);
    if (run.ahead->OldestBatchDone()) {
        SettleAhead(run, true);  // the lines of the items written meanwhile go out now
    }
}

void CBackupRestoreManager::SettleAhead(RestoreRun& run, bool onlyWritten) {
    if (!run.ahead || run.settling) {
        return;
    }
    if (!onlyWritten) {
        run.ahead->HandOverRest();
    }
    // Only while nothing is being settled: an item judged again here writes in turn.
    run.settling = true;
    const struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{run.settling};
    // The lines of the items taken back together are written together, before anything else.
    CTimedLines lines;
    while (!run.ahead->Empty() && (!onlyWritten || run.ahead->OldestDone())) {
        auto [item, outcome] = run.ahead->TakeOldest();
        if (outcome == CRestoreAhead::Outcome::kWritten) {
            LogWrittenAhead(run, item, lines);
        } else {
            // Its name was taken meanwhile, or the write failed: judged again at its turn from
            // the test for an existing file on, and written in turn, which also tells why it
            // failed.
            lines.Write();
            PlaceItem(run, item.index, item.target, item.folder);
        }
    }
}

void CBackupRestoreManager::LogWrittenAhead(RestoreRun& run, const CRestoreAhead::Item& item,
                                            CTimedLines& lines) {
    NoteWritten(run, item.index, item.target);
    ++run.counters.succeeded;
    lines.Add(" Succeeded--File " + INTRE_GHILIMELE(item.target));
}

// After a cancel or a failure: the items judged before it are written, as they would have been in
// turn, and get their lines. One whose name was taken meanwhile cannot be judged again now; it is
// left as it is, without a line.
void CBackupRestoreManager::AbandonAhead(RestoreRun& run) noexcept {
    if (!run.ahead) {
        return;
    }
    try {
        CTimedLines lines;
        for (const auto& [item, outcome] : run.ahead->TakeAll()) {
            if (outcome == CRestoreAhead::Outcome::kWritten) {
                LogWrittenAhead(run, item, lines);
            } else if (outcome == CRestoreAhead::Outcome::kFailed) {
                ++run.counters.failed;
                lines.Add(" Failed--File " + INTRE_GHILIMELE(item.target));
            }
        }
    } catch (...) {
        // A line that cannot be written changes nothing on the disk.
    }
    run.ahead.reset();
}

bool CBackupRestoreManager::CanWriteInFolder(RestoreRun& run, std::string_view folder) {
    if (folder != run.checkedFolder || run.checkedFolder.empty()) {
        run.checkedFolder = folder;
        const fs::path existing = NearestExistingAncestor(run.checkedFolder);
        run.checkedExisting = existing.native();
        run.checkedWritable = CanWriteInExisting(existing);
        if (run.checkedWritable) {
            run.fileSystems.Open(existing);  // before anything is written there
        }
        std::error_code error;
        run.checkedMissing =
            existing != fs::absolute(run.checkedFolder, error).lexically_normal() || error;
    }
    return run.checkedWritable;
}

bool CBackupRestoreManager::HasRoomFor(RestoreRun& run, std::string_view folder,
                                       std::uint64_t size) {
    if (folder != run.spaceFolder || run.spaceFolder.empty() ||
        run.spaceAnswerUses >= kItemsPerFreeSpaceAnswer) {
        run.spaceFolder = folder;
        // A missing folder has the free space of its nearest existing ancestor, which the
        // writable test has just found.
        const bool missing = folder == run.checkedFolder && run.checkedMissing;
        // Less what the files written ahead will take: they may not be on the disk yet.
        run.spaceLeft =
            static_cast<double>(m_freeSpace(missing ? run.checkedExisting : run.spaceFolder)) -
            static_cast<double>(run.ahead ? run.ahead->QueuedBytes() : 0);
        run.spaceAnswerUses = 0;
    }
    ++run.spaceAnswerUses;
    return static_cast<double>(size) + kFreeSpaceReserve <= run.spaceLeft;
}

void CBackupRestoreManager::TakeSpace(RestoreRun& run, std::string_view folder,
                                      std::uint64_t size) {
    if (folder == run.spaceFolder) {
        run.spaceLeft -= static_cast<double>(SpaceTaken(size));
    }
}

void CBackupRestoreManager::RestoreItem(RestoreRun& run, int index) {
    RestoreCounters& counters = run.counters;
    // Of a name stored more than once only the newest copy asked for is written; the older ones
    // are accounted for, not silently dropped or written over it.
    if (!run.newestCopy.empty()) {
        const std::string name = m_archive->GetItemFileName(index);
        const auto newest = run.newestCopy.find(name);
        if (newest != run.newestCopy.end() && newest->second != index) {
            SettleAhead(run);
            WriteTimedLine(" Skipped--File " + INTRE_GHILIMELE(name) +
                           " because a newer copy with the same name and path is restored!");
            ++counters.skipped;
            return;
        }
    }
    std::string folder;
    const auto targetText = RestoreTarget(run, index, folder);
    if (!targetText) {
        return;  // passed over at the missing-folder message: no counter, no line
    }
    const std::string_view targetFolder = FolderOf(*targetText);
    // A queued file at this path, above or below it is put in place before the checks look
    // there, as it would have been written in turn.
    if (run.ahead && !run.ahead->Fits(*targetText)) {
        SettleAhead(run);
    }
    if (targetText->empty() || !CanWriteInFolder(run, targetFolder)) {
        const std::string quoted = INTRE_GHILIMELE(*targetText);
        SettleAhead(run);
        const std::string drive =
            targetText->empty() ? std::string() : GetDriveOfPath(*targetText).native();
        WriteTimedLine(" Skipped--File " + quoted + " ! The file cannot be written on " + drive +
                       " drive !");
        ++counters.skipped;
        ++counters.leftOut;
        return;
    }
    // Asked of the folder: the target itself is mostly not there yet.
    if (!HasRoomFor(run, targetFolder, m_archive->GetItemFileSize(index))) {
        SettleAhead(run);
        WriteTimedLine(" Skipped--File " + INTRE_GHILIMELE(*targetText) +
                       " ! The file cannot be written because you have not enough free space!");
        ++counters.skipped;
        ++counters.leftOut;
        return;
    }
    PlaceItem(run, index, *targetText, folder, run.checkedMissing);
}

// The rest of an item's judgement, from the test for an existing file on: also where an item
// written ahead that could not be written is judged again, with the target it was given.
void CBackupRestoreManager::PlaceItem(RestoreRun& run, int index, const std::string& targetText,
                                      const std::string& folder, bool folderWasMissing) {
    RestoreCounters& counters = run.counters;
    const bool underFolder = !folder.empty();
    // In a folder that was missing when the run came to it only this run's items can be found,
    // and a file written ahead finds a taken name itself, to be judged again from here: such a
    // file is not looked for first.
    const bool goesAhead = CanQueueAhead(run, index, folder);
    const bool surelyNew = folderWasMissing && goesAhead;
    struct stat status {};
    if (!surelyNew && ::lstat(targetText.c_str(), &status) == 0) {
        SettleAhead(run);
        switch (run.options.ExistingFilePolicy()) {
            case IRestoreOptions::kOverwrite:
                OverwriteExistingFile(run, targetText, index, underFolder, folder);
                return;
            case IRestoreOptions::kSkip:
                WriteTimedLine(" Skipped--File " + INTRE_GHILIMELE(targetText) +
                               "! The file already exists on the same path.");
                ++counters.skipped;
                return;
            case IRestoreOptions::kAsk: {
                if (!run.askedBefore) {
                    m_host->Wait(kFirstFileExistsWait);
                    run.askedBefore = true;
                }
                switch (m_host->AskFileExists("The file " + targetText + " already exists!")) {
                    case IEngineHost::FileExistsAnswer::Overwrite:
                        OverwriteExistingFile(run, targetText, index, underFolder, folder);
                        return;
                    case IEngineHost::FileExistsAnswer::Skip:
                        ++counters.skipped;
                        WriteTimedLine(" Skipped--File " + INTRE_GHILIMELE(targetText));
                        return;
                    case IEngineHost::FileExistsAnswer::NoChoice:
                        // Enter on the check box: no choice was made, so nothing is done.
                        return;
                    case IEngineHost::FileExistsAnswer::Cancelled:
                        throw CAbandon{kAbandonCancelled};
                }
                return;
            }
            default:
                return;  // an unknown policy passes the item over
        }
    }
    m_host->SetProgressLine("Writting file " + targetText);
    if (goesAhead) {
        QueueAhead(run, index, targetText, folder);
        return;  // its line is written when it is taken back, in turn
    }
    SettleAhead(run);
    const bool ok = WriteItem(run, index, targetText, underFolder, folder);
    (ok ? counters.succeeded : counters.failed) += 1;
    WriteTimedLine(std::string(" ") + (ok ? "Succeeded" : "Failed") + "--File " +
                   INTRE_GHILIMELE(targetText));
}

bool CBackupRestoreManager::OverwriteExistingFile(RestoreRun& run, const fs::path& target,
                                                  int index, bool underFolder,
                                                  const std::string& folder) {
    RestoreCounters& counters = run.counters;
    const std::string quoted = INTRE_GHILIMELE(target.native());
    // The old file is not deleted first: it is replaced only by a complete, verified new one.
    // What would have stopped its deletion stops the overwrite the same way.
    if (!CouldDelete(target)) {
        ++counters.failed;
        WriteTimedLine(" Overwritten failed--File " + quoted +
                       " cannot be deleted. Might be used by other application!");
        return false;
    }
    m_host->SetProgressLine("Overwriting file " + target.native());
    const bool ok = WriteItem(run, index, target, underFolder, folder);
    (ok ? counters.overwritten : counters.failed) += 1;
    WriteTimedLine(std::string(" Overwritten ") + (ok ? "succeeded" : "failed") + "--File " +
                   quoted);
    return true;
}

}  // namespace tkw
