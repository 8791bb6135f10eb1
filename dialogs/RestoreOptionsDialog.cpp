#include "dialogs/RestoreOptionsDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "dialogs/DialogButtons.h"
#include "engine/RestoreOptions.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {

CRestoreOptions::CRestoreOptions(QWidget* parent)
    : QDialog(parent), m_picker(SystemFolderPicker()) {
    setObjectName(QStringLiteral("RestoreOptions"));
    setWindowTitle(QStringLiteral("Restore Options"));

    auto* action = new QGroupBox(
        QStringLiteral("Action to take when a file already exists on the same path"), this);
    m_overwrite =
        NamedButton<QRadioButton>(QStringLiteral("Overwrite"), QStringLiteral("Overwrite"), action);
    m_skip = NamedButton<QRadioButton>(QStringLiteral("Skip"), QStringLiteral("Skip"), action);
    m_ask =
        NamedButton<QRadioButton>(QStringLiteral("Ask user"), QStringLiteral("AskUser"), action);
    auto* actionLayout = new QHBoxLayout(action);
    actionLayout->addWidget(m_overwrite);
    actionLayout->addWidget(m_skip);
    actionLayout->addWidget(m_ask);
    actionLayout->addStretch();

    auto* where =
        new QGroupBox(QStringLiteral("The restore path of files and folders will be"), this);
    m_originalPath = NamedButton<QRadioButton>(
        QStringLiteral("The original path (the path showed in right panel)"),
        QStringLiteral("OriginalPath"), where);
    m_followingPath = NamedButton<QRadioButton>(QStringLiteral("The following path"),
                                                QStringLiteral("FollowingPath"), where);
    m_folder = new QLineEdit(where);
    m_folder->setObjectName(QStringLiteral("RestorePath"));
    m_folder->setMinimumWidth(340);
    m_browse = new QToolButton(where);
    m_browse->setObjectName(QStringLiteral("Browse"));
    m_browse->setText(QStringLiteral("..."));
    auto* folderRow = new QHBoxLayout();
    folderRow->addWidget(m_followingPath);
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_browse);
    auto* whereLayout = new QVBoxLayout(where);
    whereLayout->addWidget(m_originalPath);
    whereLayout->addLayout(folderRow);

    // The text stays as it is when the choice changes; only whether it can be edited follows it.
    connect(m_originalPath, &QRadioButton::clicked, this, [this] { SetFolderEnabled(false); });
    connect(m_followingPath, &QRadioButton::clicked, this, [this] { SetFolderEnabled(true); });
    connect(m_browse, &QToolButton::clicked, this, &CRestoreOptions::Browse);

    QDialogButtonBox* buttons = OkCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(action);
    layout->addWidget(where);
    layout->addWidget(buttons);
    Load();
}

void CRestoreOptions::Load() {
    m_folder->setText(QString::fromStdString(GetProfileString(profile::kRestorePath)));
    // A long folder shows from its start, where it can be recognised.
    m_folder->setCursorPosition(0);
    // A value the dialog does not know ticks neither choice and leaves the folder editable.
    const std::int32_t mode = GetProfileInt(profile::kRestorePathOfFiles);
    m_originalPath->setChecked(mode == IRestoreOptions::kOriginalPaths);
    m_followingPath->setChecked(mode == IRestoreOptions::kUnderFolder);
    SetFolderEnabled(mode != IRestoreOptions::kOriginalPaths);
    const std::int32_t policy = GetProfileInt(profile::kActionToTakeWhenFileAlreadyExists);
    m_overwrite->setChecked(policy == IRestoreOptions::kOverwrite);
    m_skip->setChecked(policy == IRestoreOptions::kSkip);
    m_ask->setChecked(policy == IRestoreOptions::kAsk);
}

void CRestoreOptions::SetFolderEnabled(bool enabled) {
    m_folder->setEnabled(enabled);
    m_browse->setEnabled(enabled);
}

void CRestoreOptions::Browse() {
    const QString chosen = m_picker(this, m_folder->text());
    if (!chosen.isEmpty()) {
        m_folder->setText(chosen);
    }
}

void CRestoreOptions::accept() {
    // A choice with nothing ticked keeps whatever is stored.
    if (m_overwrite->isChecked()) {
        WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, IRestoreOptions::kOverwrite);
    } else if (m_skip->isChecked()) {
        WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, IRestoreOptions::kSkip);
    } else if (m_ask->isChecked()) {
        WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists, IRestoreOptions::kAsk);
    }
    if (m_originalPath->isChecked()) {
        WriteProfileInt(profile::kRestorePathOfFiles, IRestoreOptions::kOriginalPaths);
    } else if (m_followingPath->isChecked()) {
        WriteProfileInt(profile::kRestorePathOfFiles, IRestoreOptions::kUnderFolder);
    }
    // Stored whatever the choice, empty included: the run asks for a folder when it needs one.
    WriteProfileString(profile::kRestorePath, m_folder->text().toStdString());
    QDialog::accept();
}

}  // namespace tkw
