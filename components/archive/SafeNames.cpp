#include "components/archive/SafeNames.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace tkw::archive {
namespace {

// Calls `visit` with each non-empty component of a '/'-separated name.
template <typename Visit>
void ForEachComponent(std::string_view name, Visit&& visit) {
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        if (end > start) {
            visit(name.substr(start, end - start));
        }
        start = end + 1;
    }
}

}  // namespace

bool IsNameSafeUnderFolder(std::string_view name) {
    if (name.find('\0') != std::string_view::npos) {
        return false;
    }
    bool anyComponent = false;
    bool dotComponent = false;
    ForEachComponent(name, [&](std::string_view component) {
        dotComponent = dotComponent || component == "." || component == "..";
        anyComponent = true;
    });
    return anyComponent && !dotComponent;
}

std::optional<NameBelowFolder> SplitNameBelowFolder(std::string_view name) {
    if (!IsNameSafeUnderFolder(name)) {
        return std::nullopt;
    }
    NameBelowFolder split;
    ForEachComponent(name,
                     [&](std::string_view component) { split.folders.emplace_back(component); });
    split.file = std::move(split.folders.back());
    split.folders.pop_back();
    return split;
}

// O_NOFOLLOW with O_DIRECTORY refuses a link whatever it points to; mkdirat never follows one
// either. Most folders exist already: they are opened first and made only when missing.
UniqueFd OpenOrCreateFolderIn(int at, const std::string& name, const std::filesystem::path& shown,
                              std::string& error) {
    const auto open = [&] {
        return UniqueFd(::openat(at, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    };
    UniqueFd fd = open();
    if (!fd.Valid() && errno == ENOENT) {
        if (::mkdirat(at, name.c_str(), 0777) != 0 && errno != EEXIST) {
            error = "cannot create the folder " + shown.native() + ": " + std::strerror(errno);
            return UniqueFd();
        }
        fd = open();
    }
    struct stat info {};
    if (fd.Valid() && ::fstat(fd.Get(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return fd;
    }
    if (!fd.Valid() && errno != ENOTDIR && errno != ELOOP) {
        error = "cannot open the folder " + shown.native() + ": " + std::strerror(errno);
    } else if (::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISLNK(info.st_mode)) {
        error = shown.native() + " is a symbolic link: nothing is restored through it";
    } else {
        error = shown.native() + " is not a folder";
    }
    return UniqueFd();
}

}  // namespace tkw::archive
