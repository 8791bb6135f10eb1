#include "components/utils/ReportError.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

namespace tkw {
namespace {

std::mutex& ReporterMutex() {
    static std::mutex mutex;
    return mutex;
}

ErrorReporter& InstalledReporter() {
    static ErrorReporter reporter;
    return reporter;
}

void ReportToStandardError(const std::string& message, int errorCode) {
    const std::string line = FormatErrorReport(message, errorCode) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

void ReportError(std::string_view message, int errorCode) {
    ErrorReporter reporter;
    {
        std::lock_guard lock(ReporterMutex());
        reporter = InstalledReporter();
    }
    // Called outside the lock: a GUI handler may wait for the user.
    if (reporter) {
        reporter(std::string(message), errorCode);
    } else {
        ReportToStandardError(std::string(message), errorCode);
    }
}

ErrorReporter SetErrorReporter(ErrorReporter reporter) {
    std::lock_guard lock(ReporterMutex());
    return std::exchange(InstalledReporter(), std::move(reporter));
}

std::string SystemErrorText(int errorCode) {
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in `buffer`.
    return ::strerror_r(errorCode, buffer, sizeof buffer);
}

std::string FormatErrorReport(std::string_view message, int errorCode) {
    std::string line(message);
    if (errorCode != 0) {
        line += " (" + SystemErrorText(errorCode) + ", error " + std::to_string(errorCode) + ")";
    }
    return line;
}

}  // namespace tkw
