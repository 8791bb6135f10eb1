#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "components/utils/LocalTime.h"

namespace tkw {

// The one logging operation of the program. A message is finished by its caller, by convention
// GetTimeAsString() + text starting with a blank + "\r\n"; the logger adds nothing to it.
// Each call shows the message in the output pane (when a sink is installed) and, unless the user
// switched the log file off, appends it to the day's log file in Windows-1252: the file is opened,
// written, and closed again for every call, so a crash of the program loses no line.
// Any instance may be used from any thread; instances hold no state.
class CLogger {
public:
    virtual ~CLogger() = default;
    void Write(std::string text) const;
    // Logs the messages in order, each as Write does (its own entry in the pane, the setting read
    // for it, the day taken for it); those that go to one day's file are appended with one open
    // and one write, so that work finished together costs one append.
    void Write(const std::vector<std::string>& texts) const;
};

// Writes one line as every part of the program writes its lines: the current time, the text
// (which begins with a blank) and CR LF.
void WriteTimedLine(std::string_view text);
// A line without the time (separators, the information block of a loaded backup).
void WriteUntimedLine(std::string_view text);

// Lines written together: each is timed when it is added, and all are written in order by one
// logging call when Write is called or the instance ends (a capture of the thread keeps each as
// it is added).
class CTimedLines {
public:
    CTimedLines() = default;
    CTimedLines(const CTimedLines&) = delete;
    CTimedLines& operator=(const CTimedLines&) = delete;
    ~CTimedLines();

    void Add(std::string_view text);
    void Write();

private:
    std::vector<std::string> m_texts;
};

// While an instance lives, the lines its thread writes through WriteTimedLine and WriteUntimedLine
// are kept in it instead of being written: work that runs ahead of its turn keeps its lines until
// the lines before them are written. Release writes the kept lines, in order and timed as they
// are written; lines never released are dropped with the instance. Instances nest.
class CLineCapture {
public:
    struct Line {
        bool timed;
        std::string text;
    };

    CLineCapture();
    ~CLineCapture();
    CLineCapture(const CLineCapture&) = delete;
    CLineCapture& operator=(const CLineCapture&) = delete;

    // The lines kept so far; the capture goes on with none.
    std::vector<Line> Take() { return std::exchange(m_lines, {}); }
    // Writes the lines taken from a capture (on this thread, unless one captures here too).
    static void Release(const std::vector<Line>& lines);

private:
    friend bool CaptureLine(bool timed, std::string_view text);
    CLineCapture* m_outer;
    std::vector<Line> m_lines;
};

// Puts the log file last written on the disk. Each line reaches the kernel when it is written,
// which survives a crash of the program; a run calls this when it ends, so that a crash of the
// system loses none of its lines either. Never throws.
void SyncLogFile() noexcept;

// Syncs the log file when the scope it lives in ends, however it ends.
class CLogSyncAtEnd {
public:
    CLogSyncAtEnd() = default;
    CLogSyncAtEnd(const CLogSyncAtEnd&) = delete;
    CLogSyncAtEnd& operator=(const CLogSyncAtEnd&) = delete;
    ~CLogSyncAtEnd() { SyncLogFile(); }
};

// Receives each message, with every CR and LF removed, before it goes to the file. The GUI installs
// its output pane here; returns the previous sink. An empty function removes the sink.
using LogSink = std::function<void(const std::string& entry)>;
LogSink SetLogSink(LogSink sink);

// The folder the log files go to, without a trailing separator: "logs" beside the program file
// when that folder can be written (it is a writable folder, or the program's folder lets it be
// made); otherwise, as for a program installed system-wide and run by a user,
// "Tarnwick/logs" in the user's state folder. The logger and "View Logs" both ask here: once a
// line was written, the folder it went to, which the logger keeps until a line cannot be opened
// there.
std::filesystem::path GetLogFolder();

// The same choice for the program folder given.
std::filesystem::path LogFolderFor(const std::filesystem::path& programDirectory);

// Makes the log folder with any missing parent (the state folder of a fresh account may not exist
// yet). Failures are left to whoever uses the folder next.
void CreateLogFolder(const std::filesystem::path& folder);

// "MM-DD-YY Tarnwick Log.txt" for the given day.
std::string LogFileName(const LocalDateTime& day);

// Where and when the logger writes; tests replace both so they neither wait for midnight nor share
// the program's folder. Unset fields take the real values.
struct LogEnvironment {
    std::optional<std::filesystem::path> folder;
    std::function<LocalDateTime()> clock;
};
LogEnvironment SetLogEnvironment(LogEnvironment environment);

// Replaces the fdatasync of SyncLogFile (tests watch it); an empty function restores it. Returns
// the previous one.
using LogDataSync = std::function<int(int fd)>;
LogDataSync SetLogDataSync(LogDataSync sync);

}  // namespace tkw
