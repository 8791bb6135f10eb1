#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace tkw {

// Shows a message box with an OK button, modal to the main window if there is one, and writes the
// text to standard error as well. With TARNWICK_NO_MESSAGE_BOXES=1 in the environment only the
// standard-error line is written, so scripts and tests never wait on a box nobody sees.
// Callable from any thread: a worker waits until the user has closed the box.
void ShowMessage(const QString& text, QMessageBox::Icon icon = QMessageBox::Warning);

// Asks a question with Yes and No buttons, modal to `parent`, and writes it to standard error as
// well; true for Yes. With message boxes switched off (as above) nobody can answer, and the answer
// is `unattendedAnswer`. Callable from any thread.
bool AskYesNo(QWidget* parent, const QString& question, bool unattendedAnswer,
              QMessageBox::Icon icon = QMessageBox::Question);

// Makes ReportError show its message and the system's description of the error code this way.
void InstallGuiErrorReporter();

}  // namespace tkw
