#pragma once

#include "engine/EngineHost.h"

namespace tkw {

// A host with no windows: the prompts before a run are taken as accepted, existing files are
// skipped, nothing is overwritten without being asked, messages are answered with their first
// button, and the tree is one nobody sees. The engine uses it until a front end installs its
// own.
class CHeadlessHost : public IEngineHost {
public:
    void OpenProgress(std::string_view, int) override {}
    void CloseProgress() override {}
    bool HasUserCancelled() override { return false; }
    void SetProgressLine(std::string_view) override {}
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
    void ShowStatus(std::string_view, std::string_view) override {}
    Answer ShowMessage(std::string_view, Icon, Buttons buttons) override;
    std::optional<int> AppendItemIcon(std::string_view) override { return ++m_lastImage; }
    int LastImagePosition() override { return m_lastImage; }
    NodeId AddItemPath(std::string_view, int, int) override { return ++m_lastNode; }
    void SetItemData(NodeId, int) override {}
    void ResetTree() override { m_lastImage = 0; }
    void RedrawTree() override {}
    void Wait(std::chrono::milliseconds) override {}

private:
    int m_lastImage = 0;  // the folder image
    NodeId m_lastNode = 0;
};

}  // namespace tkw
