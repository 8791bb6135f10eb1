#pragma once

#include <string>
#include <string_view>

namespace tkw {

// Nothing escapes an operation (a backup, a load, a restore, a command of the command-line tool,
// a worker of the window): whatever it did not expect, such as std::bad_alloc or a
// std::filesystem::filesystem_error, ends that operation alone as a failure the user is told of.

// The text of the exception being handled: its what() for a standard exception. Call only inside
// a catch block.
std::string CurrentExceptionText();

// Logs " <operation> failed: <what>!" and reports it (a message box in the window, standard error
// in the command-line tool). Returns the text of the failure. Never throws; call only inside a
// catch block.
std::string ReportOperationFailure(std::string_view operation) noexcept;

}  // namespace tkw
