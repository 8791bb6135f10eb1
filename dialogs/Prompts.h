#pragma once

#include <QDialog>
#include <QString>

#include "engine/EngineHost.h"

class QCheckBox;
class QLabel;
class QRadioButton;

namespace tkw {

// The prompt before a backup or a restore ("Backup Options" / "Restore Options", "Don't show this
// message again", OK). OK stores the check box in its settings key; Escape stores nothing.
class COptionsOrProceed : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Backup, Restore };
    COptionsOrProceed(Kind kind, QWidget* parent);
    void accept() override;

private:
    Kind m_kind;
    QCheckBox* m_dontShow;
};

// "The file ... already exists!": Overwrite or Skip, with "Don't ask me again". Each answer
// stores the policy; Escape answers Cancelled and stores nothing.
class CFileAlreadyExists : public QDialog {
    Q_OBJECT
public:
    CFileAlreadyExists(const QString& text, QWidget* parent);
    IEngineHost::FileExistsAnswer Answer() const { return m_answer; }

private:
    void Choose(bool overwrite);

    IEngineHost::FileExistsAnswer m_answer = IEngineHost::FileExistsAnswer::Cancelled;
    QCheckBox* m_dontAsk;
};

// "The backup file ... already exists!": append (storage type 0 only), overwrite, or a new
// location (selected when it opens).
class CBackupFileAlreadyExists : public QDialog {
    Q_OBJECT
public:
    CBackupFileAlreadyExists(const QString& backupFile, int storageType, QWidget* parent);
    IEngineHost::BackupFileAnswer Answer() const;

private:
    QRadioButton* m_append;
    QRadioButton* m_overwrite;
    QRadioButton* m_newLocation;
};

// The status dialog at the end of a backup or a restore: a caption and the counts.
class CStatusDialog : public QDialog {
    Q_OBJECT
public:
    CStatusDialog(const QString& caption, const QString& text, QWidget* parent);
};

}  // namespace tkw
