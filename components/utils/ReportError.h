#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tkw {

// Tells the user about a failure they must see: `message` is the program's fixed text, `errorCode`
// the system's error number (errno), 0 when there is none. Returns, and the caller goes on.
// The GUI shows a message box, the command-line tool prints to standard error; until a front end
// installs its own handler the text goes to standard error.
void ReportError(std::string_view message, int errorCode);

using ErrorReporter = std::function<void(const std::string& message, int errorCode)>;

// Installs the handler ReportError calls and returns the previous one. Passing an empty function
// restores the standard-error handler. Safe to call from any thread.
ErrorReporter SetErrorReporter(ErrorReporter reporter);

// The system's description of an error number, e.g. "No such file or directory".
std::string SystemErrorText(int errorCode);

// The one-line form used on standard error: "message (system text, error N)".
std::string FormatErrorReport(std::string_view message, int errorCode);

}  // namespace tkw
