#include "components/archive/SafeNames.h"

namespace tkw::archive {

bool IsNameSafeUnderFolder(std::string_view name) {
    if (name.find('\0') != std::string_view::npos) {
        return false;
    }
    bool anyComponent = false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const std::string_view component = name.substr(start, end - start);
        if (component == "." || component == "..") {
            return false;
        }
        anyComponent = anyComponent || !component.empty();
        start = end + 1;
    }
    return anyComponent;
}

std::optional<std::filesystem::path> PlaceUnderFolder(const std::filesystem::path& folder,
                                                      std::string_view name) {
    if (!IsNameSafeUnderFolder(name)) {
        return std::nullopt;
    }
    const std::size_t first = name.find_first_not_of('/');
    return folder / std::filesystem::path(std::string(name.substr(first)));
}

}  // namespace tkw::archive
