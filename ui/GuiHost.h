#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <mutex>

#include "engine/EngineHost.h"

namespace tkw {

class CMainFrame;
class CProgressDialog;

// The engine host of the window. A worker's request runs on the GUI thread and completes before
// the worker goes on; called on the GUI thread itself it runs directly (a blocking call to the
// own thread would never return). Progress text is posted without waiting, coalesced so that a
// fast run cannot flood the event queue. Cancel is a flag the worker reads.
class CGuiHost : public QObject, public IEngineHost {
    Q_OBJECT
public:
    explicit CGuiHost(CMainFrame* frame);

    // Runs `work` on the GUI thread and waits for it.
    void RunOnGui(const std::function<void()>& work);
    // As the progress dialog's Cancel button does (closing the window while a run goes on).
    void RequestCancel() { m_cancelled = true; }

    void OpenProgress(std::string_view title, int flags) override;
    void CloseProgress() override;
    bool HasUserCancelled() override { return m_cancelled.load(); }
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
    void PostProgressUpdate();

    CMainFrame* m_frame;
    QPointer<CProgressDialog> m_progress;
    std::atomic<bool> m_cancelled{false};
    std::mutex m_pendingMutex;  // guards the values a posted update shows
    QString m_pendingLine;
    QString m_pendingTitle;
    quint64 m_pendingCompleted = 0, m_pendingTotal = 0;
    bool m_hasProgress = false;
    bool m_updatePosted = false;
};

// Makes every log line of every thread appear in the window's Log pane, in the order of the calls;
// a worker waits until its line is in. Lines logged once the window is gone go to the file only.
void ConnectLogPane(CMainFrame* frame, CGuiHost* host);

}  // namespace tkw
