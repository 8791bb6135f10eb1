#include "components/archive/Extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include "components/archive/FileIo.h"
#include "components/archive/SafeNames.h"
#include "components/archive/SparseWriter.h"
#include "components/archive/StagedFile.h"

namespace tkw::archive {
namespace fs = std::filesystem;
namespace {

std::string SystemText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool ApplyOwner(int fd, const ItemInfo& item) {
    // Only root can give a file away; for anyone else the file stays theirs. The program never
    // changes its user.
    static const bool root = ::geteuid() == 0;
    return !root || ::fchown(fd, item.uid, item.gid) == 0;
}

// Access time left alone, modification time the item's.
struct ItemTimes {
    explicit ItemTimes(const ItemInfo& item)
        : times{
              {0, UTIME_OMIT},
              {static_cast<time_t>(item.mtimeSeconds), static_cast<long>(item.mtimeNanoseconds)}} {}
    timespec times[2];
};

bool WriteData(int fd, const Placement& at, std::uint64_t size, const DataSource& source,
               std::string& error) {
    SparseWriter writer(fd, size);
    if (!source([&](std::string_view bytes) { return writer.Write(bytes); }, error)) {
        return false;
    }
    if (!writer.Finish()) {
        error = SystemText("cannot write " + at.shown);
        return false;
    }
    return true;
}

bool ApplyMetadata(int fd, const Placement& at, const ItemInfo& item, std::string& error) {
    // Owner first: changing it clears the set-user-id and set-group-id bits the mode may carry.
    if (!ApplyOwner(fd, item) || ::fchmod(fd, item.mode & 07777) != 0) {
        error = SystemText("cannot set the owner or permissions of " + at.shown);
        return false;
    }
    if (::futimens(fd, ItemTimes(item).times) != 0) {
        error = SystemText("cannot set the modification time of " + at.shown);
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

constexpr int kLinkNameAttempts = 100;

// Creates the link under its own name when that is free; otherwise under a temporary name that
// then replaces the existing entry at once (symlink() cannot replace). The name it was made under.
std::optional<std::string> CreateLink(const std::string& linkTarget, const Placement& at) {
    std::string name = at.name;
    for (int attempt = 0; attempt <= kLinkNameAttempts; ++attempt) {
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
        error = SystemText("cannot create the link " + at.shown);
        return false;
    }
    // A link's owner and time are kept where the system allows; they never fail the item.
    if (::geteuid() == 0) {
        ::fchownat(at.folderFd, created->c_str(), item.uid, item.gid, AT_SYMLINK_NOFOLLOW);
    }
    ::utimensat(at.folderFd, created->c_str(), ItemTimes(item).times, AT_SYMLINK_NOFOLLOW);
    if (*created != at.name &&
        ::renameat(at.folderFd, created->c_str(), at.folderFd, at.name.c_str()) != 0) {
        error = SystemText("cannot put " + at.shown + " in place");
        ::unlinkat(at.folderFd, created->c_str(), 0);
        return false;
    }
    return true;
}

ClearedInRun* ClearedOf(ExtractionState* state) {
    return state != nullptr ? state->cleared.get() : nullptr;
}

bool ExtractSymbolicLink(RecordReader& reader, const ItemInfo& item, const Placement& at,
                         std::string& error, ExtractionState* state) {
    const bool clear = ClearLeftOverTemporaries(at.folderFd, ClearedOf(state));
    if (!CreateSymbolicLink(reader, item, at, error)) {
        return false;
    }
    if (clear) {
        RememberClear(at.folderFd, ClearedOf(state));
    }
    return true;
}

bool NameTaken(ExtractionState* state, const Placement& at, std::string& error) {
    state->nameTaken = true;
    error = "something took the name " + at.shown + " meanwhile";
    return false;
}

bool PlaceItem(RecordReader& reader, const ItemInfo& item, const Placement& at, std::string& error,
               ExtractionState* state) {
    // A file that takes new names only finds a taken one when it is named; nothing is asked
    // before.
    const bool newFile =
        state != nullptr && state->newNamesOnly && item.kind == ItemKind::RegularFile;
    struct stat existing {};
    if (!newFile && ::fstatat(at.folderFd, at.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (state != nullptr && state->newNamesOnly) {
            return NameTaken(state, at, error);
        }
        if (S_ISDIR(existing.st_mode)) {
            error = "a folder is in the way of " + at.shown;
            return false;
        }
    }
    if (item.kind == ItemKind::SymbolicLink) {
        return ExtractSymbolicLink(reader, item, at, error, state);
    }
    const DataSource source = [&](const RecordReader::Sink& sink, std::string& sourceError) {
        return reader.ReadData(item, sink, sourceError);
    };
    return WriteRegularFile(at, item, source, Staging::Unnamed, error, state);
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

namespace {

// Clears the folder of left-over temporaries before the first write there; whether it is clear
// (see ClearLeftOverTemporaries). A kept folder already cleared in this run is not asked again.
bool ClearBeforeWriting(int folderFd, ExtractionState* state) {
    return (state != nullptr && state->cleared && state->folders.ClearedInRun(folderFd)) ||
           ClearLeftOverTemporaries(folderFd, ClearedOf(state));
}

void RememberClearAfterWriting(int folderFd, ExtractionState* state) {
    if (state == nullptr || !state->cleared) {
        RememberClear(folderFd, ClearedOf(state));
    } else if (!state->folders.ClearedInRun(folderFd)) {
        RememberClear(folderFd, ClearedOf(state));
        state->folders.NoteClearedInRun(folderFd);
    }
}

}  // namespace

bool WriteRegularFile(const Placement& at, const ItemInfo& item, const DataSource& source,
                      Staging staging, std::string& error, ExtractionState* state) {
    DeferredSyncs* syncs = state != nullptr ? &state->syncs : nullptr;
    const bool clear = ClearBeforeWriting(at.folderFd, state);
    StagedFile file(at.folderFd);
    if (!file.Open(staging)) {
        error = SystemText("cannot create a temporary file beside " + at.shown);
        return false;
    }
    if (!WriteData(file.Fd(), at, item.size, source, error) ||
        !ApplyMetadata(file.Fd(), at, item, error)) {
        return false;
    }
    // A small new file is named at once; its data reaches the disk when the caller syncs the file
    // system at the end of its run. A large new one is synced while the next items are written.
    // An existing file is replaced only by one already on the disk: a crash of the system must
    // never leave an empty file where an old one was.
    const bool deferred = syncs != nullptr && !NeedsFileSystemSync(item);
    const bool synced = !NeedsFileSystemSync(item) && !deferred;
    if (synced && ::fdatasync(file.Fd()) != 0) {
        error = SystemText("cannot flush " + at.shown);
        return false;
    }
    if (!file.PublishIfFree(at.name)) {
        if (errno != EEXIST) {
            error = SystemText("cannot put " + at.shown + " in place");
            return false;
        }
        if (state != nullptr && state->newNamesOnly) {
            return NameTaken(state, at, error);
        }
        if (!synced && ::fdatasync(file.Fd()) != 0) {
            error = SystemText("cannot flush " + at.shown);
            return false;
        }
        if (!file.Publish(at.name)) {
            error = SystemText("cannot put " + at.shown + " in place");
            return false;
        }
    } else if (deferred) {
        // Its own descriptor: the staged one closes with this scope.
        UniqueFd copy(::fcntl(file.Fd(), F_DUPFD_CLOEXEC, 0));
        if (copy.Valid()) {
            syncs->Add(std::move(copy), at.shown);
        } else if (::fdatasync(file.Fd()) != 0) {
            error = SystemText("cannot flush " + at.shown);
            return false;
        }
    }
    if (clear) {
        RememberClearAfterWriting(at.folderFd, state);
    }
    return true;
}

bool FolderCache::StillAt(const Level& level) {
    struct stat named {};
    return ::stat(level.path.c_str(), &named) == 0 && level.device == named.st_dev &&
           level.inode == named.st_ino;
}

bool FolderCache::Push(std::string name, fs::path path, UniqueFd fd) {
    struct stat kept {};
    if (!fd.Valid() || ::fstat(fd.Get(), &kept) != 0) {
        return false;
    }
    m_levels.push_back({std::move(name), std::move(path), std::move(fd), kept.st_dev, kept.st_ino});
    return true;
}

int FolderCache::OpenBelow(const fs::path& base, const std::vector<std::string>& folders,
                           const std::function<UniqueFd()>& openBase, std::string& error) {
    m_beyond.Reset();
    const std::size_t kept = std::min(folders.size(), kMaxKeptLevels - 1);  // of `folders`
    std::size_t shared = 0;  // of the kept levels, those on the way to the folder
    if (!m_levels.empty() && m_levels[0].name == base.native()) {
        shared = 1;
        while (shared < m_levels.size() && shared <= kept &&
               m_levels[shared].name == folders[shared - 1]) {
            ++shared;
        }
    }
    while (shared > 0 && !StillAt(m_levels[shared - 1])) {
        --shared;
    }
    if (shared != m_levels.size() || shared != kept + 1) {
        m_levels.resize(shared);
        m_clearedInRun = false;
        if (m_levels.empty() && !Push(base.native(), base, openBase())) {
            m_levels.clear();
            if (error.empty()) {
                error = SystemText("cannot open the folder " + base.native());
            }
            return -1;
        }
        for (std::size_t i = m_levels.size() - 1; i < kept; ++i) {
            const Level& above = m_levels.back();
            fs::path path = above.path / folders[i];
            UniqueFd fd = OpenOrCreateFolderIn(above.fd.Get(), folders[i], path, error);
            if (!fd.Valid()) {
                return -1;
            }
            if (!Push(folders[i], path, std::move(fd))) {
                error = SystemText("cannot open the folder " + path.native());
                return -1;
            }
        }
    }
    if (kept == folders.size()) {
        return m_levels.back().fd.Get();
    }
    fs::path path = m_levels.back().path;
    UniqueFd current;
    int at = m_levels.back().fd.Get();
    for (std::size_t i = kept; i < folders.size(); ++i) {
        path /= folders[i];
        UniqueFd next = OpenOrCreateFolderIn(at, folders[i], path, error);
        if (!next.Valid()) {
            return -1;
        }
        current = std::move(next);
        at = current.Get();
    }
    m_beyond = std::move(current);
    m_beyondPath = std::move(path);
    return m_beyond.Get();
}

bool ExtractItem(RecordReader& reader, const ItemInfo& item, const fs::path& target,
                 std::string& error, ExtractionState* state) {
    const fs::path name = target.filename();
    if (name.empty() || name == "." || name == "..") {
        error = "no file name in the target " + target.native();
        return false;
    }
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    FolderCache once;  // without a state, the folder lives as long as this call
    FolderCache& folders = state != nullptr ? state->folders : once;
    const int folderFd = folders.OpenBelow(
        folder, {}, [&] { return OpenChosenFolder(folder, error); }, error);
    return folderFd >= 0 &&
           PlaceItem(reader, item, {folderFd, name.native(), target.native()}, error, state);
}

bool ExtractItemBelow(RecordReader& reader, const ItemInfo& item, const fs::path& folder,
                      std::string& error, ExtractionState* state) {
    const auto name = SplitNameBelowFolder(item.name);
    if (!name) {
        error = "the name would leave the folder " + folder.native();
        return false;
    }
    FolderCache once;  // without a state, the folders live as long as this call
    FolderCache& folders = state != nullptr ? state->folders : once;
    const int itemFolder = folders.OpenBelow(
        folder, name->folders, [&] { return OpenChosenFolder(folder, error); }, error);
    if (itemFolder < 0) {
        return false;
    }
    std::string shown = folders.DeepestPath().native();
    if (!shown.ends_with('/')) {
        shown += '/';
    }
    shown += name->file;
    return PlaceItem(reader, item, {itemFolder, name->file, std::move(shown)}, error, state);
}

bool VerifyItem(RecordReader& reader, const ItemInfo& item, std::string& error) {
    return reader.ReadData(
        item, [](std::string_view) { return true; }, error);
}

}  // namespace tkw::archive
