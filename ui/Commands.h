#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace tkw {

class CBackupRestoreManager;
class CGuiHost;
class CMainFrame;

// The commands of the main window. New and Refresh run on the GUI thread; Open, Backup and
// Restore each start a worker thread that runs the engine and reaches the window through the
// host. One worker runs at a time (its progress dialog keeps the window's contents disabled).
class CCommands : public QObject {
    Q_OBJECT
public:
    CCommands(CBackupRestoreManager& engine, CMainFrame& frame, CGuiHost& host,
              std::atomic<bool>& backupInProgress, std::atomic<bool>& restoreInProgress);

    void NewBackup();
    void OpenBackup();
    void RunBackup();
    void RunRestore();
    void Refresh();
    // The options dialogs, modal on the window.
    void BackupOptions();
    void RestoreOptions();
    void Preferences();
    // The program's keys with Ctrl+Shift, after their busy tests.
    void ShortcutKey(QChar letter);
    // Loads a backup file on the calling (GUI) thread, as at start-up.
    void LoadNow(const std::string& file);

    // Runs an operation on the worker thread, unless one is running. Whatever it throws ends it
    // as a failure the user is told of, with the window given back.
    void StartWorker(std::function<void()> work);
    bool WorkerRunning() const { return m_worker != nullptr; }
    // Asks a running worker to stop at its next file and waits for it, keeping the window alive.
    void StopWorker();

    // Asks for the backup file to open, starting in `folder`; empty when cancelled. Replaces the
    // system's file dialog, which tests cannot answer reliably.
    using OpenFilePicker = std::function<QString(QWidget* parent, const QString& folder)>;
    void SetOpenFilePicker(OpenFilePicker picker) { m_openFilePicker = std::move(picker); }
    // How a yes-or-no question reaches the user: true for Yes. A message box on the window until
    // one is set.
    void SetQuestion(std::function<bool(const QString& question)> ask) {
        m_question = std::move(ask);
    }
    // Whether the window may close now. During a backup or a restore the user is asked whether
    // to stop it; the window's closing then stops it (StopWorker). Loading and refreshing stop
    // without a question: they lose nothing.
    bool MayCloseWindow();

signals:
    void workerFinished();

private:
    void RunGuarded(const std::function<void()>& work);
    void RunLoad(const std::string& file);
    // False, after saying why, while a run of that kind is in progress.
    bool NotBusyWithBackup();
    bool NotBusyWithRestore();

    CBackupRestoreManager& m_engine;
    CMainFrame& m_frame;
    CGuiHost& m_host;
    std::atomic<bool>& m_backupInProgress;
    std::atomic<bool>& m_restoreInProgress;
    QPointer<QThread> m_worker;
    // Taken by the worker as its last step and by the GUI thread when it learns that the worker
    // has ended: Qt tells of the end through its own queue, which ThreadSanitizer cannot see, and
    // this makes the order of everything the worker did before visible to it.
    std::mutex m_workerEnd;
    std::function<bool(const QString& question)> m_question;
    OpenFilePicker m_openFilePicker;
};

// "Invalid extension, the file must be an Tarnwick file!" unless the name ends in .tkw (any case).
bool HasBackupExtension(const QString& path);

}  // namespace tkw
