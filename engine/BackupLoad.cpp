// Loading a backup file into the loaded-backup tree, and unloading it.
#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "components/utils/LocalTime.h"
#include "components/utils/ReportError.h"
#include "components/utils/StringUtils.h"
#include "engine/Abandon.h"
#include "engine/BackupRestoreManager.h"
#include "engine/OperationEdge.h"
#include "shell/logger/Logger.h"

namespace tkw {
namespace fs = std::filesystem;
namespace {

const std::string kSeparator(342, '-');

// The C locale's date and time: month/day/two-digit year and a 24-hour clock. Empty when the time
// cannot be shown in local time.
std::string CreationTimeText(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    char text[128];
    if (::localtime_r(&time, &local) == nullptr ||
        std::strftime(text, sizeof text, "%m/%d/%y %H:%M:%S", &local) == 0) {
        return {};
    }
    return text;
}

}  // namespace

bool CBackupRestoreManager::LoadBackupFile(const fs::path& path) {
    const CLogSyncAtEnd logSync;
    UnloadBackupFile();
    m_lastError.clear();
    try {
        m_host->OpenProgress("Loading backup ...", IEngineHost::kProgressModal);
        WriteTimedLine(" Loading backup file " + path.native() + " ...");
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            m_lastError = path.native() + " does not exist";
            throw CAbandon{kAbandonNotFound};
        }
        auto archive = std::make_unique<CZipEx>();
        if (archive->Open(path) == 0) {
            // The unopened archive is released: a backup counts as loaded only when it can be
            // read.
            m_lastError = archive->GetLastError();
            throw CAbandon{kAbandonCannotOpen};
        }
        m_archive = std::move(archive);
        if (m_archive->GetNrOfFiles() == 0) {
            throw CAbandon{kAbandonEmptyBackup};
        }
        LoadItems(*m_archive);
        m_host->RedrawTree();
        LogLoadedInformation(*m_archive);
        m_host->CloseProgress();
        return true;
    } catch (const CAbandon& abandon) {
        m_host->CloseProgress();
        switch (abandon.code) {
            case kAbandonNotFound:
                WriteTimedLine(" Failed--Backup file not exists!");
                return false;
            case kAbandonCannotOpen:
                WriteTimedLine(" Failed--Cannot open file!");
                return false;
            case kAbandonEmptyBackup:
                m_host->ShowMessage("The existing backup file does not contain anything!",
                                    IEngineHost::Icon::None, IEngineHost::Buttons::Ok);
                UnloadBackupFile();
                return true;
            default:
                WriteTimedLine(" User has cancelled.");
                UnloadBackupFile();
                return false;
        }
    } catch (...) {
        m_host->CloseProgress();
        m_lastError = ReportOperationFailure("Loading the backup file");
        UnloadBackupFile();
        return false;
    }
}

void CBackupRestoreManager::LoadItems(CZipEx& archive) {
    for (int i = 0; i < archive.GetNrOfFiles(); ++i) {
        if (m_host->HasUserCancelled()) {
            throw CAbandon{kAbandonCancelled};
        }
        m_host->SetProgress(static_cast<std::uint64_t>(i),
                            static_cast<std::uint64_t>(archive.GetNrOfFiles()));
        m_host->SetProgressTitle("Searching in backup file ...");
        const std::string name = archive.GetItemFileName(i);
        m_host->SetProgressLine("Found " + name);
        const auto image = m_host->AppendItemIcon(name);
        if (!image) {
            ReportError("Cannot add file to file list!", errno);
            continue;
        }
        m_host->SetItemData(m_host->AddItemPath(name, *image, *image), i);
    }
}

void CBackupRestoreManager::LogLoadedInformation(CZipEx& archive) {
    const CZipEx::RecoveryReport& recovery = archive.GetRecoveryReport();
    if (recovery.FoundDamage()) {
        // The user must learn that the file is damaged or was cut short.
        const std::string what = recovery.index == CZipEx::IndexState::kDamaged
                                     ? "The index of the backup file is damaged"
                                     : "The backup file was not closed properly";
        WriteTimedLine(" Warning--" + what + "; " +
                       UintToString(static_cast<std::uint32_t>(recovery.completeItems)) +
                       " complete files were found and the damaged rest was left out!");
    }
    WriteTimedLine(" Succeeded");
    WriteUntimedLine(kSeparator);
    WriteUntimedLine("Loaded backup file information");
    WriteUntimedLine("Backup filename : " + archive.GetZipFileName().native());
    WriteUntimedLine("Backup file size : " +
                     Int64ToString(static_cast<std::int64_t>(archive.GetZipFileSizeEx())) +
                     " bytes");
    WriteUntimedLine("Creation time : " + CreationTimeText(archive.GetZipCreationTime()));
    WriteUntimedLine("Number of files in backup : " +
                     UintToString(static_cast<std::uint32_t>(archive.GetNrOfFiles())));
    WriteUntimedLine(kSeparator);
}

void CBackupRestoreManager::UnloadBackupFile() {
    m_archive.reset();  // closing writes the index of an archive that was added to
    m_host->ResetTree();
    m_host->RedrawTree();
}

void CBackupRestoreManager::NewBackup() {
    const bool wasLoaded = IsBackupLoaded();
    const std::string name = wasLoaded ? m_archive->GetZipFileName().native() : std::string();
    UnloadBackupFile();
    if (wasLoaded) {
        WriteTimedLine(" Succeeded--Unload backup file " + name);
    }
}

}  // namespace tkw
