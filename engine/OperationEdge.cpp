#include "engine/OperationEdge.h"

#include <exception>

#include "components/utils/ReportError.h"
#include "shell/logger/Logger.h"

namespace tkw {

std::string CurrentExceptionText() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an unknown error";
    }
}

std::string ReportOperationFailure(std::string_view operation) noexcept {
    try {
        const std::string text = std::string(operation) + " failed: " + CurrentExceptionText();
        WriteTimedLine(" " + text + "!");
        ReportError(text, 0);
        return text;
    } catch (...) {
        return {};  // with no memory left even for the line, the failed result must still go out
    }
}

}  // namespace tkw
