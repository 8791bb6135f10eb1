#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class QTreeWidgetItem;

#include "engine/EngineHost.h"

namespace tkw {

class CMainFrame;
class CProgressDialog;

// The engine host of the window. A worker's request runs on the GUI thread and completes before
// the worker goes on; called on the GUI thread itself it runs directly (a blocking call to the
// own thread would never return). Two kinds of requests are posted instead of waited for, so that
// a load of many items does not pay a thread switch per item: progress text (coalesced, only the
// latest shown) and the tree's new nodes (applied in order, in batches). Every waiting request
// queues behind them, so the window is up to date whenever the worker waits for it, and at the
// latest when the operation redraws the tree at its end. Cancel is a flag the worker reads.
class CGuiHost : public QObject, public IEngineHost {
    Q_OBJECT
public:
    explicit CGuiHost(CMainFrame* frame);

    // Runs `work` on the GUI thread and waits for it.
    void RunOnGui(const std::function<void()>& work);
    // Stops the running operation at its next file, as Cancel does, also when its progress dialog
    // is not open yet (the window closes while a run starts). Cleared when the next one starts.
    void RequestStop() { m_stopRequested = true; }
    void ClearStop() { m_stopRequested = false; }
    // The file system's bytes for a path a file dialog gave back (NativePathOf); when they cannot
    // be told the user is told why, and the choice counts as cancelled. On the GUI thread.
    std::optional<std::string> NativeChoice(const QString& shown);

    void OpenProgress(std::string_view title, int flags) override;
    void CloseProgress() override;
    bool HasUserCancelled() override { return m_cancelled.load() || m_stopRequested.load(); }
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
    Answer ShowMessage(std::string_view text, Icon icon, Buttons buttons) override;
    void ShowStatus(std::string_view caption, std::string_view text) override;
    std::optional<int> AppendItemIcon(std::string_view itemName) override;
    int LastImagePosition() override;
    NodeId AddItemPath(std::string_view itemName, int image, int selectedImage) override;
    void SetItemData(NodeId node, int itemIndex) override;
    void ResetTree() override;
    void RedrawTree() override;
    void Wait(std::chrono::milliseconds duration) override;

private:
    struct TreeChange {
        enum class Kind { AddIcon, AddPath, SetData } kind;
        std::string itemName;  // the archive's bytes
        int number = 0;
        NodeId node = 0;
    };
    void PostProgressUpdate();
    void QueueTreeChange(TreeChange change);
    void ApplyTreeChanges();

    CMainFrame* m_frame;
    QPointer<CProgressDialog> m_progress;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_stopRequested{false};
    std::mutex m_pendingMutex;  // guards the values a posted update shows
    QString m_pendingLine;
    QString m_pendingTitle;
    quint64 m_pendingCompleted = 0, m_pendingTotal = 0;
    bool m_hasProgress = false;
    bool m_updatePosted = false;

    std::mutex m_treeMutex;  // guards the queued tree changes
    std::vector<TreeChange> m_treeChanges;
    bool m_treeFlushPosted = false;
    // Worker side: what the tree will hold once the queued changes are in.
    int m_nextImage = 1;
    NodeId m_nextNode = 1;
    // GUI side: the nodes made, by the ids handed out.
    std::vector<QTreeWidgetItem*> m_nodes{nullptr};
};

// Makes every log line of every thread appear in the window's Log pane, in the order of the calls.
// Lines logged once the window is gone go to the file only.
void ConnectLogPane(CMainFrame* frame, CGuiHost* host);

}  // namespace tkw
