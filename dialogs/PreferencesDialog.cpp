#include "dialogs/PreferencesDialog.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <system_error>

#include "dialogs/DialogButtons.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {

namespace {

void OpenInDesktop(const std::filesystem::path& folder) {
    // The folder's own bytes, whatever their encoding.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(folder.c_str())));
}

}  // namespace

CPreferences::CPreferences(QWidget* parent, FolderOpener opener)
    : QDialog(parent), m_opener(opener ? std::move(opener) : FolderOpener(OpenInDesktop)) {
    setObjectName(QStringLiteral("Preferences"));
    setWindowTitle(QStringLiteral("Preferences"));

    auto* logs = new QGroupBox(QStringLiteral("Logs"), this);
    m_createLogFile = NamedButton<QCheckBox>(QStringLiteral("Create log file"),
                                             QStringLiteral("CreateLogFile"), logs);
    auto* viewLogs = new QPushButton(QStringLiteral("View Logs"), logs);
    viewLogs->setObjectName(QStringLiteral("ViewLogs"));
    viewLogs->setAutoDefault(false);
    connect(viewLogs, &QPushButton::clicked, this, &CPreferences::ViewLogs);
    auto* logsLayout = new QHBoxLayout(logs);
    logsLayout->addWidget(m_createLogFile);
    logsLayout->addStretch();
    logsLayout->addWidget(viewLogs);

    auto* backup = new QGroupBox(QStringLiteral("Actions to take when user run backup"), this);
    m_askBackupOptions = NamedButton<QCheckBox>(QStringLiteral("Ask for backup options"),
                                                QStringLiteral("AskBackupOptions"), backup);
    (new QVBoxLayout(backup))->addWidget(m_askBackupOptions);

    auto* restore = new QGroupBox(QStringLiteral("Actions to take when user run restore"), this);
    m_askRestoreOptions = NamedButton<QCheckBox>(QStringLiteral("Ask for restore options"),
                                                 QStringLiteral("AskRestoreOptions"), restore);
    (new QVBoxLayout(restore))->addWidget(m_askRestoreOptions);

    QDialogButtonBox* buttons = OkCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(logs);
    layout->addWidget(backup);
    layout->addWidget(restore);
    layout->addWidget(buttons);
    setMinimumWidth(320);

    // The prompts' keys say "don't show", the boxes say "ask": one is the other inverted.
    m_createLogFile->setChecked(GetProfileInt(profile::kCreateLogFile) == 1);
    m_askBackupOptions->setChecked(GetProfileInt(profile::kBackupPromptDontShowAgain) == 0);
    m_askRestoreOptions->setChecked(GetProfileInt(profile::kRestorePromptDontShowAgain) == 0);
}

void CPreferences::accept() {
    WriteProfileInt(profile::kCreateLogFile, m_createLogFile->isChecked() ? 1 : 0);
    WriteProfileInt(profile::kBackupPromptDontShowAgain, m_askBackupOptions->isChecked() ? 0 : 1);
    WriteProfileInt(profile::kRestorePromptDontShowAgain, m_askRestoreOptions->isChecked() ? 0 : 1);
    QDialog::accept();
}

void CPreferences::ViewLogs() {
    const std::filesystem::path folder = GetLogFolder();
    std::error_code error;
    // Something already there (even a file) is left alone; the browser shows what it is.
    if (!std::filesystem::exists(std::filesystem::symlink_status(folder, error))) {
        CreateLogFolder(folder);
    }
    m_opener(folder);
}

}  // namespace tkw
