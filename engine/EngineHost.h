#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tkw {

// Everything the engine needs from a window, asked for by what the engine wants rather than by how
// a window does it. The GUI implements it over Qt (every call runs on the GUI thread and completes
// before the engine goes on), the command-line tool without prompts, and the tests with a scripted
// host that records the calls and answers from a script.
class IEngineHost {
public:
    // Flag values of the progress dialog: a modal dialog (load, restore), one that also shows no
    // progress bar and no time estimate (backup), and one for a wait.
    static constexpr int kProgressModal = 1;
    static constexpr int kProgressWait = 17;
    static constexpr int kProgressBackup = 21;

    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, AbortRetryIgnore, RetryCancel };
    enum class Answer { Ok, Cancel, Yes, No, Abort, Retry, Ignore };

    // Opaque handle of a node of the loaded-backup tree.
    using NodeId = std::uint64_t;

    // The file-exists prompt of a restore. The prompt itself stores the policy when its "Don't
    // ask me again" box is ticked (StoreFileExistsAnswer).
    enum class FileExistsAnswer { Overwrite, Skip, Cancelled, NoChoice };
    // The prompt for a backup file that already exists.
    enum class BackupFileAnswer { Cancelled, Append, Overwrite, NewLocation };

    virtual ~IEngineHost() = default;

    // The progress dialog. While it is open the main window's menus, bars and panes are disabled
    // (a close request still reaches the window); closing it gives them back.
    virtual void OpenProgress(std::string_view title, int flags) = 0;
    virtual void CloseProgress() = 0;
    // Whether the user pressed the dialog's Cancel button; cheap enough to ask once per file.
    virtual bool HasUserCancelled() = 0;
    // The dialog's text line; long paths are shortened in the middle to fit.
    virtual void SetProgressLine(std::string_view text) = 0;
    virtual void SetProgressTitle(std::string_view title) = 0;
    virtual void SetProgress(std::uint64_t completed, std::uint64_t total) = 0;

    // The prompt shown before a backup; false when the user cancelled it. The prompt stores its
    // own "Don't show this message again".
    virtual bool ShowBackupPrompt() = 0;
    // The same before a restore.
    virtual bool ShowRestorePrompt() = 0;
    // "The file ... already exists!": what to do with it.
    virtual FileExistsAnswer AskFileExists(std::string_view text) = 0;
    // A folder the user picks; empty when cancelled.
    virtual std::string BrowseForFolder(std::string_view title) = 0;
    // The backup file of a launch exists: append (storage type 0 only), overwrite, or a new place.
    virtual BackupFileAnswer AskBackupFileExists(std::string_view backupFile, int storageType) = 0;
    // The save-file dialog for a new backup location, preset with the file's name; the chosen
    // path, or nothing when cancelled.
    virtual std::optional<std::string> AskNewBackupLocation(std::string_view name,
                                                            std::string_view extension) = 0;
    // The status dialogs at the end of a backup or a restore.
    virtual void ShowStatus(std::string_view caption, std::string_view text) = 0;
    // A message box; returns the button chosen (Ok for a box with only an OK button).
    virtual Answer ShowMessage(std::string_view text, Icon icon, Buttons buttons) = 0;

    // The loaded-backup tree. Appends the icon for an item (looked up by the item's name) to the
    // tree's image list: its position there, or nothing when it could not be added.
    virtual std::optional<int> AppendItemIcon(std::string_view itemName) = 0;
    // The position of the last image in the tree's image list.
    virtual int LastImagePosition() = 0;
    virtual NodeId AddItemPath(std::string_view itemName, int image, int selectedImage) = 0;
    virtual void SetItemData(NodeId node, int itemIndex) = 0;
    // Deletes every node and resets the image list to the folder image alone.
    virtual void ResetTree() = 0;
    virtual void RedrawTree() = 0;

    // Waits (for the user to insert a medium, say); tests answer at once.
    virtual void Wait(std::chrono::milliseconds duration) = 0;
};

}  // namespace tkw
