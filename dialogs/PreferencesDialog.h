#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>

class QCheckBox;

namespace tkw {

// The log file switch, "View Logs", and whether the prompts before a backup and a restore appear.
// Opening reads the store; OK writes it; Cancel, Escape and the close box store nothing.
class CPreferences : public QDialog {
    Q_OBJECT
public:
    // Shows a folder in the system's file browser.
    using FolderOpener = std::function<void(const std::filesystem::path& folder)>;

    // Without an opener the folder goes to the desktop (QDesktopServices).
    explicit CPreferences(QWidget* parent, FolderOpener opener = {});
    void accept() override;

private:
    void ViewLogs();

    QCheckBox* m_createLogFile;
    QCheckBox* m_askBackupOptions;
    QCheckBox* m_askRestoreOptions;
    FolderOpener m_opener;
};

}  // namespace tkw
