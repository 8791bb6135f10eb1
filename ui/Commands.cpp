#include "ui/Commands.h"

#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "dialogs/BackupOptionsDialog.h"
#include "dialogs/PreferencesDialog.h"
#include "dialogs/RestoreOptionsDialog.h"
#include "engine/BackupLaunch.h"
#include "engine/BackupRestoreManager.h"
#include "engine/OperationEdge.h"
#include "engine/StatusTexts.h"
#include "ui/DirTreeCtrlEx.h"
#include "ui/GuiHost.h"
#include "ui/MainFrame.h"
#include "ui/NativePaths.h"
#include "ui/TreeCtrlLoaded.h"

namespace tkw {

bool HasBackupExtension(const QString& path) {
    // From the last dot of the file name, lower-cased.
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && name.mid(dot).toLower() == QStringLiteral(".tkw");
}

CCommands::CCommands(CBackupRestoreManager& engine, CMainFrame& frame, CGuiHost& host,
                     std::atomic<bool>& backupInProgress, std::atomic<bool>& restoreInProgress)
    : QObject(&frame),
      m_engine(engine),
      m_frame(frame),
      m_host(host),
      m_backupInProgress(backupInProgress),
      m_restoreInProgress(restoreInProgress),
      m_openFilePicker([](QWidget* parent, const QString& folder) {
          return QFileDialog::getOpenFileName(parent, QString(), folder,
                                              QStringLiteral("Tarnwick(*.tkw)"));
      }) {
    connect(&frame, &CMainFrame::newBackupRequested, this, &CCommands::NewBackup);
    connect(&frame, &CMainFrame::openBackupRequested, this, &CCommands::OpenBackup);
    connect(&frame, &CMainFrame::runBackupRequested, this, &CCommands::RunBackup);
    connect(&frame, &CMainFrame::runRestoreRequested, this, &CCommands::RunRestore);
    connect(&frame, &CMainFrame::refreshRequested, this, &CCommands::Refresh);
    connect(&frame, &CMainFrame::backupOptionsRequested, this, &CCommands::BackupOptions);
    connect(&frame, &CMainFrame::restoreOptionsRequested, this, &CCommands::RestoreOptions);
    connect(&frame, &CMainFrame::preferencesRequested, this, &CCommands::Preferences);
    connect(&frame, &CMainFrame::shortcutKeyPressed, this, &CCommands::ShortcutKey);
    frame.SetCloseGuard([this] { return MayCloseWindow(); });
}

void CCommands::StartWorker(std::function<void()> work) {
    if (m_worker) {
        return;  // the running operation's progress dialog keeps the window busy
    }
    m_host.ClearStop();
    m_worker = QThread::create([this, work = std::move(work)] {
        RunGuarded(work);
        std::lock_guard ended(m_workerEnd);
    });
    connect(m_worker, &QThread::finished, this, [this] {
        { std::lock_guard joined(m_workerEnd); }
        m_worker->deleteLater();
        m_worker = nullptr;
        emit workerFinished();
    });
    m_worker->start();
}

void CCommands::RunGuarded(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        // Nothing ends the program from a worker: the operation fails with its line and message,
        // and the window is given back.
        ReportOperationFailure("The operation");
        m_host.CloseProgress();
        m_backupInProgress = false;
        m_restoreInProgress = false;
    }
}

void CCommands::StopWorker() {
    if (!m_worker) {
        return;
    }
    m_host.RequestStop();
    QEventLoop loop;
    connect(this, &CCommands::workerFinished, &loop, &QEventLoop::quit);
    if (m_worker) {
        loop.exec();
    }
}

bool CCommands::MayCloseWindow() {
    QString question;
    if (m_backupInProgress) {
        question = QStringLiteral("A backup is running. Do you want to stop it and exit?");
    } else if (m_restoreInProgress) {
        question = QStringLiteral("A restore is running. Do you want to stop it and exit?");
    } else {
        return true;
    }
    if (m_question) {
        return m_question(question);
    }
    return m_host.ShowMessage(question.toStdString(), IEngineHost::Icon::Question,
                              IEngineHost::Buttons::YesNo) == IEngineHost::Answer::Yes;
}

void CCommands::NewBackup() {
    if (!m_worker) {
        m_engine.NewBackup();
    }
}

