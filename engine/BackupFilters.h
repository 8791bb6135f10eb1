#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "components/utils/LocalTime.h"

namespace tkw {

struct ExclusiveFile;

// The five backup filters, in their fixed order: creation date and time, size, file type, words in
// the path, words in the content of .txt files. Every setting is read from the store for every
// file judged, so a change takes effect at the next file.
class CBackupFilters {
public:
    // Where the filters get the clock and a file's creation time; tests replace both, since a
    // file's birth time cannot be set.
    struct Environment {
        // The creation time of the file open as `fd` (-1 for a symbolic link, judged by `path`).
        std::function<std::optional<LocalDateTime>(int fd, const std::filesystem::path& path)>
            creationTime;
        std::function<LocalDateTime()> now;
    };

    CBackupFilters();
    explicit CBackupFilters(Environment environment);

    // True when one of the filters excludes the file; may write the size filter's log line. The
    // file is judged by its path and opened through `access` when that is given (a path too long
    // for the path calls is reached through its open folder). When `opened` is given, it receives
    // the regular file the size filter opened (and unlocked again), for reading it without opening
    // it again.
    bool IsExcludedByFilters(const std::filesystem::path& path,
                             const std::filesystem::path& access = {},
                             ExclusiveFile* opened = nullptr) const;

    bool ExcludedByDateAndTime(const std::filesystem::path& path,
                               const std::filesystem::path& access = {}) const;
    bool ExcludedBySize(const std::filesystem::path& path, const std::filesystem::path& access = {},
                        ExclusiveFile* opened = nullptr) const;
    bool ExcludedByFileType(const std::filesystem::path& path) const;
    bool ExcludedByPathWords(const std::filesystem::path& path) const;
    bool ExcludedByContentWords(const std::filesystem::path& path,
                                const std::filesystem::path& access = {}) const;

private:
    bool SizeExcludes(std::int64_t size) const;
    std::optional<LocalDateTime> CreationTime(const std::filesystem::path& path,
                                              const std::filesystem::path& access) const;

    Environment m_environment;
};

}  // namespace tkw
