#pragma once

#include <atomic>
#include <string>

#include "engine/EngineHost.h"

namespace tkw {

// The engine host of the command-line tool: no prompts (the runs take their choices from the
// command line), messages and the status on the terminal, the progress line on standard error
// when that is a terminal, and Cancel by SIGINT or SIGTERM.
class CCliHost : public IEngineHost {
public:
    CCliHost();

    // Makes the first SIGINT or SIGTERM cancel the run at its next file; a second one ends the
    // program at once.
    static void InstallCancelSignals();
    static bool CancelRequested();

    void OpenProgress(std::string_view title, int flags) override;
    void CloseProgress() override;
    bool HasUserCancelled() override { return CancelRequested(); }
    void SetProgressLine(std::string_view text) override;
    void SetProgressTitle(std::string_view) override {}
    void SetProgress(std::uint64_t, std::uint64_t) override {}
    bool ShowBackupPrompt() override { return true; }
    bool ShowRestorePrompt() override { return true; }
    FileExistsAnswer AskFileExists(std::string_view) override { return FileExistsAnswer::Skip; }
    std::string BrowseForFolder(std::string_view) override { return {}; }
    BackupFileAnswer AskBackupFileExists(std::string_view, int) override {
        return BackupFileAnswer::Cancelled;
    }
    std::optional<std::string> AskNewBackupLocation(std::string_view, std::string_view) override {
        return std::nullopt;
    }
    Answer ShowMessage(std::string_view text, Icon icon, Buttons buttons) override;
    void ShowStatus(std::string_view caption, std::string_view text) override;
    std::optional<int> AppendItemIcon(std::string_view) override { return ++m_lastImage; }
    int LastImagePosition() override { return m_lastImage; }
    NodeId AddItemPath(std::string_view, int, int) override { return 0; }
    void SetItemData(NodeId, int) override {}
    void ResetTree() override { m_lastImage = 0; }
    void RedrawTree() override {}
    void Wait(std::chrono::milliseconds) override {}

private:
    bool m_terminal;
    bool m_lineShown = false;
    int m_lastImage = 0;
};

// Shortens a text to `width` characters by replacing its middle with "...".
std::string ElideMiddle(std::string_view text, std::size_t width);

}  // namespace tkw
