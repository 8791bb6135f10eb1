#include "components/archive/StagedFile.h"

#include "components/utils/FolderEntries.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <random>
#include <string_view>
#include <vector>

namespace tkw::archive {
namespace {

// Temporary entries beside a target: the prefix and six letters or digits. Only names of exactly
// this shape are ever cleared away as left by a killed restore.
constexpr std::string_view kTemporaryPrefix = ".tkw-restore-";
constexpr std::size_t kTemporarySuffixLength = 6;
constexpr int kNameAttempts = 100;

bool IsLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool IsTemporaryName(std::string_view name) {
    return name.size() == kTemporaryPrefix.size() + kTemporarySuffixLength &&
           name.starts_with(kTemporaryPrefix) &&
           std::all_of(name.begin() + kTemporaryPrefix.size(), name.end(), IsLetterOrDigit);
}

bool EntryExists(int folderFd, const std::string& name) {
    struct stat info {};
    return ::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// Whether `name` in the folder is the file open as `fd`.
bool NameLeadsTo(int folderFd, const std::string& name, int fd) {
    struct stat byFd {};
    struct stat byName {};
    return ::fstat(fd, &byFd) == 0 && byFd.st_nlink > 0 &&
           ::fstatat(folderFd, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 &&
           byFd.st_dev == byName.st_dev && byFd.st_ino == byName.st_ino;
}

// A named temporary is locked (flock) for as long as a restore works on it: one nobody holds a lock
// on was left by a restore that was killed. Where the file system has no locks nobody can take
// one, so nothing there is ever taken for left over.
bool LockTemporary(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// Removes `name` when it is a temporary regular file that no running restore holds; whether a
// running restore holds it.
bool RemoveIfLeftOver(int folderFd, const std::string& name) {
    struct stat info {};
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode)) {
        return false;
    }
    const UniqueFd fd(::openat(folderFd, name.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.Valid()) {
        return false;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK;
    }
    // The name must still lead to the very file that was locked.
    if (NameLeadsTo(folderFd, name, fd.Get())) {
        ::unlinkat(folderFd, name.c_str(), 0);
    }
    return false;
}

// Clears away the temporaries that killed restores left in the folder; whether the folder is clear
// now, that is, no running restore has a temporary there.
bool RemoveLeftOverTemporaries(int folderFd) {
    const auto entries = ReadFolderEntries(folderFd);
    if (!entries) {
        return true;  // a folder we may write in but not list keeps what it holds
    }
    bool clear = true;
    for (const FolderEntry& entry : *entries) {
        if (IsTemporaryName(entry.name)) {
            clear = !RemoveIfLeftOver(folderFd, entry.name) && clear;
        }
    }
    return clear;
}

// The folders found clear of left-over temporaries, each with its modification time after our last
// write there. While that time stays the same nobody else has added an entry, so a restore that
// writes thousands of files into one folder reads it once, not once per file. A folder where
// another restore was at work is not remembered: its temporary is left over if it is killed.
class ClearedFolders {
public:
    bool Contains(const struct stat& folder) {
        const std::lock_guard lock(m_mutex);
        return std::any_of(m_entries.begin(), m_entries.end(),
                           [&](const Entry& entry) { return entry.Matches(folder, true); });
    }

    void Remember(const struct stat& folder) {
        const std::lock_guard lock(m_mutex);
        auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                                  [&](const Entry& e) { return e.Matches(folder, false); });
        if (entry == m_entries.end()) {
            entry = m_entries.begin() + static_cast<std::ptrdiff_t>(m_next++ % m_entries.size());
        }
        *entry = {true, folder.st_dev, folder.st_ino, folder.st_mtim};
    }

private:
    struct Entry {
        bool used = false;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};

        bool Matches(const struct stat& folder, bool sameTime) const {
            return used && device == folder.st_dev && inode == folder.st_ino &&
                   (!sameTime || (modified.tv_sec == folder.st_mtim.tv_sec &&
                                  modified.tv_nsec == folder.st_mtim.tv_nsec));
        }
    };

    std::mutex m_mutex;
    std::array<Entry, 16> m_entries{};
    std::size_t m_next = 0;
};

ClearedFolders& Cleared() {
    static ClearedFolders folders;
    return folders;
}

}  // namespace

std::string TemporaryName() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random = [] {
        std::uint64_t seed = 0;
        if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) != sizeof seed) {
            seed = static_cast<std::uint64_t>(std::time(nullptr)) ^
                   (static_cast<std::uint64_t>(::getpid()) << 32) ^
                   reinterpret_cast<std::uintptr_t>(&seed);
        }
        return std::mt19937_64(seed);
    }();
    std::string name(kTemporaryPrefix);
    for (std::size_t i = 0; i < kTemporarySuffixLength; ++i) {
        name += kLetters[random() % (sizeof kLetters - 1)];
    }
    return name;
}

