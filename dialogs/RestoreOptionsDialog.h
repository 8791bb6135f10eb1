#pragma once

#include <QDialog>

#include "dialogs/FolderPicker.h"

class QLineEdit;
class QRadioButton;
class QToolButton;

namespace tkw {

// Where a restore puts its files and what it does with a file that exists. Opening reads the
// stored options; OK writes them; Cancel, Escape and the close box store nothing.
class CRestoreOptions : public QDialog {
    Q_OBJECT
public:
    explicit CRestoreOptions(QWidget* parent);
    void accept() override;
    // Replaces the system's folder picker behind the browse button (tests have no one to answer).
    void SetFolderPicker(FolderPicker picker) { m_picker = std::move(picker); }

private:
    void Load();
    void Browse();
    void SetFolderEnabled(bool enabled);

    QRadioButton* m_overwrite;
    QRadioButton* m_skip;
    QRadioButton* m_ask;
    QRadioButton* m_originalPath;
    QRadioButton* m_followingPath;
    QLineEdit* m_folder;
    QToolButton* m_browse;
    FolderPicker m_picker;
};

}  // namespace tkw
