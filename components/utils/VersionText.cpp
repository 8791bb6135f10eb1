#include "components/utils/VersionText.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace tkw {

std::optional<VersionNumbers> SplitVersion(std::string_view text) {
    std::vector<std::string> parts;
    std::size_t position = 0;
    while (parts.size() < 4) {
        position = text.find_first_not_of('.', position);
        if (position == std::string_view::npos) {
            break;
        }
        const std::size_t stop = std::min(text.find('.', position), text.size());
        parts.emplace_back(text.substr(position, stop - position));
        position = stop;
    }
    if (parts.size() < 3) {
        return std::nullopt;
    }
    VersionNumbers numbers{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        numbers[i] = std::strtol(parts[i].c_str(), nullptr, 10);
    }
    return numbers;
}

bool IsNewerVersion(const VersionNumbers& published, const VersionNumbers& installed) {
    return published > installed;
}

}  // namespace tkw
