#pragma once

#include <QString>

namespace tkw {

// Shows a message box with an OK button, modal to the main window if there is one, and writes the
// text to standard error as well. With TARNWICK_NO_MESSAGE_BOXES=1 in the environment only the
// standard-error line is written, so scripts and tests never wait on a box nobody sees.
// Callable from any thread: a worker waits until the user has closed the box.
void ShowMessage(const QString& text);

// Makes ReportError show its message and the system's description of the error code this way.
void InstallGuiErrorReporter();

}  // namespace tkw
