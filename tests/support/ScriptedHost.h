#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/EngineHost.h"

namespace tkw::test {

// An engine host for tests: records every call as a line of text, keeps the loaded-backup tree
// as a list of (name, item index), and answers prompts from a script.
class ScriptedHost : public IEngineHost {
public:
    // --- the script ---
    bool backupPromptAnswer = true;
    std::deque<Answer> messageAnswers;  // then Ok
    // Called for the n-th HasUserCancelled (counting from 1); true cancels.
    std::function<bool(int check)> cancelAt = [](int) { return false; };
    bool restorePromptAnswer = true;
    // Answers of the file-exists prompt, each with its "Don't ask me again" box; then Cancelled.
    struct FileExistsReply {
        FileExistsAnswer answer;
        bool dontAskAgain = false;
    };
    std::deque<FileExistsReply> fileExistsReplies;
    std::deque<std::string> browsedFolders;               // then "" (cancelled)
    std::deque<BackupFileAnswer> backupFileAnswers;       // then Cancelled
    std::deque<std::optional<std::string>> newLocations;  // then nothing (cancelled)
    // Called with each call's line as it is recorded (a test may throw from it).
    std::function<void(const std::string& call)> onCall;
    // Called with each item name added to the tree.
    std::function<void(const std::string& name)> onItemAdded;

    // --- what happened ---
    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::vector<std::string> fileExistsTexts;
    std::vector<std::pair<std::string, std::string>> statuses;  // caption, text
    int cancelChecks = 0;
    int progressOpen = 0;  // opened minus closed
    // The tree's nodes in the order made, with the item index each was given.
    struct Node {
        std::string name;
        int image;
        int itemIndex = -1;
    };
    std::vector<Node> tree;
    int resets = 0;

    void OpenProgress(std::string_view title, int flags) override;
    void CloseProgress() override;
    bool HasUserCancelled() override;
    void SetProgressLine(std::string_view text) override;
    void SetProgressTitle(std::string_view title) override;
    void SetProgress(std::uint64_t completed, std::uint64_t total) override;
    bool ShowBackupPrompt() override;
    bool ShowRestorePrompt() override;
    FileExistsAnswer AskFileExists(std::string_view text) override;
    std::string BrowseForFolder(std::string_view title) override;
    BackupFileAnswer AskBackupFileExists(std::string_view backupFile, int storageType) override;
    std::optional<std::string> AskNewBackupLocation(std::string_view name,
                                                    std::string_view extension) override;
    void ShowStatus(std::string_view caption, std::string_view text) override;
    Answer ShowMessage(std::string_view text, Icon icon, Buttons buttons) override;
    std::optional<int> AppendItemIcon(std::string_view itemName) override;
    int LastImagePosition() override { return m_images - 1; }
    NodeId AddItemPath(std::string_view itemName, int image, int selectedImage) override;
    void SetItemData(NodeId node, int itemIndex) override;
    void ResetTree() override;
    void RedrawTree() override;
    void Wait(std::chrono::milliseconds duration) override;

    // The names in the tree, in the order added.
    std::vector<std::string> TreeNames() const;

private:
    void Record(std::string call);

    int m_images = 1;  // the folder image
};

}  // namespace tkw::test
