#include "components/archive/Extraction.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <system_error>
#include <vector>

#include "components/archive/FileIo.h"
#include "components/archive/SafeNames.h"

namespace tkw::archive {
namespace fs = std::filesystem;
namespace {

std::string SystemText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Writes a file's bytes, leaving holes where whole blocks are zero: a sparse file comes back
// sparse, and a large run of zeros costs no disk space.
class SparseWriter {
public:
    explicit SparseWriter(int fd) : m_fd(fd) {}

    bool Write(std::string_view bytes) {
        std::size_t runStart = 0;  // start of the pending non-zero run within `bytes`
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            const std::uint64_t fileOffset = m_offset + pos;
            const std::size_t toBoundary = kBlock - static_cast<std::size_t>(fileOffset % kBlock);
            const std::size_t piece = std::min(toBoundary, bytes.size() - pos);
            if (piece == kBlock && std::memcmp(bytes.data() + pos, kZeros, kBlock) == 0) {
                if (!WriteRun(bytes, runStart, pos)) {
                    return false;
                }
                runStart = pos + piece;
            }
            pos += piece;
        }
        if (!WriteRun(bytes, runStart, bytes.size())) {
            return false;
        }
        m_offset += bytes.size();
        return true;
    }

    // Gives the file its full length (a trailing hole included).
    bool Finish() { return ::ftruncate(m_fd, static_cast<off_t>(m_offset)) == 0; }

private:
    static constexpr std::size_t kBlock = 4096;
    static constexpr char kZeros[kBlock] = {};

    bool WriteRun(std::string_view bytes, std::size_t from, std::size_t to) {
        return from >= to || WriteAllAt(m_fd, m_offset + from, bytes.substr(from, to - from));
    }

