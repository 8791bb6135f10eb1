#include "engine/BackupFilters.h"

#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <string>

#include "components/utils/FileTimes.h"
#include "components/utils/ReportError.h"
#include "components/utils/StringUtils.h"
#include "components/utils/TextEncoding.h"
#include "components/utils/UniqueFd.h"
#include "engine/ExclusiveOpen.h"
#include "engine/TextRules.h"
#include "shell/logger/Logger.h"
#include "shell/profile/FileTypeList.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "shell/profile/Stamp.h"

namespace tkw {
namespace fs = std::filesystem;
namespace {

enum Condition { kBefore = 0, kBetween = 1, kAfter = 2 };
enum SizeCondition { kAtLeast = 0, kAtMost = 1, kSizeBetween = 2 };

// "Include only" excludes what does not match; "Exclude" (and any other value) what matches.
bool Decide(std::int32_t sense, bool matches) {
    return sense == profile::kIncludeOnly ? !matches : matches;
}

bool MatchesCondition(std::int32_t condition, std::time_t value, std::time_t first,
                      std::time_t second) {
    switch (condition) {
        case kBefore:
            return value < first;
        case kBetween:
            return first < value && value < second;
        case kAfter:
            return value > first;
        default:
            return true;
    }
}

std::time_t Seconds(const LocalDateTime& local) {
    return ToTimeT(local).value_or(0);
}

LocalDateTime AtMidnight(LocalDateTime local) {
    local.hour = local.minute = local.second = 0;
    return local;
}

LocalDateTime OnDate(LocalDateTime time, const LocalDateTime& date) {
    time.year = date.year;
    time.month = date.month;
    time.day = date.day;
    return time;
}

bool ContainsAnyWord(std::string_view text, const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (text.find(word) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// Size limits in bytes: value × 1024^unit, saturating.
std::int64_t ToBytes(std::int64_t value, std::int32_t unit) {
    std::int64_t bytes = value;
    for (std::int32_t i = 0; i < unit; ++i) {
        if (__builtin_mul_overflow(bytes, std::int64_t{1024}, &bytes)) {
            return value < 0 ? std::numeric_limits<std::int64_t>::min()
                             : std::numeric_limits<std::int64_t>::max();
        }
    }
    return bytes;
}

// The path by which a file is opened.
const fs::path& Reach(const fs::path& path, const fs::path& access) {
    return access.empty() ? path : access;
}

}  // namespace

CBackupFilters::CBackupFilters() : CBackupFilters(Environment{}) {}

CBackupFilters::CBackupFilters(Environment environment) : m_environment(std::move(environment)) {
    if (!m_environment.creationTime) {
        m_environment.creationTime = [](int fd, const fs::path& path) {
            return fd >= 0 ? GetCreationTime(fd) : GetCreationTime(path);
        };
    }
    if (!m_environment.now) {
        m_environment.now = NowLocal;
    }
}

bool CBackupFilters::IsExcludedByFilters(const fs::path& path, const fs::path& access,
                                         ExclusiveFile* opened) const {
    return ExcludedByDateAndTime(path, access) || ExcludedBySize(path, access, opened) ||
           ExcludedByFileType(path) || ExcludedByPathWords(path) ||
           ExcludedByContentWords(path, access);
}

std::optional<LocalDateTime> CBackupFilters::CreationTime(const fs::path& path,
                                                          const fs::path& access) const {
    // Each condition opens the file anew, exclusively; a file in use is excluded.
    const auto file = OpenExclusively(Reach(path, access));
    if (!file) {
        return std::nullopt;
    }
    return m_environment.creationTime(file->isLink ? -1 : file->fd.Get(), Reach(path, access));
}

bool CBackupFilters::ExcludedByDateAndTime(const fs::path& path, const fs::path& access) const {
    const std::int32_t dateOn = GetProfileInt(profile::kDateCheckButton);
    const std::int32_t timeOn = GetProfileInt(profile::kTimeCheckButton);
    if (dateOn == 0 && timeOn == 0) {
        return false;
    }
    const LocalDateTime today = m_environment.now();
    const std::int32_t sense = GetProfileInt(profile::kDateTimeIncludeOrExclude);
    std::optional<bool> matches;  // the result of the last condition evaluated

    if (dateOn == 1) {
        auto created = CreationTime(path, access);
        if (!created) {
            return true;
        }
        if (timeOn == 0) {
            created = AtMidnight(*created);
        }
        const auto first = LocalFromStamp(GetProfileInt(profile::kDateInteger0));
        const auto second = LocalFromStamp(GetProfileInt(profile::kDateInteger1));
        if (!first || !second) {
            return false;  // both dates must be set, even for "Before" and "After"
        }
        matches =
            MatchesCondition(GetProfileInt(profile::kDateBeforeBetweenAfter), Seconds(*created),
                             Seconds(AtMidnight(*first)), Seconds(AtMidnight(*second)));
        if (!*matches) {
            return Decide(sense, false);
        }
    }
    if (timeOn == 1) {
        const auto created = CreationTime(path, access);
        if (!created) {
            return true;
        }
        const auto first = LocalFromStamp(GetProfileInt(profile::kTimeInteger0));
        const auto second = LocalFromStamp(GetProfileInt(profile::kTimeInteger1));
        if (!first || !second) {
            return false;
        }
        matches = MatchesCondition(GetProfileInt(profile::kTimeBeforeBetweenAfter),
                                   Seconds(OnDate(*created, today)), Seconds(OnDate(*first, today)),
                                   Seconds(OnDate(*second, today)));
    }
    return matches && Decide(sense, *matches);
}

bool CBackupFilters::ExcludedBySize(const fs::path& path, const fs::path& access,
                                    ExclusiveFile* opened) const {
    auto file = OpenExclusively(Reach(path, access));
    if (!file) {
        WriteTimedLine(
            " Cannot get file size of file " + path.native() +
            ".The file might be used by other application ! The file will be skipped ! Error "
            "code " +
            IntToString(errno));
        return true;
    }
    const bool excluded = SizeExcludes(file->status.st_size);
    if (opened != nullptr && !file->isLink) {
        // Unlocked as if closed: a second link to the same file, judged meanwhile, is not in use.
        ::flock(file->fd.Get(), LOCK_UN);
        *opened = std::move(*file);
    }
    return excluded;
}

bool CBackupFilters::SizeExcludes(std::int64_t size) const {
    const std::int64_t size0 = ParseLeadingInt64(GetProfileString(profile::kSize0));
    const std::int64_t size1 = ParseLeadingInt64(GetProfileString(profile::kSize1));
    if (size0 == 0 && size1 == 0) {
        return false;
    }
    // Absent, the unit reads as bytes here (the page shows megabytes for a fresh profile).
    const std::int32_t unit = GetProfileInt(profile::kSizeUnit.section, profile::kSizeUnit.name, 0);
    const bool knownUnit = unit >= 0 && unit <= 3;
    bool matches = true;
    switch (GetProfileInt(profile::kAtLeastAtMostBetween)) {
        case kAtLeast:
            matches = size >= (knownUnit ? ToBytes(size0, unit) : 0);
            break;
        case kAtMost: {
            const std::int64_t limit = knownUnit ? ToBytes(size0, unit) : 0;
            if (limit == 0) {
                return false;
            }
            matches = size <= limit;
            break;
        }
        case kSizeBetween: {
            const std::int64_t low = knownUnit ? ToBytes(size0, unit) : size0;
            const std::int64_t high = knownUnit ? ToBytes(size1, unit) : size1;
            matches = low <= size && size <= high;
            break;
        }
        default:
            break;
    }
    return Decide(GetProfileInt(profile::kIncludeOrExcludeFileSize), matches);
}

bool CBackupFilters::ExcludedByFileType(const fs::path& path) const {
    const std::vector<std::string> types = ReadFileTypeList();
    if (types.empty()) {
        return false;
    }
    const std::string extension = LowerAsciiLetters(FileExtension(path.native()));
    bool matches = false;
    for (const std::string& type : types) {
        matches = matches || (!extension.empty() && LowerAsciiLetters(type) == extension);
    }
    return Decide(GetProfileInt(profile::kIncludeOrExcludeFileType), matches);
}

bool CBackupFilters::ExcludedByPathWords(const fs::path& path) const {
    std::string words = GetProfileString(profile::kAllStringToFindInFileName);
    if (words.empty()) {
        return false;
    }
    std::string text = path.native();
    if (GetProfileInt(profile::kCaseSensitiveFilenames) != 1) {
        text = LowerAsciiLetters(text);
        words = LowerAsciiLetters(words);
    }
    return Decide(GetProfileInt(profile::kIncludeOrExcludeFileNames),
                  ContainsAnyWord(text, SplitWords(words)));
}

bool CBackupFilters::ExcludedByContentWords(const fs::path& path, const fs::path& access) const {
    if (LowerAsciiLetters(FileExtension(path.native())) != ".txt") {
        return false;
    }
    std::string words = GetProfileString(profile::kAllStringToFindInContent);
    if (words.empty()) {
        return false;
    }
    const bool caseSensitive = GetProfileInt(profile::kCaseSensitiveContent) != 0;
    // Read-only and without following a link: judging a file must never change or lock it.
    UniqueFd fd(
        ::open(Reach(path, access).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno != ELOOP) {  // a link is stored as a link: there is no content to judge
            ReportError("Cannot open file " + path.native(), errno);
        }
        return false;
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        ReportError("Cannot get file size of file " + path.native(), errno);
        return false;
    }
    if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || S_ISCHR(status.st_mode) ||
        S_ISBLK(status.st_mode)) {
        return false;  // not a file any more (a FIFO put in its place): storing it fails later
    }
    if (status.st_size == 0) {
        return Decide(GetProfileInt(profile::kIncludeOrExcludeContent), false);
    }
    if (!caseSensitive) {
        words = LowerAsciiLetters(words);
    }
    const std::vector<std::string> wordList = SplitWords(words);
    std::size_t longest = 0;
    for (const std::string& word : wordList) {
        longest = std::max(longest, word.size());
    }
    // The text is read in pieces, keeping enough of each piece's end that a word spanning two
    // pieces is still found; a large file never has to fit in memory.
    constexpr std::size_t kPiece = 1 << 20;
    std::string buffer(kPiece, '\0');
    std::string text;
    std::uint64_t total = 0;
    bool matches = false;
    while (!matches) {
        const ssize_t n = ::read(fd.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n < 0 || total < static_cast<std::uint64_t>(status.st_size)) {
                ReportError("Cannot read all file " + path.native(), n < 0 ? errno : EIO);
                return false;
            }
            break;
        }
        total += static_cast<std::uint64_t>(n);
        std::string decoded =
            FromWindows1252(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        text += caseSensitive ? decoded : LowerAsciiLetters(decoded);
        matches = ContainsAnyWord(text, wordList);
        const std::size_t keep = longest > 0 ? longest - 1 : 0;
        if (text.size() > keep) {
            text.erase(0, text.size() - keep);
        }
    }
    return Decide(GetProfileInt(profile::kIncludeOrExcludeContent), matches);
}

}  // namespace tkw
