#include "dialogs/BackupOptionsGeneralPage.h"
#include "dialogs/DialogButtons.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/profile/ProfileKeys.h"

namespace tkw {

CBackupOptions_A::CBackupOptions_A(QWidget* parent)
    : QWidget(parent), m_picker(SystemFolderPicker()) {
    setObjectName(QStringLiteral("BackupOptions_A"));
    auto* general = new QGroupBox(QStringLiteral("General"), this);
    m_deleteOriginals =
        NamedButton<QCheckBox>(QStringLiteral("Delete original files after backup"),
                               QStringLiteral("DeleteOriginalFilesAfterBackup"), general);
    m_folder = new QLineEdit(general);
    m_folder->setObjectName(QStringLiteral("BrowseForFolderPath"));
    m_folder->setMinimumWidth(320);
    auto* browse = new QToolButton(general);
    browse->setObjectName(QStringLiteral("Browse"));
    browse->setText(QStringLiteral("..."));
    m_fileName = new QLineEdit(general);
    m_fileName->setObjectName(QStringLiteral("BackupFilename"));

    auto* grid = new QGridLayout(general);
    grid->addWidget(m_deleteOriginals, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Backup folder path"), general), 1, 0);
    grid->addWidget(m_folder, 1, 1);
    grid->addWidget(browse, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Backup file name"), general), 2, 0);
    grid->addWidget(m_fileName, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(general);
    layout->addStretch();
    connect(browse, &QToolButton::clicked, this, &CBackupOptions_A::Browse);
    Load();
}

void CBackupOptions_A::Load() {
    m_deleteOriginals->setChecked(GetProfileInt(profile::kDeleteOriginalFilesAfterBackup) == 1);
    m_folder->setText(QString::fromStdString(GetProfileString(profile::kBrowseForFolderPath)));
    m_folder->setCursorPosition(0);  // a long folder shows from its start
    m_fileName->setText(QString::fromStdString(GetProfileString(profile::kBackupFilename)));
}

void CBackupOptions_A::Browse() {
    const QString chosen = m_picker(this, m_folder->text());
    if (!chosen.isEmpty()) {
        m_folder->setText(chosen);
    }
}

void CBackupOptions_A::Save() const {
    // Neither text is checked: an empty name or folder is stored as it is. The storage type is
    // not shown here and keeps what is stored.
    WriteProfileString(profile::kBackupFilename, m_fileName->text().toStdString());
    WriteProfileString(profile::kBrowseForFolderPath, m_folder->text().toStdString());
    WriteProfileInt(profile::kDeleteOriginalFilesAfterBackup,
                    m_deleteOriginals->isChecked() ? 1 : 0);
}

}  // namespace tkw
