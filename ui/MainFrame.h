#pragma once

#include <QMainWindow>

namespace tkw {

// The main window. It tells the application when the user closes it, before any of its windows is
// destroyed, so that the last log lines still reach the output pane; then it saves its layout.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    // Puts the window back where the last session left it.
    void RestoreLayout();

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SaveLayout();
};

}  // namespace tkw
