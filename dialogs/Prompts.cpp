#include "dialogs/Prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "dialogs/BackupOptionsDialog.h"
#include "dialogs/RestoreOptionsDialog.h"
#include "engine/RestoreOptions.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {

COptionsOrProceed::COptionsOrProceed(Kind kind, QWidget* parent)
    : QDialog(parent),
      m_kind(kind),
      m_dontShow(new QCheckBox(QStringLiteral("Don't show this message again"), this)) {
    setObjectName(kind == Kind::Backup ? QStringLiteral("BackupOptionsOrProceed")
                                       : QStringLiteral("RestoreOptionsOrProceed"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    auto* options = new QPushButton(
        kind == Kind::Backup ? QStringLiteral("Backup Options") : QStringLiteral("Restore Options"),
        this);
    options->setObjectName(QStringLiteral("Options"));
    // The run reads these options item by item (the backup file's place and name were fixed
    // before the prompt), so what is stored here applies to the run about to start.
    connect(options, &QPushButton::clicked, this, [this] {
        if (m_kind == Kind::Backup) {
            CBackupOptions dialog(this);
            dialog.exec();
        } else {
            CRestoreOptions dialog(this);
            dialog.exec();
        }
    });
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options);
    layout->addWidget(m_dontShow);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

void COptionsOrProceed::accept() {
    const auto& key = m_kind == Kind::Backup ? profile::kBackupPromptDontShowAgain
                                             : profile::kRestorePromptDontShowAgain;
    WriteProfileInt(key, m_dontShow->isChecked() ? 1 : 0);
    QDialog::accept();
}

CFileAlreadyExists::CFileAlreadyExists(const QString& text, QWidget* parent)
    : QDialog(parent), m_dontAsk(new QCheckBox(QStringLiteral("Don't ask me again"), this)) {
    setObjectName(QStringLiteral("FileAlreadyExists"));
    setWindowTitle(QStringLiteral("The file already exists!"));
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    auto* message = new QLabel(text, this);
    message->setObjectName(QStringLiteral("Message"));
    message->setWordWrap(true);
    message->setMinimumWidth(360);
    auto* overwrite = new QPushButton(QStringLiteral("Overwrite"), this);
    auto* skip = new QPushButton(QStringLiteral("Skip"), this);
    overwrite->setAutoDefault(false);
    skip->setAutoDefault(false);
    connect(overwrite, &QPushButton::clicked, this, [this] { Choose(true); });
    connect(skip, &QPushButton::clicked, this, [this] { Choose(false); });
    auto* top = new QHBoxLayout();
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(message, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_dontAsk);
    buttons->addStretch();
    buttons->addWidget(overwrite);
    buttons->addWidget(skip);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    QApplication::beep();
}

void CFileAlreadyExists::Choose(bool overwrite) {
    m_answer =
        overwrite ? IEngineHost::FileExistsAnswer::Overwrite : IEngineHost::FileExistsAnswer::Skip;
    StoreFileExistsAnswer(overwrite, m_dontAsk->isChecked());
    accept();
}

CBackupFileAlreadyExists::CBackupFileAlreadyExists(const QString& backupFile, int storageType,
                                                   QWidget* parent)
    : QDialog(parent),
      m_append(new QRadioButton(QStringLiteral("Append to existing backup"), this)),
      m_overwrite(new QRadioButton(QStringLiteral("Overwrite existing backup"), this)),
      m_newLocation(new QRadioButton(QStringLiteral("Specify a new backup location"), this)) {
    setObjectName(QStringLiteral("BackupFileAlreadyExists"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    auto* message = new QLabel(
        QStringLiteral("The backup file ") + backupFile + QStringLiteral(" already exists!"), this);
    message->setWordWrap(true);
    message->setMinimumWidth(420);
    m_append->setVisible(storageType == 0);
    m_newLocation->setChecked(true);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* start = buttons->addButton(QStringLiteral("Start"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    start->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addWidget(m_append);
    layout->addWidget(m_overwrite);
    layout->addWidget(m_newLocation);
    layout->addWidget(buttons);
}

IEngineHost::BackupFileAnswer CBackupFileAlreadyExists::Answer() const {
    if (result() != QDialog::Accepted) {
        return IEngineHost::BackupFileAnswer::Cancelled;
    }
    if (m_append->isChecked()) {
        return IEngineHost::BackupFileAnswer::Append;
    }
    return m_overwrite->isChecked() ? IEngineHost::BackupFileAnswer::Overwrite
                                    : IEngineHost::BackupFileAnswer::NewLocation;
}

CStatusDialog::CStatusDialog(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("StatusDialog"));
    setWindowTitle(caption);
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("Counts"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(ok, 0, Qt::AlignRight);
    setMinimumWidth(300);
}

}  // namespace tkw
