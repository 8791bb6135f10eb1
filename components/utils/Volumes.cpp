#include "components/utils/Volumes.h"

#include <sys/statvfs.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace tkw {
namespace fs = std::filesystem;
namespace {

// mountinfo writes blanks, tabs, newlines and backslashes in paths as three octal digits.
std::string DecodeOctalEscapes(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

bool IsPrefixPath(const fs::path& prefix, const fs::path& path) {
    auto p = path.begin();
    for (auto q = prefix.begin(); q != prefix.end(); ++q, ++p) {
        if (q->empty()) {
            continue;  // a trailing separator of the prefix
        }
        if (p == path.end() || *p != *q) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    // Fields: id parent major:minor root mount-point options [optional...] - type source super
    std::vector<MountEntry> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> parts{std::istream_iterator<std::string>(fields),
                                       std::istream_iterator<std::string>()};
        std::size_t dash = 6;
        while (dash < parts.size() && parts[dash] != "-") {
            ++dash;
        }
        if (parts.size() < 5 || dash + 1 >= parts.size()) {
            continue;
        }
        mounts.push_back({DecodeOctalEscapes(parts[4]), parts[dash + 1]});
    }
    return mounts;
}

std::vector<MountEntry> ReadMountTable() {
    std::ifstream in("/proc/self/mountinfo");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseMountInfo(text);
}

fs::path NearestExistingAncestor(const fs::path& path) {
    std::error_code error;
    fs::path current = fs::absolute(path, error).lexically_normal();
    if (error) {
        return "/";
    }
    while (!fs::exists(current, error) && current.has_relative_path()) {
        current = current.parent_path();
    }
    return current;
}

fs::path FindMountPoint(const std::vector<MountEntry>& mounts, const fs::path& resolvedPath) {
    // The longest mount point that contains the path; among equals the last mounted wins.
    fs::path best = "/";
    std::size_t bestLength = 0;
    for (const MountEntry& mount : mounts) {
        const std::size_t length = std::distance(mount.mountPoint.begin(), mount.mountPoint.end());
        if (length >= bestLength && IsPrefixPath(mount.mountPoint, resolvedPath)) {
            best = mount.mountPoint;
            bestLength = length;
        }
    }
    return best;
}

fs::path GetDriveOfPath(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::canonical(NearestExistingAncestor(path), error);
    if (error) {
        resolved = NearestExistingAncestor(path);
    }
    return FindMountPoint(ReadMountTable(), resolved);
}

std::optional<bool> VolumeIsReadOnly(const fs::path& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return (info.f_flag & ST_RDONLY) != 0;
}

std::uint64_t MyGetDiskFreeSpaceExHelper(const fs::path& path) {
    // The path itself first: asked once per file during a backup, it nearly always exists.
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0 &&
        ::statvfs(NearestExistingAncestor(path).c_str(), &info) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace tkw
