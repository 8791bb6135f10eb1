#pragma once

#include <QWidget>

#include "dialogs/FolderPicker.h"

class QCheckBox;
class QLineEdit;

namespace tkw {

// The general page of the backup options: whether originals are deleted after a backup, the
// backup folder and the backup file's name. The controls hold the values between loading and
// saving.
class CBackupOptions_A : public QWidget {
    Q_OBJECT
public:
    explicit CBackupOptions_A(QWidget* parent);
    void Save() const;
    void SetFolderPicker(FolderPicker picker) { m_picker = std::move(picker); }

private:
    void Load();
    void Browse();

    QCheckBox* m_deleteOriginals;
    QLineEdit* m_folder;
    QLineEdit* m_fileName;
    FolderPicker m_picker;
};

}  // namespace tkw
