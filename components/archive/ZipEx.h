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
class RecordReader;
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
    // How Open found the items: through the index, or by scanning because the index was missing or
    // damaged (the program that wrote the archive was killed, say).
    struct RecoveryReport {
        bool recovered = false;
        std::size_t completeItems = 0;
        bool tornTailDropped = false;  // an item cut short at the end was left out
        std::uint64_t tornTailBytes = 0;
        std::uint64_t damagedBytes = 0;  // damaged stretches between complete items
        // The scan's work: bytes it read plus bytes its record checks looked at.
        std::uint64_t bytesExamined = 0;
    };

    struct VerifyFailure {
        int index;
        std::string error;
    };

    CZipEx();
    virtual ~CZipEx();
    CZipEx(const CZipEx&) = delete;
    CZipEx& operator=(const CZipEx&) = delete;

    // Creates an empty archive at the path (replacing a file that is there) and opens it.
    virtual int CreateZip(const std::filesystem::path& path);
    // Opens an existing archive and lists its items.
    virtual int Open(const std::filesystem::path& path);
    // Stores the file (a regular file, or a symbolic link as a link) under `name` as the last item.
    virtual int AddFile(const std::filesystem::path& source, std::string_view name);
    // Writes the index, flushes the file to disk and releases it. Also done by the destructor.
    virtual int Close();
    // Writes the index and flushes the file to disk, keeping the archive open for more items.
    int Flush();
    // Flushes the items written so far to disk (without the index): before an original is deleted.
    int SyncData();

    // The index of the first item with this name, -1 when there is none.
    virtual int FindZipItem(std::string_view name) const;
    // Writes the item to `target`, creating the missing folders of the path.
    virtual int GetItemFile(int index, const std::filesystem::path& target);
    // Writes the item below `folder` at folder + name; refused when the name could leave the folder
    // (see IsNameSafeUnderFolder) or when links on disk would take the write outside it.
    int GetItemFileUnder(int index, const std::filesystem::path& folder);

    virtual std::uint64_t GetItemFileSize(int index) const;
    virtual std::string GetItemFileName(int index) const;
    virtual std::filesystem::path GetZipFileName() const;
    virtual std::uint64_t GetZipFileSizeEx() const;
    virtual int GetNrOfFiles() const;
    // Seconds since 1970-01-01 UTC at which the archive was created.
    std::int64_t GetZipCreationTime() const;

    // Kind, modification time, permission bits and owner of an item; nullptr for a bad index.
    const archive::ItemInfo* GetItemInfo(int index) const;
    const RecoveryReport& GetRecoveryReport() const { return m_recovery; }
    // Reads every item and checks its checksum; the items that failed. `progress` (optional) is
    // called before each item and can stop the check by returning false.
    std::vector<VerifyFailure> Verify(const std::function<bool(int index)>& progress = {});
    // Reads one item and checks its checksum.
    int VerifyItem(int index);
    const std::string& GetLastError() const { return m_lastError; }
    bool IsOpen() const { return m_fd.Valid(); }

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
    void AppendItem(archive::ItemInfo item);
    bool PrepareForAppending();
    bool WriteRecord(const std::filesystem::path& source, archive::ItemInfo& item);
    bool WriteIndexAndSync();
    int Extract(int index, const std::filesystem::path& target,
                const std::optional<std::filesystem::path>& confinedTo);

    UniqueFd m_fd;
    std::filesystem::path m_path;
    bool m_writable = false;
    bool m_created = false;
    archive::FileHeader m_header;
    std::vector<archive::ItemInfo> m_items;
    std::unordered_set<int, NameHash, NameEqual> m_names;
    std::uint64_t m_dataEnd = 0;  // end of the last complete record
    bool m_indexCurrent = false;  // the file ends with an index of exactly m_items
    bool m_tailTrimmed = false;   // nothing follows m_dataEnd in the file
    RecoveryReport m_recovery;
    std::string m_lastError;
    std::unique_ptr<archive::DataCompressor> m_compressor;
    std::unique_ptr<archive::RecordReader> m_reader;
};

}  // namespace tkw