bool ClearedInRun::Contains(dev_t device, ino_t inode) const {
    const std::lock_guard lock(m_mutex);
    return m_folders.count({device, inode}) != 0;
}

void ClearedInRun::Add(dev_t device, ino_t inode) {
    const std::lock_guard lock(m_mutex);
    m_folders.emplace(device, inode);
}

bool ClearLeftOverTemporaries(int folderFd, const ClearedInRun* run) {
    struct stat folder {};
    return ::fstat(folderFd, &folder) != 0 ||
           (run != nullptr && run->Contains(folder.st_dev, folder.st_ino)) ||
           Cleared().Contains(folder) || RemoveLeftOverTemporaries(folderFd);
}

void RememberClear(int folderFd, ClearedInRun* run) {
    struct stat folder {};
    if (::fstat(folderFd, &folder) == 0) {
        Cleared().Remember(folder);
        if (run != nullptr) {
            run->Add(folder.st_dev, folder.st_ino);
        }
    }
}

StagedFile::~StagedFile() {
    if (!m_temporary.empty()) {
        ::unlinkat(m_folderFd, m_temporary.c_str(), 0);
    }
}

bool StagedFile::Open(Staging staging) {
    // An unnamed file is linked in through /proc; without it only root may link one.
    static const bool canLinkUnnamed = ::access("/proc/self/fd", X_OK) == 0 || ::geteuid() == 0;
    if (staging == Staging::Unnamed && canLinkUnnamed) {
        m_fd.Reset(::openat(m_folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (m_fd.Valid()) {
            return true;
        }
        // Only a file system (or kernel) without such files falls back to a name.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return false;
        }
    }
    return OpenNamed();
}

bool StagedFile::Publish(const std::string& name) {
    if (!m_temporary.empty()) {
        if (::renameat(m_folderFd, m_temporary.c_str(), m_folderFd, name.c_str()) != 0) {
            return false;
        }
        m_temporary.clear();
        return true;
    }
    if (!EntryExists(m_folderFd, name)) {
        if (LinkAs(name)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    // A name cannot be linked over an existing entry: the file gets a temporary name first,
    // locked before it has it, so that other restores do not take it for left over.
    if (!m_locked) {
        m_locked = LockTemporary(m_fd.Get());
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temporary = TemporaryName();
        if (LinkAs(temporary)) {
            m_temporary = temporary;
            return Publish(name);
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool StagedFile::PublishIfFree(const std::string& name) {
    if (m_temporary.empty()) {
        return LinkAs(name);  // a link never replaces an entry
    }
    if (::renameat2(m_folderFd, m_temporary.c_str(), m_folderFd, name.c_str(), RENAME_NOREPLACE) ==
        0) {
        m_temporary.clear();
        return true;
    }
    if (errno == EINVAL || errno == ENOSYS) {
        errno = EEXIST;  // no such rename here: the caller replaces, as for an existing entry
    }
    return false;
}

bool StagedFile::OpenNamed() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = TemporaryName();
        UniqueFd fd(::openat(m_folderFd, name.c_str(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.Valid() && errno != EEXIST) {
            return false;
        }
        // Another restore clearing the folder may have taken the new file for left over
        // before it was locked: then it is gone or going, and another name is tried.
        if (fd.Valid() && LockTemporary(fd.Get()) && NameLeadsTo(m_folderFd, name, fd.Get())) {
            m_fd = std::move(fd);
            m_temporary = name;
            m_locked = true;
            return true;
        }
    }
    errno = EEXIST;
    return false;
}

bool StagedFile::LinkAs(const std::string& name) const {
    // The descriptor itself is linked where this process may (it skips a walk through /proc);
    // once refused, it is not asked again.
    static std::atomic<bool> emptyPathRefused{false};
    if (!emptyPathRefused.load()) {
        if (::linkat(m_fd.Get(), "", m_folderFd, name.c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno == EEXIST) {
            return false;
        }
    }
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd.Get());
    if (::linkat(AT_FDCWD, self.c_str(), m_folderFd, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return false;
    }
    emptyPathRefused.store(true);
    return true;
}

}  // namespace tkw::archive
