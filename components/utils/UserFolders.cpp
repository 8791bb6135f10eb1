#include "components/utils/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace tkw {
namespace {

std::filesystem::path ConfigHome(const std::filesystem::path& home) {
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    if (configured != nullptr && configured[0] == '/') {
        return configured;
    }
    return home / ".config";
}

// Reads one entry of user-dirs.dirs, lines such as XDG_DOCUMENTS_DIR="$HOME/Documents".
std::optional<std::filesystem::path> ReadUserDir(const std::filesystem::path& file,
                                                 const std::string& name,
                                                 const std::filesystem::path& home) {
    std::ifstream in(file);
    std::string line;
    const std::string prefix = name + "=\"";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"') {
            continue;
        }
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        if (value.rfind("$HOME", 0) == 0) {
            value = home.native() + value.substr(5);
        }
        // The format allows only absolute values.
        if (value.empty() || value[0] != '/') {
            return std::nullopt;
        }
        return std::filesystem::path(value);
    }
    return std::nullopt;
}

}  // namespace

std::filesystem::path GetHomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_dir) {
        return entry->pw_dir;
    }
    return "/";
}

std::filesystem::path GetStateDirectory() {
    const char* configured = std::getenv("XDG_STATE_HOME");
    if (configured != nullptr && configured[0] == '/') {
        return configured;
    }
    return GetHomeDirectory() / ".local" / "state";
}

std::filesystem::path GetMyDocumentsDirectory() {
    const std::filesystem::path home = GetHomeDirectory();
    if (auto configured =
            ReadUserDir(ConfigHome(home) / "user-dirs.dirs", "XDG_DOCUMENTS_DIR", home)) {
        return *configured;
    }
    return home / "Documents";
}

}  // namespace tkw
