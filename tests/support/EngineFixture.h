#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/BackupRestoreManager.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestProfile.h"

namespace tkw::test {

// A path in double quotes, as log lines quote it.
inline std::string Q(const std::filesystem::path& path) {
    return "\"" + path.native() + "\"";
}

// Whether the log's lines hold this line.
inline bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// An engine with a scripted host, the real settings store and logger in temporary folders, and
// the log lines captured.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The log's lines so far, each without its time and line break ("2026-... Backup started
    // ..." gives " Backup started ..."); untimed lines as they are.
    std::vector<std::string> LogLines() const;
    // The lines of the day's log file, exactly as written (CR LF ends included).
    std::string LogFileBytes() const;

    // A file below the source folder, with its folders, holding `bytes`.
    std::filesystem::path MakeFile(const std::string& relative, const std::string& bytes = "data");

    std::string BasePath() const { return (m_temp / "target" / "Backup").native(); }
    std::filesystem::path BackupFile() const { return BasePath() + ".tkw"; }

    // A backup run into BackupFile(); one that does not append first removes the file there.
    int Run(const std::vector<std::filesystem::path>& selection, bool append = false,
            int storageType = 0);

    TestProfile m_profile;
    TempDir m_temp;
    const std::filesystem::path m_source = m_temp / "source";
    ScriptedHost m_host;
    CBackupRestoreManager m_engine;
    BackupCounters m_counters;
    std::vector<std::string> m_log;
    std::vector<std::string> m_errors;
};

}  // namespace tkw::test
