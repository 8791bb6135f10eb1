#include "shell/logger/Logger.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "BuildInfo.h"

#include "components/utils/LocalTime.h"
#include "components/utils/ProcessInfo.h"
#include "components/utils/ReportError.h"
#include "components/utils/TextEncoding.h"
#include "components/utils/UserFolders.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {
namespace {

std::mutex g_stateMutex;  // guards the sink and the environment, never held while calling out
std::shared_ptr<const LogSink> g_sink;
LogEnvironment g_environment;
LogDataSync g_dataSync;

// Serialises this process's own appends: without it two threads logging at the same instant would
// find each other's lock and lose a line.
std::mutex g_fileMutex;
std::filesystem::path g_lastFile;  // the file of the last append, guarded by g_fileMutex
// The log folder the last line went to, guarded by g_fileMutex. Choosing it asks the file system
// twice; a line that cannot be appended there has the folder chosen again.
std::optional<std::filesystem::path> g_lastFolder;

std::filesystem::path ChooseLogFolder();

// Another Tarnwick process (the GUI and the command-line tool) may hold the lock for the few
// microseconds of its own append; a program that keeps holding it makes this call fail.
constexpr int kLockAttempts = 20;
constexpr auto kLockRetryWait = std::chrono::milliseconds(1);

// Asked with the effective user id, the one that will open the files.
bool CanCreateIn(const std::filesystem::path& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string WithoutLineBreaks(const std::string& text) {
    std::string entry;
    entry.reserve(text.size());
    for (const char c : text) {
        if (c != '\r' && c != '\n') {
            entry.push_back(c);
        }
    }
    return entry;
}

void ShowInOutputPane(const std::string& text) {
    std::shared_ptr<const LogSink> sink;
    {
        std::lock_guard lock(g_stateMutex);
        sink = g_sink;
    }
    if (sink && *sink) {
        (*sink)(WithoutLineBreaks(text));
    }
}

LocalDateTime Today() {
    std::function<LocalDateTime()> clock;
    {
        std::lock_guard lock(g_stateMutex);
        clock = g_environment.clock;
    }
    return clock ? clock() : NowLocal();
}

bool LockForAppending(int fd) {
    for (int attempt = 1;; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK || attempt == kLockAttempts) {
            return false;
        }
        std::this_thread::sleep_for(kLockRetryWait);
    }
}

int OpenForAppending(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Appends converted messages to the day's file named `fileName`. One write(2) per call hands the
// bytes to the kernel, which is what survives a crash of the program; a sync to the disk per line
// would cost two hundred times as much. A failure is told once for each message it cost.
void AppendToDayFile(const std::string& fileName, std::string_view bytes, std::size_t messages) {
    const auto report = [messages](const char* text, int error) {
        for (std::size_t i = 0; i < messages; ++i) {
            ReportError(text, error);
        }
    };

    std::lock_guard lock(g_fileMutex);
    std::filesystem::path folder;
    std::filesystem::path file;
    int fd = -1;
    if (g_lastFolder) {
        folder = *g_lastFolder;
        file = folder / fileName;
        fd = OpenForAppending(file);
    }
    if (fd < 0) {
        g_lastFolder.reset();
        folder = ChooseLogFolder();
        file = folder / fileName;
        fd = OpenForAppending(file);
    }
    if (fd < 0 && errno == ENOENT) {
        CreateLogFolder(folder);  // the first line ever; a failure shows up as the open's
        fd = OpenForAppending(file);
    }
    if (fd < 0) {
        report("Cannot open log file!", errno);
        return;
    }
    if (!LockForAppending(fd)) {
        const int error = errno;
        ::close(fd);
        report("Cannot open log file!", error);
        return;
    }
    if (!WriteAll(fd, bytes)) {
        report("Cannot write log file", errno);
    }
    g_lastFile = file;
    g_lastFolder = folder;
    // Closing is where a file system reports write-back it could not do.
    if (::close(fd) != 0) {
        report("Cannot flush log file", errno);
    }
}

}  // namespace

void CLogger::Write(std::string text) const {
    Write(std::vector<std::string>{std::move(text)});
}

void CLogger::Write(const std::vector<std::string>& texts) const {
    std::string fileName;  // of the messages gathered in `bytes`
    std::string bytes;
    std::size_t gathered = 0;
    for (const std::string& text : texts) {
        ShowInOutputPane(text);
        const bool createLogFile = GetProfileInt(profile::kCreateLogFile) != 0;
        const std::string converted = ToWindows1252(text);
        if (!createLogFile) {
            continue;
        }
        std::string day = LogFileName(Today());
        if (gathered != 0 && day != fileName) {
            AppendToDayFile(fileName, bytes, gathered);
            bytes.clear();
            gathered = 0;
        }
        fileName = std::move(day);
        bytes += converted;
        ++gathered;
    }
    if (gathered != 0) {
        AppendToDayFile(fileName, bytes, gathered);
    }
}

namespace {
thread_local CLineCapture* t_capture = nullptr;
}  // namespace

// Keeps the line in this thread's capture, when there is one.
bool CaptureLine(bool timed, std::string_view text) {
    if (t_capture == nullptr) {
        return false;
    }
    t_capture->m_lines.push_back({timed, std::string(text)});
    return true;
}

CLineCapture::CLineCapture() : m_outer(std::exchange(t_capture, this)) {}

CLineCapture::~CLineCapture() {
    t_capture = m_outer;
}

void CLineCapture::Release(const std::vector<Line>& lines) {
    if (t_capture != nullptr) {
        for (const Line& line : lines) {
            CaptureLine(line.timed, line.text);
        }
        return;
    }
    std::vector<std::string> texts;
    texts.reserve(lines.size());
    for (const Line& line : lines) {
        texts.push_back((line.timed ? GetTimeAsString() : std::string()) + line.text + "\r\n");
    }
    static const CLogger logger;
    logger.Write(texts);
}

CTimedLines::~CTimedLines() {
    try {
        Write();
    } catch (...) {
        // A line that cannot be written changes nothing in the work it tells of.
    }
}

void CTimedLines::Add(std::string_view text) {
    if (!CaptureLine(true, text)) {
        m_texts.push_back(GetTimeAsString() + std::string(text) + "\r\n");
    }
}

void CTimedLines::Write() {
    if (m_texts.empty()) {
        return;
    }
    static const CLogger logger;
    logger.Write(std::exchange(m_texts, {}));
}

void WriteTimedLine(std::string_view text) {
    if (CaptureLine(true, text)) {
        return;
    }
    static const CLogger logger;
    logger.Write(GetTimeAsString() + std::string(text) + "\r\n");
}

void WriteUntimedLine(std::string_view text) {
    if (CaptureLine(false, text)) {
        return;
    }
    static const CLogger logger;
    logger.Write(std::string(text) + "\r\n");
}

void SyncLogFile() noexcept {
    try {
        std::function<int(int)> dataSync;
        {
            std::lock_guard lock(g_stateMutex);
            dataSync = g_dataSync;
        }
        std::lock_guard lock(g_fileMutex);
        if (g_lastFile.empty()) {
            return;
        }
        const int fd = ::open(g_lastFile.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            return;  // gone, or the folder was changed: nothing of ours to sync
        }
        if ((dataSync ? dataSync(fd) : ::fdatasync(fd)) != 0) {
            ReportError("Cannot flush log file", errno);
        }
        ::close(fd);
    } catch (...) {
        // A sync that cannot even start changes nothing in what the run did.
    }
}

LogSink SetLogSink(LogSink sink) {
    auto next = sink ? std::make_shared<const LogSink>(std::move(sink)) : nullptr;
    std::lock_guard lock(g_stateMutex);
    auto previous = std::exchange(g_sink, std::move(next));
    return previous ? *previous : LogSink();
}

// Parents made here are private to the user, as the state folder should be.
void CreateLogFolder(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> missing;
    for (std::filesystem::path p = folder; !p.empty() && p != p.root_path(); p = p.parent_path()) {
        struct stat info {};
        if (::lstat(p.c_str(), &info) == 0 || errno != ENOENT) {
            break;
        }
        missing.push_back(p);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        ::mkdir(it->c_str(), *it == folder ? 0755 : 0700);
    }
}

namespace {

// The folder as the logger chooses it when it has none from the last line.
std::filesystem::path ChooseLogFolder() {
    {
        std::lock_guard lock(g_stateMutex);
        if (g_environment.folder) {
            return *g_environment.folder;
        }
    }
    return LogFolderFor(GetProgramDirectory());
}

}  // namespace

std::filesystem::path GetLogFolder() {
    {
        std::lock_guard lock(g_fileMutex);
        if (g_lastFolder) {
            return *g_lastFolder;
        }
    }
    return ChooseLogFolder();
}

std::filesystem::path LogFolderFor(const std::filesystem::path& programDirectory) {
    const std::filesystem::path beside = programDirectory / "logs";
    struct stat info {};
    const bool usable = ::stat(beside.c_str(), &info) == 0
                            ? S_ISDIR(info.st_mode) && CanCreateIn(beside)
                            : errno == ENOENT && CanCreateIn(programDirectory);
    return usable ? beside : GetStateDirectory() / buildinfo::kProductName / "logs";
}

std::string LogFileName(const LocalDateTime& day) {
    char date[32];
    std::snprintf(date, sizeof date, "%02d-%02d-%02d", day.month, day.day, day.year % 100);
    return std::string(date) + " Tarnwick Log.txt";
}

LogEnvironment SetLogEnvironment(LogEnvironment environment) {
    // An append under way finishes first; the next one chooses the folder anew.
    std::lock_guard fileLock(g_fileMutex);
    g_lastFolder.reset();
    std::lock_guard lock(g_stateMutex);
    return std::exchange(g_environment, std::move(environment));
}

LogDataSync SetLogDataSync(LogDataSync sync) {
    std::lock_guard lock(g_stateMutex);
    return std::exchange(g_dataSync, std::move(sync));
}

}  // namespace tkw
