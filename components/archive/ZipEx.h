#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "components/archive/FileIo.h"
#include "components/archive/Format.h"

namespace tkw {

namespace archive {
class DataCompressor;
struct ExtractionState;
struct PackedItem;
class RecordReader;
struct IndexContents;
}  // namespace archive

// One backup file in the .tkw format (docs/FORMAT.md). Items are appended in the order of adding
// and addressed by index 0 .. GetNrOfFiles() - 1; a name is the full path of the file it came from,
// in the file system's own bytes.
//
// Once AddFile has returned non-zero the item is complete in the file: a crash of the program
// afterwards loses nothing of it. While the object has an archive open it holds an exclusive lock
// on the file, so no second object, in this process or another, can open or create it.
// Operations return non-zero on success, 0 on failure (GetLastError tells why).
class CZipEx {
public:
    // How the archive's index was found on Open.
    enum class IndexState {
        kIntact,   // the items were listed from it
        kMissing,  // the file ends after (or inside) an item: the writer never closed it
        kDamaged,  // an index is there but its footer or its frame fails the checks
    };
    // A stretch between two complete items that the scan could not read as items.
    struct SkippedRegion {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };
    // An item the archive held that can no longer be found.
    struct LostItem {
        enum class NameSource {
            kNone,           // nothing names it
            kIndex,          // the damaged index names it
            kItemHeader,     // its own record header names it, and the header's check holds
            kDamagedHeader,  // read from its own record header, whose check fails: a best guess
        };
        std::uint64_t recordOffset = 0;  // where its record starts (or, by the index, started)
        std::string name;
        NameSource nameSource = NameSource::kNone;
    };
    // What Open found: the items through the index, or by scanning the records because the index
    // was missing or damaged (the program that wrote the archive was killed, say), and what the
    // scan could not read. Describes the file as Open found it; adding items does not change it.
    struct RecoveryReport {
        bool recovered = false;  // the items were listed by scanning
        IndexState index = IndexState::kIntact;
        // The file is empty or a cut-off file header (a backup killed in its first moments): it
        // holds no items, and the first AddFile writes a new header.
        bool headerMissing = false;
        std::size_t completeItems = 0;
        bool tornTailDropped = false;  // an item cut short at the end was left out
        std::uint64_t tornTailOffset = 0;
        std::uint64_t tornTailBytes = 0;
        std::uint64_t damagedBytes = 0;  // damaged stretches between complete items
        std::vector<SkippedRegion> skippedRegions;
        // Items that cannot be found: each one the damaged index names and the scan did not find;
        // one for each skipped region and for a torn tail where the index names none.
        std::vector<LostItem> lostItems;
        // A readable index named every item, so lostItems are all that was lost; otherwise a
        // region may have held more items than it is counted for.
        bool lostItemsExact = false;
        // Bytes after the last complete item that are neither an item nor an intact index (a torn
        // tail, a damaged index, a cut-off file header): the first AddFile cuts them off.
        std::uint64_t bytesCutOnAppend = 0;
        // The scan's work: bytes it read plus bytes its record checks looked at.
        std::uint64_t bytesExamined = 0;

        // Whether anything stored was lost or the file is damaged: more than a missing index.
        bool FoundDamage() const {
            return headerMissing || index == IndexState::kDamaged || tornTailDropped ||
                   !skippedRegions.empty() || !lostItems.empty();
        }
        // Whether the first AddFile repairs the file before it writes its item: it cuts off
        // bytesCutOnAppend bytes, or writes the missing file header.
        bool RepairsOnAppend() const { return headerMissing || bytesCutOnAppend > 0; }
    };

    struct VerifyFailure {
        int index;
        std::string error;
    };

    CZipEx();
    ~CZipEx();
    CZipEx(const CZipEx&) = delete;
    CZipEx& operator=(const CZipEx&) = delete;

