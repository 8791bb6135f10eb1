// The backup run: the selection becomes items of the open backup, file by file, each decision a
// log line.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/logger/Logger.h"
#include "app/profile/ProfileKeys.h"
#include "components/utils/FolderEntries.h"
#include "components/utils/LocalTime.h"
#include "components/utils/ReportError.h"
#include "components/utils/StringUtils.h"
#include "components/utils/UniqueFd.h"
#include "components/utils/Volumes.h"
#include "engine/Abandon.h"
#include "engine/BackupRestoreManager.h"

namespace tkw {
namespace fs = std::filesystem;
namespace {

// Kernel file systems hold no files worth keeping, and some never end (/proc/kcore, say).
bool IsPseudoFileSystem(const std::string& type) {
    static const std::set<std::string> kTypes = {
        "proc",    "sysfs",       "devtmpfs", "devpts", "cgroup",     "cgroup2", "debugfs",
        "tracefs", "securityfs",  "pstore",   "bpf",    "configfs",   "fusectl", "hugetlbfs",
        "mqueue",  "binfmt_misc", "efivarfs", "autofs", "rpc_pipefs", "nsfs"};
    return kTypes.count(type) != 0;
}

bool IsRealDirectory(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

// The state of one backup run.
class CBackupRestoreManager::Run {
public:
    explicit Run(BackupCounters& counters) : counters(counters) {
        for (const MountEntry& mount : ReadMountTable()) {
            if (IsPseudoFileSystem(mount.fileSystemType)) {
                pseudoMounts.insert(mount.mountPoint.lexically_normal());
            }
        }
    }

    BackupCounters& counters;
    std::set<fs::path> pseudoMounts;
    bool progressOpen = false;
    std::string backupFile;  // named in the line of a backup file that could not be created
};

int CBackupRestoreManager::RunBackup(const std::string& basePath, int storageType,
                                     const std::vector<fs::path>& selection,
                                     BackupCounters& counters, bool append) {
    counters = {};
    WriteTimedLine(" Backup started ...");
    Run run(counters);
    int result = kFinished;
    try {
        if (GetProfileInt(profile::kBackupPromptDontShowAgain) == 0 &&
            !m_host->ShowBackupPrompt()) {
            throw CAbandon{kAbandonCancelled};
        }
        m_host->OpenProgress("Running backup ...", IEngineHost::kProgressBackup);
        run.progressOpen = true;
        if (!(append && m_archive)) {
            if (storageType != 0) {
                run.backupFile = storageType == 1 ? basePath + ".iso" : basePath;
                throw CAbandon{kAbandonNotCreated};
            }
            UnloadBackupFile();
            run.backupFile = basePath + ".tkw";
            auto archive = std::make_unique<CZipEx>();
            if (archive->CreateZip(run.backupFile) == 0) {
                // Nothing stays loaded: an archive that is not open would count as a loaded one.
                throw CAbandon{kAbandonNotCreated};
            }
            m_archive = std::move(archive);
        }
        for (const fs::path& entry : selection) {
            if (IsRealDirectory(entry)) {
                BackupFolder(run, entry);
            } else {
                BackupFile(run, entry);
            }
        }
        WriteTimedLine(" Backup finished!");
    } catch (const CAbandon& abandon) {
        if (abandon.code == kAbandonNotCreated) {
            WriteTimedLine(" Failed to create backup file " + run.backupFile + " !");
            result = kFailed;
        } else {
            WriteTimedLine(" Backup was cancelled!");
            result = kCancelled;
        }
    }
    // Whatever the outcome, what was added is indexed and on the disk when the run ends.
    if (m_archive && m_archive->Flush() == 0) {
        ReportError("Cannot write the backup file: " + m_archive->GetLastError(), 0);
    }
    if (run.progressOpen) {
        m_host->CloseProgress();
    }
    return result;
}

void CBackupRestoreManager::BackupFolder(Run& run, const fs::path& folder) {
    if (run.pseudoMounts.count(folder.lexically_normal()) != 0) {
        return;
    }
    // The entries are taken in the order the file system gives them; sub-folders are walked
    // first, depth first, then the folder's own files.
    const auto entries = ReadFolderEntries(folder);
    if (!entries) {
        return;  // a folder that cannot be listed contributes nothing
    }
    std::vector<fs::path> folders;
    std::vector<fs::path> files;
    for (const FolderEntry& entry : *entries) {
        (entry.isFolder ? folders : files).push_back(folder / entry.name);
    }
    for (const fs::path& subfolder : folders) {
        BackupFolder(run, subfolder);
    }
    for (const fs::path& file : files) {
        BackupFile(run, file);
    }
}

void CBackupRestoreManager::BackupFile(Run& run, const fs::path& path) {
    BackupCounters& counters = run.counters;
    const std::string& text = path.native();
    const std::string quoted = INTRE_GHILIMELE(text);
    const auto skip = [&](const std::string& reason) {
        m_host->SetProgressLine("Skipping file " + text + " ...");
        WriteTimedLine(" Skipped--File " + quoted + reason);
        ++counters.skipped;
    };

    if (m_host->HasUserCancelled()) {
        throw CAbandon{kAbandonCancelled};
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return skip(errno == ENOENT ? " because the file not exists!"
                                    : " because the file cannot be accessed!");
    }
    // Only regular files and links become items; devices, FIFOs and sockets cannot be read as
    // files.
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
        return skip(" because the file cannot be accessed!");
    }
    if (m_filters.IsExcludedByFilters(path)) {
        return skip(" by filters!");
    }
    m_host->SetProgressLine("Adding file " + text);
    if (m_archive->FindZipItem(text) != -1) {
        return skip(" because a file with the same name and path already exists in backup!");
    }
    // As on Windows, where the test looks at the drive's read-only attribute and not at who may
    // write to it: a volume mounted read-only fails, whoever runs the backup.
    if (VolumeIsReadOnly(path).value_or(false)) {
        WriteTimedLine(" Skipped--File " + quoted + " ! You cannot write files on " +
                       GetDriveOfPath(path).native() + " drive !");
        ++counters.skipped;
        return;
    }
    const double freeBytes = static_cast<double>(m_freeSpace(m_archive->GetZipFileName()));
    if (static_cast<double>(status.st_size) + kFreeSpaceReserve > freeBytes) {
        WriteTimedLine(" Skipped--File " + quoted +
                       "! The file cannot be written because you have not enough free space!");
        ++counters.skipped;
        return;
    }
    if (m_archive->AddFile(path, text) == 0) {
        WriteTimedLine(" Failed--File " + quoted);
        ++counters.failed;
        return;
    }
    ShowAddedItem(path);
    WriteTimedLine(" Succeeded--File " + quoted);
    ++counters.added;
    if (GetProfileInt(profile::kDeleteOriginalFilesAfterBackup) != 0) {
        DeleteOriginal(run, path, m_archive->GetNrOfFiles() - 1);
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

void CBackupRestoreManager::DeleteOriginal(Run& run, const fs::path& path, int index) {
    const std::string inUse = " Cannot delete file-- " + path.native() +
                              " ! The file might be used in other application !";
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        WriteTimedLine(" Cannot delete file-- " + path.native() + " ! The file not exists.");
        return;
    }
    // The original goes only once its copy is on the disk and reads back intact.
    if (m_archive->SyncData() == 0 || m_archive->VerifyItem(index) == 0) {
        WriteTimedLine(inUse);
        return;
    }
    // A file another program holds a lock on is in use, as one held open is on Windows.
    if (S_ISREG(status.st_mode)) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd.Valid() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            WriteTimedLine(inUse);
            return;
        }
    }
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
        WriteTimedLine(" Deleted file-- " + path.native() + " .");
        ++run.counters.deleted;
    } else {
        WriteTimedLine(inUse);
    }
}

}  // namespace tkw
