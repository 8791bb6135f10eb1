#include "tests/support/ScriptedHost.h"

#include "engine/RestoreOptions.h"

namespace tkw::test {

void ScriptedHost::Record(std::string call) {
    calls.push_back(std::move(call));
    if (onCall) {
        onCall(calls.back());
    }
}

void ScriptedHost::OpenProgress(std::string_view title, int flags) {
    Record("OpenProgress " + std::string(title) + " " + std::to_string(flags));
    ++progressOpen;
}

void ScriptedHost::CloseProgress() {
    Record("CloseProgress");
    --progressOpen;
}

bool ScriptedHost::HasUserCancelled() {
    return cancelAt(++cancelChecks);
}

void ScriptedHost::SetProgressLine(std::string_view text) {
    Record("Line " + std::string(text));
}

void ScriptedHost::SetProgressTitle(std::string_view title) {
    Record("Title " + std::string(title));
}

void ScriptedHost::SetProgress(std::uint64_t completed, std::uint64_t total) {
    Record("Progress " + std::to_string(completed) + "/" + std::to_string(total));
}

bool ScriptedHost::ShowBackupPrompt() {
    Record("BackupPrompt");
    return backupPromptAnswer;
}

bool ScriptedHost::ShowRestorePrompt() {
    Record("RestorePrompt");
    return restorePromptAnswer;
}

IEngineHost::FileExistsAnswer ScriptedHost::AskFileExists(std::string_view text) {
    Record("FileExists " + std::string(text));
    fileExistsTexts.emplace_back(text);
    if (fileExistsReplies.empty()) {
        return FileExistsAnswer::Cancelled;
    }
    const FileExistsReply reply = fileExistsReplies.front();
    fileExistsReplies.pop_front();
    // As the real prompt does, an answer stores the policy.
    if (reply.answer == FileExistsAnswer::Overwrite || reply.answer == FileExistsAnswer::Skip) {
        StoreFileExistsAnswer(reply.answer == FileExistsAnswer::Overwrite, reply.dontAskAgain);
    }
    return reply.answer;
}

std::string ScriptedHost::BrowseForFolder(std::string_view title) {
    Record("Browse " + std::string(title));
    if (browsedFolders.empty()) {
        return {};
    }
    std::string folder = browsedFolders.front();
    browsedFolders.pop_front();
    return folder;
}

IEngineHost::BackupFileAnswer ScriptedHost::AskBackupFileExists(std::string_view backupFile,
                                                                int storageType) {
    Record("BackupFileExists " + std::string(backupFile) + " " + std::to_string(storageType));
    if (backupFileAnswers.empty()) {
        return BackupFileAnswer::Cancelled;
    }
    const BackupFileAnswer answer = backupFileAnswers.front();
    backupFileAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedHost::AskNewBackupLocation(std::string_view name,
                                                              std::string_view extension) {
    Record("NewLocation " + std::string(name) + " " + std::string(extension));
    if (newLocations.empty()) {
        return std::nullopt;
    }
    auto location = newLocations.front();
    newLocations.pop_front();
    return location;
}

void ScriptedHost::ShowStatus(std::string_view caption, std::string_view text) {
    Record("Status " + std::string(caption));
    statuses.emplace_back(caption, text);
}

IEngineHost::Answer ScriptedHost::ShowMessage(std::string_view text, Icon, Buttons) {
    Record("Message " + std::string(text));
    messages.emplace_back(text);
    if (messageAnswers.empty()) {
        return Answer::Ok;
    }
    const Answer answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

std::optional<int> ScriptedHost::AppendItemIcon(std::string_view) {
    return m_images++;
}

IEngineHost::NodeId ScriptedHost::AddItemPath(std::string_view itemName, int image, int) {
    tree.push_back({std::string(itemName), image});
    if (onItemAdded) {
        onItemAdded(tree.back().name);
    }
    return tree.size();  // node ids count from 1
}

void ScriptedHost::SetItemData(NodeId node, int itemIndex) {
    tree.at(node - 1).itemIndex = itemIndex;
}

void ScriptedHost::ResetTree() {
    Record("ResetTree");
    tree.clear();
    m_images = 1;
    ++resets;
}

void ScriptedHost::RedrawTree() {
    Record("RedrawTree");
}

void ScriptedHost::Wait(std::chrono::milliseconds duration) {
    Record("Wait " + std::to_string(duration.count()));
}

std::vector<std::string> ScriptedHost::TreeNames() const {
    std::vector<std::string> names;
    for (const Node& node : tree) {
        names.push_back(node.name);
    }
    return names;
}

}  // namespace tkw::test