    // Creates an empty archive at the path and opens it. Refused when any file is there already:
    // replacing an archive is the caller's decision, made by removing it under its lock first.
    int CreateZip(const std::filesystem::path& path);
    // Opens an existing archive and lists its items. Opening and everything that only reads leave
    // the file as it is, byte for byte: a torn tail or a damaged index is cut off and the index
    // rewritten only once an item is added (see GetRecoveryReport and IsRepairPending). An empty
    // file, or one that holds only the beginning of a file header, opens with no items.
    int Open(const std::filesystem::path& path);
    // Stores the file (a regular file, or a symbolic link as a link) under `name` as the last item.
    // Anything else (a FIFO put in a file's place, say) is refused without waiting on it.
    int AddFile(const std::filesystem::path& source, std::string_view name);
    // Stores a file packed beforehand (PackItem, on any thread) as the last item: the same record
    // AddFile would have written for it. A file that could not be packed is refused with the
    // packing's error.
    int AddPacked(archive::PackedItem packed);
    // Whether the file last stored by AddFile or AddPacked changed while it was read (its size or
    // modification time moved, or it ended early): the item holds the bytes that were read, nothing
    // invented.
    bool LastItemChangedWhileRead() const { return m_lastItemChanged; }
    // Asked between the pieces of a file being stored; when it answers true, AddFile stops, stores
    // nothing of the file and WasCancelled() tells so.
    void SetCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    bool WasCancelled() const { return m_wasCancelled; }
    // Writes the index, flushes the file to disk and releases it. Also done by the destructor.
    // The index is written only when the archive was created or added to since it was opened.
    int Close();
    // Writes the index and flushes the file to disk, keeping the archive open for more items; as
    // Close, only after a change.
    int Flush();
    // Flushes the items written so far to disk (without the index): before an original is deleted.
    int SyncData();

    // The index of the newest (last added) item with this name, -1 when there is none.
    int FindZipItem(std::string_view name) const;
    // Writes the item to `target`, creating the missing folders of the path (following the links
    // among them: they are the user's own system); an entry at `target` itself is replaced, never
    // written through. A file that replaces another is on the disk before it does. A new small file
    // is once its file system is synced (syncfs), which the caller does when its run ends; a new
    // large one once SyncExtracted returns.
    int GetItemFile(int index, const std::filesystem::path& target);
    // Writes the item below `folder` at folder + name; refused when the name could leave the folder
    // (see IsNameSafeUnderFolder) or when a folder on its way below `folder` is a symbolic link or
    // not a folder, so nothing is ever created or written outside `folder`.
    int GetItemFileUnder(int index, const std::filesystem::path& folder);
    // Waits until the large new files written since the last call are on the disk; 0 with the
    // last error naming a file that could not be flushed.
    int SyncExtracted();

    // Writes items on a thread of its own while the archive is only read (nothing is added, opened
    // or closed meanwhile), with a reader of its own. An item is written, as GetItemFile or
    // GetItemFileUnder write it, only where no entry has its name yet: a small new file, named at
    // once and left to the caller's sync of its file system. When the name is taken, or anything
    // fails, no file of the item stays (folders made for it may); the caller writes it again the
    // usual way to learn why.
    class NewItemWriter {
    public:
        enum class Outcome { kWritten, kNameTaken, kFailed };
        ~NewItemWriter();
        NewItemWriter(const NewItemWriter&) = delete;
        NewItemWriter& operator=(const NewItemWriter&) = delete;
        // Below the folder `path` when `belowFolder`, else at `path`.
        Outcome Write(int index, const std::filesystem::path& path, bool belowFolder);

    private:
        friend class CZipEx;
        NewItemWriter(const CZipEx& archive, std::unique_ptr<archive::RecordReader> reader,
                      std::unique_ptr<archive::ExtractionState> state);
        const CZipEx& m_archive;
        std::unique_ptr<archive::RecordReader> m_reader;
        std::unique_ptr<archive::ExtractionState> m_state;
    };
    // `count` writers, one per thread, that share what they learn of the folders they write to;
    // none when no archive is open.
    std::vector<std::unique_ptr<NewItemWriter>> NewItemWriters(std::size_t count) const;

    std::uint64_t GetItemFileSize(int index) const;
    std::string GetItemFileName(int index) const;
    std::filesystem::path GetZipFileName() const;
    std::uint64_t GetZipFileSizeEx() const;
    int GetNrOfFiles() const;
    // Seconds since 1970-01-01 UTC at which the archive was created.
    std::int64_t GetZipCreationTime() const;

