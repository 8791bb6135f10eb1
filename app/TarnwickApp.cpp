#include "app/TarnwickApp.h"

#include <unistd.h>

#include <QIcon>
#include <QPointer>

#include "app/GuiMessages.h"
#include "app/HelpCommands.h"
#include "app/TerminationSignals.h"
#include "components/utils/Elevation.h"
#include "components/utils/LocalTime.h"
#include "components/utils/ReportError.h"
#include "components/utils/UserFolders.h"
#include "shell/ApplicationIdentity.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"
#include "ui/Commands.h"
#include "ui/GuiHost.h"
#include "ui/MainFrame.h"
#include "ui/OutputList.h"

namespace tkw {

CTarnwickApp::CTarnwickApp(int& argc, char** argv) : QApplication(argc, argv) {
    // Qt has taken out the options that are its own; what is left keeps its bytes, which a file
    // name that is not UTF-8 needs.
    m_arguments.assign(argv, argv + argc);
    SetProfileStore(&m_profileStore);
    InstallGuiErrorReporter();
    setApplicationName(QString::fromLatin1(kTitle));
    setOrganizationName(QStringLiteral("Quorvane Software"));
    setDesktopFileName(QString::fromStdString(ComputeApplicationIdentity()));
    // The icon `make install` puts into the desktop's icon theme; the window and the about box
    // show it when the program is installed.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("tarnwick")));
    m_terminationSignals = new CTerminationSignals(this);
}

CTarnwickApp::~CTarnwickApp() {
    SetLogSink({});
    m_engine.SetHost(nullptr);
    m_mainFrame.reset();
    SetErrorReporter({});
    SetProfileStore(nullptr);
}

int CTarnwickApp::Run() {
    if (const auto refused = InitInstance()) {
        return *refused;
    }
    exec();
    return ExitInstance();
}

std::optional<int> CTarnwickApp::InitInstance() {
    if (ProcessIsElevated() == 0) {
        ShowMessage(QStringLiteral("You must be logged as adminstrator when run this program !"));
        return kExitNotElevated;
    }
    if (const auto refused = AcquireSingleInstance()) {
        return refused;
    }
    FillSettingDefaults();
    CreateMainFrame();
    WriteTimedLine(" Application started");

    // Only the first argument after the program names a backup file.
    if (m_arguments.size() > 1) {
        LoadCommandLineBackup(m_arguments[1]);
    }
    AnnounceReady();
    return std::nullopt;
}

int CTarnwickApp::ExitInstance() {
    return 0;
}

std::optional<int> CTarnwickApp::AcquireSingleInstance() {
    const std::string title = kTitle;
    if (!m_instanceLock.Create(CInstanceLock::PathFor(title))) {
        ReportError("failed to lauch another instance of " + title, errno);
    }
    int errorCode = 0;
    switch (m_instanceLock.TryAcquire(errorCode)) {
        case CInstanceLock::Outcome::Failed:
            ReportError("Failed ", errorCode);
            return kExitInstanceWaitFailed;
        case CInstanceLock::Outcome::HeldElsewhere:
            ShowMessage(QStringLiteral("Another instance of ") + QString::fromStdString(title) +
                        QStringLiteral(" is already running ! "));
            return kExitAnotherInstance;
        case CInstanceLock::Outcome::Acquired:
            // Held until the process ends.
            return std::nullopt;
    }
    return std::nullopt;
}

void CTarnwickApp::FillSettingDefaults() {
    if (GetProfileString(profile::kBackupFilename).empty()) {
        WriteProfileString(profile::kBackupFilename, "Backup");
    }
    if (GetProfileString(profile::kBrowseForFolderPath).empty()) {
        WriteProfileString(profile::kBrowseForFolderPath, GetMyDocumentsDirectory().native());
    }
}

void CTarnwickApp::CreateMainFrame() {
    m_mainFrame = std::make_unique<CMainFrame>();
    m_host = new CGuiHost(m_mainFrame.get());
    m_engine.SetHost(m_host);
    m_commands =
        new CCommands(m_engine, *m_mainFrame, *m_host, backupInProgress, restoreInProgress);
    ConnectLogPane(m_mainFrame.get(), m_host);
    // A close request during a run asks whether to stop it; nobody can answer a script that
    // switched message boxes off, and its request is taken.
    m_commands->SetQuestion([frame = m_mainFrame.get()](const QString& question) {
        return AskYesNo(frame, question, true);
    });
    (new CHelpCommands(m_mainFrame.get()))->ConnectTo(*m_mainFrame);
    connect(m_mainFrame.get(), &CMainFrame::closing, this, &CTarnwickApp::OnClosingMainFrame);
    connect(m_terminationSignals, &CTerminationSignals::terminationRequested, this,
            &CTarnwickApp::OnTerminationRequested);
    m_mainFrame->RestoreLayout();
    m_mainFrame->showMaximized();
}

void CTarnwickApp::LoadCommandLineBackup(const std::filesystem::path& backupFile) {
    // On this thread, before the event loop starts, without an extension check.
    m_commands->LoadNow(backupFile.native());
}

void CTarnwickApp::OnTerminationRequested() {
    // The session ends or the process is told to: nobody is asked, the run stops at its next
    // file, and the window closes with the end lines. A second signal while the run stops finds
    // the window closed already.
    m_commands->StopWorker();
    if (m_mainFrame->isVisible()) {
        m_mainFrame->close();
    }
}

void CTarnwickApp::OnClosingMainFrame() {
    // A run still going stops at its next file, so its archive is closed with its index.
    m_commands->StopWorker();
    WriteTimedLine(" Application ended");
    WriteUntimedLine(std::string(342, '-'));
}

void CTarnwickApp::AnnounceReady() {
    // Scripts and tests that start the program can wait for this instead of guessing a delay.
    bool ok = false;
    const int fd = qEnvironmentVariableIntValue("TARNWICK_READY_FD", &ok);
    if (ok && fd > 2) {
        static constexpr char kReady[] = "ready\n";
        [[maybe_unused]] const ssize_t ignored = ::write(fd, kReady, sizeof kReady - 1);
        ::close(fd);
    }
}

}  // namespace tkw