    int m_fd;
    std::uint64_t m_offset = 0;
};

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

// A fresh temporary name; creating it exclusively tells whether it is free.
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
    const int listingFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = listingFd < 0 ? nullptr : ::fdopendir(listingFd);
    if (listing == nullptr) {
        if (listingFd >= 0) {
            ::close(listingFd);
        }
        return true;  // a folder we may write in but not list keeps what it holds
    }
    std::vector<std::string> found;
    while (const dirent* entry = ::readdir(listing)) {
        if (IsTemporaryName(entry->d_name)) {
            found.emplace_back(entry->d_name);
        }
    }
    ::closedir(listing);
    bool clear = true;
    for (const std::string& name : found) {
        clear = !RemoveIfLeftOver(folderFd, name) && clear;
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

// Before a write into the folder: clears it of left-over temporaries unless it is known to be
// clear. Whether it is clear now; if so, RememberClear marks it so after the write.
bool ClearLeftOverTemporaries(int folderFd) {
    struct stat folder {};
    return ::fstat(folderFd, &folder) != 0 || Cleared().Contains(folder) ||
           RemoveLeftOverTemporaries(folderFd);
}

void RememberClear(int folderFd) {
    struct stat folder {};
    if (::fstat(folderFd, &folder) == 0) {
        Cleared().Remember(folder);
    }
}

// The file a regular item is written to until it is complete and verified. Without a name
// (O_TMPFILE) a killed restore leaves nothing; a named temporary is locked while it exists and
// removed again unless it was put in place.
class StagedFile {
public:
    explicit StagedFile(int folderFd) : m_folderFd(folderFd) {}
    ~StagedFile() {
        if (!m_temporary.empty()) {
            ::unlinkat(m_folderFd, m_temporary.c_str(), 0);
        }
    }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False with errno set when no file can be created.
    bool Open(Staging staging) {
        if (staging == Staging::Unnamed) {
            m_fd.Reset(::openat(m_folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
            if (m_fd.Valid()) {
                LockTemporary(m_fd.Get());  // for the moment it may have a temporary name
                return true;
            }
            // Only a file system (or kernel) without such files falls back to a name.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                return false;
            }
        }
        return OpenNamed();
    }

    int Fd() const { return m_fd.Get(); }

    // Gives the file `name` in the folder, replacing an existing entry at once: the old one stays
    // whole until the rename. False with errno set otherwise.
    bool Publish(const std::string& name) {
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
        // A name cannot be linked over an existing entry: the file gets a temporary name first.
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

private:
    bool OpenNamed() {
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
                return true;
            }
        }
        errno = EEXIST;
        return false;
    }

    // Links the unnamed file into the folder. Through /proc any user may do it; linking the
    // descriptor itself needs more privilege on older kernels, so it only serves without /proc.
    bool LinkAs(const std::string& name) const {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd.Get());
        if (::linkat(AT_FDCWD, self.c_str(), m_folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        return errno == ENOENT &&
               ::linkat(m_fd.Get(), "", m_folderFd, name.c_str(), AT_EMPTY_PATH) == 0;
    }

    int m_folderFd;
    UniqueFd m_fd;
    std::string m_temporary;  // the file's name while it has a temporary one
};

bool ApplyOwner(int fd, const ItemInfo& item) {
    // Only root can give a file away; for anyone else the file stays theirs.
    return ::geteuid() != 0 || ::fchown(fd, item.uid, item.gid) == 0;
}

// Access time left alone, modification time the item's.
struct ItemTimes {
    explicit ItemTimes(const ItemInfo& item)
        : times{
              {0, UTIME_OMIT},
              {static_cast<time_t>(item.mtimeSeconds), static_cast<long>(item.mtimeNanoseconds)}} {}
    timespec times[2];
};

bool WriteData(int fd, const Placement& at, const DataSource& source, std::string& error) {
    SparseWriter writer(fd);
    if (!source([&](std::string_view bytes) { return writer.Write(bytes); }, error)) {
        return false;
    }
    if (!writer.Finish()) {
        error = SystemText("cannot write " + at.shown.native());
        return false;
    }
    return true;
}

bool ApplyMetadata(int fd, const Placement& at, const ItemInfo& item, std::string& error) {
    // Owner first: changing it clears the set-user-id and set-group-id bits the mode may carry.
    if (!ApplyOwner(fd, item) || ::fchmod(fd, item.mode & 07777) != 0) {
        error = SystemText("cannot set the owner or permissions of " + at.shown.native());
        return false;
    }
    if (::futimens(fd, ItemTimes(item).times) != 0) {
        error = SystemText("cannot set the modification time of " + at.shown.native());
        return false;
    }
    return true;
}

std::optional<std::string> ReadLinkTarget(RecordReader& reader, const ItemInfo& item,
                                          std::string& error) {
    if (item.size == 0 || item.size >= PATH_MAX) {
        error = "damaged item: a link target of " + std::to_string(item.size) + " bytes";
        return std::nullopt;
    }
    std::string linkTarget;
    const auto append = [&](std::string_view bytes) {
        linkTarget.append(bytes);
        return true;
    };
    if (!reader.ReadData(item, append, error)) {
        return std::nullopt;
    }
    if (linkTarget.find('\0') != std::string::npos) {
        error = "damaged item: a link target with a NUL byte";
        return std::nullopt;
    }
    return linkTarget;
}

// Creates the link under its own name when that is free; otherwise under a temporary name that
// then replaces the existing entry at once (symlink() cannot replace). The name it was made under.
std::optional<std::string> CreateLink(const std::string& linkTarget, const Placement& at) {
    std::string name = at.name;
    for (int attempt = 0; attempt <= kNameAttempts; ++attempt) {
        if (::symlinkat(linkTarget.c_str(), at.folderFd, name.c_str()) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
        name = TemporaryName();
    }
    return std::nullopt;
}

bool CreateSymbolicLink(RecordReader& reader, const ItemInfo& item, const Placement& at,
                        std::string& error) {
    const auto linkTarget = ReadLinkTarget(reader, item, error);
    if (!linkTarget) {
        return false;
    }
    const auto created = CreateLink(*linkTarget, at);
    if (!created) {
        error = SystemText("cannot create the link " + at.shown.native());
        return false;
    }
    // A link's owner and time are kept where the system allows; they never fail the item.
    if (::geteuid() == 0) {
        ::fchownat(at.folderFd, created->c_str(), item.uid, item.gid, AT_SYMLINK_NOFOLLOW);
    }
    ::utimensat(at.folderFd, created->c_str(), ItemTimes(item).times, AT_SYMLINK_NOFOLLOW);
    if (*created != at.name &&
        ::renameat(at.folderFd, created->c_str(), at.folderFd, at.name.c_str()) != 0) {
        error = SystemText("cannot put " + at.shown.native() + " in place");
        ::unlinkat(at.folderFd, created->c_str(), 0);
        return false;
    }
    return true;
}

bool ExtractSymbolicLink(RecordReader& reader, const ItemInfo& item, const Placement& at,
                         std::string& error) {
    const bool clear = ClearLeftOverTemporaries(at.folderFd);
    if (!CreateSymbolicLink(reader, item, at, error)) {
        return false;
    }
    if (clear) {
        RememberClear(at.folderFd);
    }
    return true;
}

bool PlaceItem(RecordReader& reader, const ItemInfo& item, const Placement& at,
               std::string& error) {
    struct stat existing {};
    if (::fstatat(at.folderFd, at.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(existing.st_mode)) {
        error = "a folder is in the way of " + at.shown.native();
        return false;
    }
    if (item.kind == ItemKind::SymbolicLink) {
        return ExtractSymbolicLink(reader, item, at, error);
    }
    const DataSource source = [&](const RecordReader::Sink& sink, std::string& sourceError) {
        return reader.ReadData(item, sink, sourceError);
    };
    return WriteRegularFile(at, item, source, Staging::Unnamed, error);
}

// Opens a folder named by the user (a target's folder, or the folder chosen for a restore),
// creating it when missing. Links on its path are followed: the user chose it.
UniqueFd OpenChosenFolder(const fs::path& folder, std::string& error) {
    std::error_code fsError;
    fs::create_directories(folder, fsError);
    if (fsError) {
        error = "cannot create the folder " + folder.native() + ": " + fsError.message();
        return UniqueFd();
    }
    UniqueFd fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) {
        error = SystemText("cannot open the folder " + folder.native());
    }
    return fd;
}

}  // namespace

bool WriteRegularFile(const Placement& at, const ItemInfo& item, const DataSource& source,
                      Staging staging, std::string& error) {
    const bool clear = ClearLeftOverTemporaries(at.folderFd);
    StagedFile file(at.folderFd);
    if (!file.Open(staging)) {
        error = SystemText("cannot create a temporary file beside " + at.shown.native());
        return false;
    }
    if (!WriteData(file.Fd(), at, source, error) || !ApplyMetadata(file.Fd(), at, item, error)) {
        return false;
    }
    // Only a file that is on disk counts as restored; and a crash of the system must never leave
    // an empty file where an old one was.
    if (::fdatasync(file.Fd()) != 0) {
        error = SystemText("cannot flush " + at.shown.native());
        return false;
    }
    if (!file.Publish(at.name)) {
        error = SystemText("cannot put " + at.shown.native() + " in place");
        return false;
    }
    if (clear) {
        RememberClear(at.folderFd);
    }
    return true;
}

bool ExtractItem(RecordReader& reader, const ItemInfo& item, const fs::path& target,
                 std::string& error) {
    const fs::path name = target.filename();
    if (name.empty() || name == "." || name == "..") {
        error = "no file name in the target " + target.native();
        return false;
    }
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const UniqueFd folderFd = OpenChosenFolder(folder, error);
    return folderFd.Valid() &&
           PlaceItem(reader, item, {folderFd.Get(), name.native(), target}, error);
}

bool ExtractItemBelow(RecordReader& reader, const ItemInfo& item, const fs::path& folder,
                      std::string& error) {
    const auto name = SplitNameBelowFolder(item.name);
    if (!name) {
        error = "the name would leave the folder " + folder.native();
        return false;
    }
    UniqueFd base = OpenChosenFolder(folder, error);
    if (!base.Valid()) {
        return false;
    }
    const UniqueFd itemFolder = OpenFoldersBelow(std::move(base), folder, name->folders, error);
    if (!itemFolder.Valid()) {
        return false;
    }
    fs::path shown = folder;
    for (const std::string& component : name->folders) {
        shown /= component;
    }
    return PlaceItem(reader, item, {itemFolder.Get(), name->file, shown / name->file}, error);
}

bool VerifyItem(RecordReader& reader, const ItemInfo& item, std::string& error) {
    return reader.ReadData(
        item, [](std::string_view) { return true; }, error);
}

}  // namespace tkw::archive