    // Kind, modification time, permission bits and owner of an item; nullptr for a bad index.
    const archive::ItemInfo* GetItemInfo(int index) const;
    const RecoveryReport& GetRecoveryReport() const { return m_recovery; }
    // True from Open until the first AddFile when that AddFile will repair the file before it
    // writes its item (RecoveryReport::RepairsOnAppend): a caller can say so in its log.
    bool IsRepairPending() const { return m_repairPending; }
    // Reads every item and checks its checksum; the items that failed. `progress` (optional) is
    // called before each item and can stop the check by returning false.
    std::vector<VerifyFailure> Verify(const std::function<bool(int index)>& progress = {});
    // Reads one item and checks its checksum.
    int VerifyItem(int index);
    const std::string& GetLastError() const { return m_lastError; }
    // Whether items can be added: the archive could be opened for writing, not only for reading.
    bool IsWritable() const { return m_fd.Valid() && m_writable; }

    // Whether an item name can be placed below a chosen folder without leaving it: not empty, no
    // NUL byte, no "." or ".." component.
    static bool IsNameSafeUnderFolder(std::string_view name);

private:
    // Names looked up by hashing, the set holding item indexes.
    struct NameHash {
        using is_transparent = void;
        const std::vector<archive::ItemInfo>* items;
        std::size_t operator()(std::string_view name) const;
        std::size_t operator()(int index) const;
    };
    struct NameEqual {
        using is_transparent = void;
        const std::vector<archive::ItemInfo>* items;
        std::string_view NameOf(int index) const;
        bool operator()(int a, int b) const { return NameOf(a) == NameOf(b); }
        bool operator()(std::string_view a, int b) const { return a == NameOf(b); }
        bool operator()(int a, std::string_view b) const { return NameOf(a) == b; }
    };

    void ResetVariables();
    bool Fail(std::string message);
    bool OpenLocked(const std::filesystem::path& path, bool create);
    void ListItems(std::uint64_t fileSize);
    void ListFromIndex(archive::IndexContents& index);
    void ListByScanning(std::uint64_t fileSize);
    void OpenWithoutHeader(std::uint64_t fileSize);
    bool WriteFreshHeader();
    void AppendItem(archive::ItemInfo item);
    void IndexName(int index);
    bool PrepareForAppending();
    bool WriteRecord(const std::filesystem::path& source, archive::ItemInfo& item);
    bool CheckName(std::string_view name);
    // After a record failed to be written in full.
    void CutOffPartialRecord();
    // Takes a record written in full at the end of the data as the last item.
    void CompleteRecord(archive::ItemInfo item);
    bool WriteIndexAndSync();
    // fdatasync, failing also when a sync in the background failed; errno set.
    bool SyncFile();
    // Writes the item at `path`, or below the folder `path` when `belowFolder`.
    int Extract(int index, const std::filesystem::path& path, bool belowFolder);

    UniqueFd m_fd;
    std::filesystem::path m_path;
    bool m_writable = false;
    bool m_created = false;
    archive::FileHeader m_header;
    std::vector<archive::ItemInfo> m_items;
    std::unordered_set<int, NameHash, NameEqual> m_names;
    std::uint64_t m_dataEnd = 0;            // end of the last complete record
    archive::WritebackStarter m_writeback;  // of the records added since the archive was opened
    bool m_indexCurrent = false;            // the file ends with an index of exactly m_items
    bool m_tailTrimmed = false;             // nothing follows m_dataEnd in the file
    bool m_changed = false;                 // the tail was cut or a header written since Open
    std::size_t m_itemsAtOpen = 0;
    bool m_headerMissing = false;  // the file holds no complete header yet
    bool m_repairPending = false;
    RecoveryReport m_recovery;
    std::string m_lastError;
    std::unique_ptr<archive::DataCompressor> m_compressor;
    std::unique_ptr<archive::RecordReader> m_reader;
    std::unique_ptr<archive::ExtractionState> m_extraction;  // kept from item to item
    std::function<bool()> m_cancelled;
    bool m_wasCancelled = false;
    bool m_lastItemChanged = false;
};

}  // namespace tkw