void CCommands::Refresh() {
    // One run at a time: a refresh while another operation runs would take its progress dialog.
    StartWorker([this] {
        m_host.OpenProgress("Please wait...", IEngineHost::kProgressWait);
        m_host.SetProgressLine("Refresh Local Folders in progress please wait...");
        m_host.RunOnGui([this] { m_frame.LocalTree()->ReloadDrives(); });
        m_host.CloseProgress();
    });
}

void CCommands::BackupOptions() {
    CBackupOptions dialog(&m_frame);
    dialog.exec();
}

void CCommands::RestoreOptions() {
    CRestoreOptions dialog(&m_frame);
    dialog.exec();
}

void CCommands::Preferences() {
    CPreferences dialog(&m_frame);
    dialog.exec();
}

bool CCommands::NotBusyWithBackup() {
    if (m_backupInProgress) {
        QMessageBox::information(
            &m_frame, QStringLiteral("Tarnwick"),
            QStringLiteral("You cannot make settings while backup is running!"));
        return false;
    }
    return true;
}

bool CCommands::NotBusyWithRestore() {
    if (m_restoreInProgress) {
        QMessageBox::information(
            &m_frame, QStringLiteral("Tarnwick"),
            QStringLiteral("You cannot make settings while restore is running!"));
        return false;
    }
    return true;
}

void CCommands::ShortcutKey(QChar letter) {
    switch (letter.unicode()) {
        case u'N':
            if (NotBusyWithBackup() && NotBusyWithRestore()) {
                NewBackup();
            }
            break;
        case u'O':
            if (NotBusyWithBackup() && NotBusyWithRestore()) {
                OpenBackup();
            }
            break;
        case u'B':
            if (NotBusyWithBackup()) {
                BackupOptions();
            }
            break;
        case u'R':
            if (NotBusyWithRestore()) {
                RestoreOptions();
            }
            break;
        case u'P':
            Preferences();
            break;
        default:
            break;
    }
}

void CCommands::LoadNow(const std::string& file) {
    m_engine.LoadBackupFile(file);
}

void CCommands::OpenBackup() {
    if (m_worker) {
        return;
    }
    const QString path = m_openFilePicker(&m_frame, BackupFolderShown());
    if (path.isEmpty()) {
        return;
    }
    if (!HasBackupExtension(path)) {
        QMessageBox::information(
            &m_frame, QStringLiteral("Tarnwick"),
            QStringLiteral("Invalid extension, the file must be an Tarnwick file!"));
        return;
    }
    if (const auto file = m_host.NativeChoice(path)) {
        RunLoad(*file);
    }
}

void CCommands::RunLoad(const std::string& file) {
    StartWorker([this, file] { m_engine.LoadBackupFile(file); });
}

void CCommands::RunBackup() {
    StartWorker([this] {
        m_backupInProgress = true;
        BackupCounters counters;
        LaunchBackup(
            m_engine,
            [this] {
                std::vector<std::filesystem::path> selection;
                m_host.RunOnGui([&] {
                    if (m_frame.LocalTree()->IsAnyChecked()) {
                        for (const QByteArray& path : m_frame.LocalTree()->BuildSelectionList()) {
                            selection.emplace_back(path.toStdString());
                        }
                    }
                });
                return selection;
            },
            counters);
        m_backupInProgress = false;
    });
}

void CCommands::RunRestore() {
    StartWorker([this] {
        m_restoreInProgress = true;
        bool anythingTicked = false;
        std::vector<int> indexes;
        m_host.RunOnGui([&] {
            anythingTicked = m_frame.LoadedTree()->IsAnyChecked();
            indexes = m_frame.LoadedTree()->GetCheckedItemIndexes();
        });
        if (const auto refusal = CheckRestoreCanStart(m_engine.IsBackupLoaded(), anythingTicked)) {
            m_host.ShowMessage(refusal->message, refusal->icon, IEngineHost::Buttons::Ok);
        } else {
            RestoreCounters counters;
            const int result = m_engine.RestoreItems(indexes, counters);
            m_host.ShowStatus(RestoreStatusCaption(result), RestoreStatusText(counters));
        }
        m_restoreInProgress = false;
    });
}

}  // namespace tkw
