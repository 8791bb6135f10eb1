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
    bool iconsFail = false;

    // --- what happened ---
    std::vector<std::string> calls;
    std::vector<std::string> messages;
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
    int m_images = 1;  // the folder image
};

}  // namespace tkw::test
