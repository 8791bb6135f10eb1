#include "components/utils/StringUtils.h"

namespace tkw {

std::string& ENSURE_SLASH(std::string& path) {
    while (path.size() > 1 && path.back() == kPathSeparator &&
           path[path.size() - 2] == kPathSeparator) {
        path.pop_back();
    }
    if (path.empty() || path.back() != kPathSeparator) {
        path.push_back(kPathSeparator);
    }
    return path;
}

std::string INTRE_GHILIMELE(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

std::string IntToString(std::int32_t value) {
    return std::to_string(value);
}

std::string UintToString(std::uint32_t value) {
    return std::to_string(value);
}

std::string Int64ToString(std::int64_t value) {
    return std::to_string(value);
}

}  // namespace tkw
