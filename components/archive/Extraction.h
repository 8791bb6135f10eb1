#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/archive/DeferredSyncs.h"
#include "components/archive/Format.h"
#include "components/archive/RecordReader.h"
#include "components/archive/StagedFile.h"

namespace tkw::archive {

// The folder the last item was written to, kept open for the next one: items restored in the order
// of their names mostly share their folder, which is then opened once rather than once per item.
// Below a chosen folder the folders on the way to it are kept open too, so that the next folder is
// opened from the deepest one the two share. A kept folder is used only while its path still leads
// to it; a folder removed, moved or replaced since is opened afresh, with every check.
class FolderCache {
public:
    // The folder `base`/`folders`, each of `folders` opened (or created) in the one before as
    // OpenOrCreateFolderIn does, from the deepest folder of the way that is kept; `openBase` gives
    // `base` when it is not kept. -1 with `error` set when a folder cannot be opened.
    int OpenBelow(const std::filesystem::path& base, const std::vector<std::string>& folders,
                  const std::function<UniqueFd()>& openBase, std::string& error);
    // The path of the folder OpenBelow gave last, as it was opened.
    const std::filesystem::path& DeepestPath() const {
        return m_beyond.Valid() ? m_beyondPath : m_levels.back().path;
    }
    // Whether `fd` is the kept folder and was found clear of left-over temporaries in this run
    // (ClearedInRun): it is not asked again for each item written there.
    bool ClearedInRun(int fd) const { return m_clearedInRun && IsDeepest(fd); }
    void NoteClearedInRun(int fd) { m_clearedInRun = m_clearedInRun || IsDeepest(fd); }

private:
    struct Level {
        std::string name;  // the whole path for the first level
        std::filesystem::path path;
        UniqueFd fd;
        dev_t device = 0;
        ino_t inode = 0;
    };
    static bool StillAt(const Level& level);
    // Adds the level; false when its identity cannot be read.
    bool Push(std::string name, std::filesystem::path path, UniqueFd fd);
    bool IsDeepest(int fd) const {
        return !m_beyond.Valid() && !m_levels.empty() && m_levels.back().fd.Get() == fd;
    }

    // Folders kept open at most, the chosen one included: a deeper name's folders below them are
    // opened one at a time for each item, so that a deep tree cannot use up the descriptors.
    static constexpr std::size_t kMaxKeptLevels = 16;
    std::vector<Level> m_levels;  // each one below the one before
    UniqueFd m_beyond;            // the folder OpenBelow gave last when it lies below them all
    std::filesystem::path m_beyondPath;
    bool m_clearedInRun = false;
};

// What a run of extractions keeps from one item to the next: the last folder written to, and the
// syncs of large new files still running.
struct ExtractionState {
    FolderCache folders;
    DeferredSyncs syncs;
    // For items written ahead of their turn: an entry that already has the item's name is left as
    // it is, no file of the item stays (folders made for it may), and `nameTaken` says so; the
    // item is judged again at its turn.
    bool newNamesOnly = false;
    bool nameTaken = false;
    // Shared by the threads that write one run's items (see ClearedInRun); may be null.
    std::shared_ptr<ClearedInRun> cleared;
};

// Writes one item at its original path `target`. The missing folders of the path are created;
// links among them are followed, as they are part of the user's own system (a /home that is a
// link, say). The item's own name is never followed: an entry there is replaced, not written
// through. The data goes to a temporary file in the target's folder and is checked while it is
// written; only a complete, verified item that is on disk replaces the target, with its
// modification time, permission bits and (for root) owner already set. A symbolic link is
// recreated as a link. On any failure nothing is left behind and an existing target is untouched.
// Before the first write into a folder, the temporaries killed restores left there are removed
// (only those no running restore holds).
bool ExtractItem(RecordReader& reader, const ItemInfo& item, const std::filesystem::path& target,
                 std::string& error, ExtractionState* state = nullptr);

// Writes one item below the chosen folder `folder`, at folder + the item's name (as ExtractItem
// does). The chosen folder is created when missing; the folders of the name are created and opened
// below it one at a time without ever following a link, so nothing is created or written outside
// `folder`. A name that could leave the folder (see IsNameSafeUnderFolder), or whose way passes a
// link or something that is not a folder, is refused.
bool ExtractItemBelow(RecordReader& reader, const ItemInfo& item,
                      const std::filesystem::path& folder, std::string& error,
                      ExtractionState* state = nullptr);

// Where an item goes: the entry `name` in the open folder `folderFd`; `shown` is its full path, for
// messages.
struct Placement {
    int folderFd;
    std::string name;
    std::string shown;
};

// Produces an item's bytes in order into the sink and checks them; false with `error` set when
// they fail their check or the sink stops.
using DataSource = std::function<bool(const RecordReader::Sink& sink, std::string& error)>;

// Files of at least this size are synced on their own: their own data is most of the cost of a
// sync. Smaller new files are left to one sync of the file system at the end of the caller's run.
inline constexpr std::uint64_t kSyncedAloneSize = 1u << 20;

// Whether a new file for the item is left to the sync of its file system.
inline bool NeedsFileSystemSync(const ItemInfo& item) {
    return item.kind == ItemKind::RegularFile && item.size < kSyncedAloneSize;
}

// The regular-file part of the extraction: writes `source`'s bytes as the file `at` with the
// item's metadata and gives the file its name. A small new file is named at once, and the caller
// syncs the file system when its run ends (NeedsFileSystemSync); a large new file is named at once
// and synced among the state's syncs when a state is given, else before it is named. An existing
// entry is replaced at once, and only by a file already flushed to disk (never writing through a
// link there). On failure an existing entry is untouched and no temporary is left. Clears the
// folder of left-over temporaries first, as ExtractItem says. `state` (optional) gives the syncs of
// large new files and whether an existing entry may be replaced (ExtractionState::newNamesOnly).
bool WriteRegularFile(const Placement& at, const ItemInfo& item, const DataSource& source,
                      Staging staging, std::string& error, ExtractionState* state = nullptr);

// Reads and checks the item's data without writing it anywhere.
bool VerifyItem(RecordReader& reader, const ItemInfo& item, std::string& error);

}  // namespace tkw::archive
