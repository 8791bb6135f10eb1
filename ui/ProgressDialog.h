#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tkw {

// The progress dialog of a run: a title, one line of text shortened in the middle to fit, an
// optional progress bar and a Cancel button. Cancel (the button, Escape or the close box) only
// says so through cancelRequested; the host turns that into the flag the worker reads. It is not
// modal: a modal dialog would keep the window manager's close requests from the main window, so
// the host disables the main window's contents instead.
class CProgressDialog : public QDialog {
    Q_OBJECT
public:
    // `flags` as the engine passes them: 21 (a backup) shows no progress bar.
    CProgressDialog(QWidget* parent, const QString& title, int flags);

    void SetLine(const QString& text);
    void SetProgress(quint64 completed, quint64 total);

signals:
    void cancelRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;  // Escape and the close box cancel as the button does

private:
    void UpdateLine();
    void Cancel();

    QString m_line;
    QLabel* m_label;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};

}  // namespace tkw
