#include "tests/support/EngineFixture.h"

#include <regex>

#include "components/utils/ReportError.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw::test {
namespace fs = std::filesystem;

void EngineFixture::SetUp() {
    fs::create_directories(m_source);
    fs::create_directories(m_temp / "target");
    SetLogEnvironment({m_temp / "logs", nullptr});
    SetLogSink([this](const std::string& entry) { m_log.push_back(entry); });
    SetErrorReporter([this](const std::string& message, int) { m_errors.push_back(message); });
    m_engine.SetHost(&m_host);
    // The prompt before a backup is switched off unless a test wants it.
    WriteProfileInt(profile::kBackupPromptDontShowAgain, 1);
}

void EngineFixture::TearDown() {
    m_engine.UnloadBackupFile();
    m_engine.SetHost(nullptr);
    SetLogEnvironment({});
    SetLogSink({});
    SetErrorReporter({});
}

std::vector<std::string> EngineFixture::LogLines() const {
    static const std::regex kTime(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}( .*)$)");
    std::vector<std::string> lines;
    for (const std::string& entry : m_log) {
        std::smatch match;
        lines.push_back(std::regex_match(entry, match, kTime) ? match[1].str() : entry);
    }
    return lines;
}

std::string EngineFixture::LogFileBytes() const {
    std::string all;
    for (const auto& entry : fs::directory_iterator(m_temp / "logs")) {
        all += ReadFileBytes(entry.path());
    }
    return all;
}

fs::path EngineFixture::MakeFile(const std::string& relative, const std::string& bytes) {
    const fs::path path = m_source / relative;
    fs::create_directories(path.parent_path());
    WriteFileBytes(path, bytes);
    return path;
}

int EngineFixture::Run(const std::vector<fs::path>& selection, bool append, int storageType) {
    // A new backup goes where the last one was: the user chose to overwrite it, so it is removed
    // as the launch removes it (a new backup file is never made over an existing one).
    if (!append && storageType == 0 && fs::exists(BackupFile())) {
        const std::size_t calls = m_host.calls.size();
        m_engine.UnloadBackupFile();
        m_host.calls.resize(calls);  // the test looks at what the run does
        fs::remove(BackupFile());
    }
    m_log.clear();
    return m_engine.RunBackup(BasePath(), storageType, selection, m_counters, append);
}

}  // namespace tkw::test
