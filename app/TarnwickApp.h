#pragma once

#include <QApplication>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/utils/InstanceLock.h"
#include "engine/BackupRestoreManager.h"
#include "shell/settings/QtProfileStore.h"

namespace tkw {

class CCommands;
class CGuiHost;
class CMainFrame;
class CTerminationSignals;

// The application object: decides whether this process may run (root only, one instance per
// session), fills the two settings every backup needs, puts up the main window, and writes the
// start and end lines of the log. It owns the engine, the main window and the single-instance
// lock for the life of the process.
class CTarnwickApp : public QApplication {
    Q_OBJECT
public:
    // The program's title, which also names the single-instance lock.
    static constexpr const char* kTitle = "Tarnwick";

    // Exit codes of a start that is refused.
    static constexpr int kExitNotElevated = 425;
    static constexpr int kExitInstanceWaitFailed = 42;
    static constexpr int kExitAnotherInstance = 43;

    CTarnwickApp(int& argc, char** argv);
    ~CTarnwickApp() override;

    // Start-up, the event loop and the end: the process's exit code.
    int Run();

    // Returns nothing when the main window is up, otherwise the exit code to end with.
    std::optional<int> InitInstance();
    int ExitInstance();

    // Whether a backup launch or a restore worker is running; the shortcut keys test these.
    std::atomic<bool> backupInProgress{false};
    std::atomic<bool> restoreInProgress{false};

private:
    std::optional<int> AcquireSingleInstance();
    void FillSettingDefaults();
    void CreateMainFrame();
    void LoadCommandLineBackup(const std::filesystem::path& backupFile);
    void OnClosingMainFrame();
    void OnTerminationRequested();
    void AnnounceReady();

    std::vector<std::string> m_arguments;  // as given, without Qt's own options
    CQtProfileStore m_profileStore;
    CBackupRestoreManager m_engine;
    CInstanceLock m_instanceLock;
    std::unique_ptr<CMainFrame> m_mainFrame;
    CGuiHost* m_host = nullptr;       // owned by the main frame
    CCommands* m_commands = nullptr;  // owned by the main frame
    CTerminationSignals* m_terminationSignals = nullptr;
};

}  // namespace tkw
