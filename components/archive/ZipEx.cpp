#include "components/archive/ZipEx.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "components/archive/ArchiveIndex.h"
#include "components/archive/DataCompressor.h"
#include "components/archive/Extraction.h"
#include "components/archive/ItemSource.h"
#include "components/archive/PackedItem.h"
#include "components/archive/RecordReader.h"
#include "components/archive/RecordScanner.h"
#include "components/archive/SafeNames.h"

namespace tkw {
namespace fs = std::filesystem;
using archive::ItemInfo;
using archive::ItemKind;

namespace {

std::string SystemText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::uint64_t RandomArchiveId() {
    std::uint64_t id = 0;
    if (::getrandom(&id, sizeof id, 0) != sizeof id) {
        // No entropy to be had: time and process still tell archives apart well enough.
        id = static_cast<std::uint64_t>(std::time(nullptr)) * 0x9E3779B97F4A7C15ull ^
             static_cast<std::uint64_t>(::getpid());
    }
    return id;
}

// How much of a file is read between two looks at the cancel check.
constexpr std::uint64_t kCancelCheckBytes = 16u << 20;

std::uint64_t FileSize(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

std::int64_t ModificationTime(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<std::int64_t>(info.st_mtim.tv_sec) : 0;
}

// Whether the bytes are shorter than a file header and could be its beginning: a backup killed
// while it wrote its first bytes.
bool IsFileHeaderPrefix(std::string_view bytes) {
    std::string header(archive::kFileMagic);
    header.push_back(static_cast<char>(archive::kMajorVersion & 0xFF));
    header.push_back(static_cast<char>(archive::kMajorVersion >> 8));
    const std::size_t compared = std::min(bytes.size(), header.size());
    return bytes.size() < archive::kFileHeaderSize &&
           bytes.substr(0, compared) == std::string_view(header).substr(0, compared);
}

using LostItem = CZipEx::LostItem;

LostItem::NameSource SourceOf(const archive::NameInHeader& name) {
    return name.checkHolds ? LostItem::NameSource::kItemHeader
                           : LostItem::NameSource::kDamagedHeader;
}

// The items the archive held that the scan did not find: those the damaged index names, and one
// for each stretch (skipped region or torn tail) the index names none in, unless the index named
// every item.
std::vector<LostItem> FindLostItems(const std::vector<ItemInfo>& found,
                                    const archive::DamagedIndex& index,
                                    const std::vector<archive::SkippedStretch>& stretches) {
    std::vector<LostItem> lost;
    auto next = found.begin();
    for (const ItemInfo& entry : index.entries) {
        while (next != found.end() && next->recordOffset < entry.recordOffset) {
            ++next;
        }
        if (next == found.end() || next->recordOffset != entry.recordOffset) {
            lost.push_back({entry.recordOffset, entry.name, LostItem::NameSource::kIndex});
        }
    }
    if (index.complete) {
        return lost;
    }
    const std::size_t named = lost.size();
    for (const archive::SkippedStretch& stretch : stretches) {
        const bool namedByIndex =
            std::any_of(lost.begin(), lost.begin() + static_cast<std::ptrdiff_t>(named),
                        [&](const LostItem& item) {
                            return item.recordOffset >= stretch.offset &&
                                   item.recordOffset - stretch.offset < stretch.length;
                        });
        if (!namedByIndex) {
            lost.push_back(
                stretch.name ? LostItem{stretch.offset, stretch.name->name, SourceOf(*stretch.name)}
                             : LostItem{stretch.offset, {}, {}});
        }
    }
    std::sort(lost.begin(), lost.end(),
              [](const LostItem& a, const LostItem& b) { return a.recordOffset < b.recordOffset; });
    return lost;
}

// Syncs the folder that holds a newly created file, so that its name survives a system crash too.
void SyncParentFolder(const fs::path& file) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) {
        ::fsync(fd.Get());
    }
}

}  // namespace

std::size_t CZipEx::NameHash::operator()(std::string_view name) const {
    return std::hash<std::string_view>{}(name);
}
std::size_t CZipEx::NameHash::operator()(int index) const {
    return (*this)(std::string_view((*items)[static_cast<std::size_t>(index)].name));
}
std::string_view CZipEx::NameEqual::NameOf(int index) const {
    return (*items)[static_cast<std::size_t>(index)].name;
}

CZipEx::CZipEx()
    : m_names(0, NameHash{&m_items}, NameEqual{&m_items}),
      m_extraction(std::make_unique<archive::ExtractionState>()) {}

CZipEx::~CZipEx() {
    Close();
}

bool CZipEx::IsNameSafeUnderFolder(std::string_view name) {
    return archive::IsNameSafeUnderFolder(name);
}

void CZipEx::ResetVariables() {
    m_fd.Reset();
    m_path.clear();
    m_writable = m_created = m_indexCurrent = m_tailTrimmed = false;
    m_changed = m_headerMissing = m_repairPending = false;
    m_itemsAtOpen = 0;
    m_header = {};
    m_names.clear();
    m_items.clear();
    m_items.shrink_to_fit();
    m_dataEnd = 0;
    m_writeback = {};
    m_recovery = {};
    m_reader.reset();
    m_extraction->folders = {};
}

bool CZipEx::Fail(std::string message) {
    m_lastError = std::move(message);
    return false;
}

bool CZipEx::OpenLocked(const fs::path& path, bool create) {
    Close();
    m_lastError.clear();
    // A new archive is made only where no file is: two runs aimed at one target never share a
    // file, and the second learns so instead of truncating the first's archive. Created archives
    // hold other people's files: only the owner may read them.
    // (O_EXCL also refuses a link in the way; an existing archive may be reached through one.)
    const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    UniqueFd fd(::open(path.c_str(), flags, 0600));
    m_writable = fd.Valid();
    if (!fd.Valid() && create && errno == EEXIST) {
        return Fail(path.native() + " already exists");
    }
    if (!fd.Valid() && !create && (errno == EACCES || errno == EROFS)) {
        fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));  // still readable for a restore
    }
    if (!fd.Valid()) {
        return Fail(SystemText("cannot open " + path.native()));
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Fail(path.native() + " is not a regular file");
    }
    // The lock is taken before anything is changed: a file in use elsewhere stays as it is.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return Fail(errno == EWOULDBLOCK ? path.native() + " is in use by another program"
                                         : SystemText("cannot lock " + path.native()));
    }
    // Between the open and the lock another run may have replaced the file under its own lock:
    // writing to the old one would fill a file nobody can find.
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || named.st_dev != info.st_dev ||
        named.st_ino != info.st_ino) {
        return Fail(path.native() + " was replaced by another program");
    }
    m_fd = std::move(fd);
    m_path = path;
    return true;
}

int CZipEx::CreateZip(const fs::path& path) {
    if (!OpenLocked(path, true)) {
        return 0;
    }
    m_header.creationTime = static_cast<std::int64_t>(std::time(nullptr));
    m_header.archiveId = RandomArchiveId();
    if (!archive::WriteAllAt(m_fd.Get(), 0, archive::EncodeFileHeader(m_header))) {
        const std::string error = SystemText("cannot write " + path.native());
        ::unlink(path.c_str());  // our own empty file, still under our lock
        ResetVariables();
        return Fail(error);
    }
    m_created = true;
    m_dataEnd = archive::kFileHeaderSize;
    m_tailTrimmed = true;
    m_reader =
        std::make_unique<archive::RecordReader>(m_fd.Get(), m_dataEnd, m_header.RecordSeed());
    return 1;
}

int CZipEx::Open(const fs::path& path) {
    if (!OpenLocked(path, false)) {
        return 0;
    }
    std::string bytes;
    const std::uint64_t fileSize = FileSize(m_fd.Get());
    if (fileSize < archive::kFileHeaderSize &&
        archive::ReadExactAt(m_fd.Get(), 0, static_cast<std::size_t>(fileSize), bytes) &&
        IsFileHeaderPrefix(bytes)) {
        OpenWithoutHeader(fileSize);
        return 1;
    }
    const auto header = archive::ReadExactAt(m_fd.Get(), 0, archive::kFileHeaderSize, bytes)
                            ? archive::DecodeFileHeader(bytes)
                            : std::nullopt;
    if (!header) {
        ResetVariables();
        return Fail(path.native() + " is not a Tarnwick backup file (or its header is damaged)");
    }
    m_header = *header;
    ListItems(fileSize);
    return 1;
}

void CZipEx::OpenWithoutHeader(std::uint64_t fileSize) {
    m_headerMissing = true;
    // The file was made when the backup began; its header would have said so.
    m_header.creationTime = ModificationTime(m_fd.Get());
    m_tailTrimmed = fileSize == 0;
    m_recovery.recovered = true;
    m_recovery.index = IndexState::kMissing;
    m_recovery.headerMissing = true;
    m_recovery.bytesCutOnAppend = fileSize;
    m_repairPending = true;
    m_reader = std::make_unique<archive::RecordReader>(m_fd.Get(), 0, 0);
}

// A file that held only part of a header gets a whole new one: the archive starts here.
bool CZipEx::WriteFreshHeader() {
    archive::FileHeader header;
    header.creationTime = static_cast<std::int64_t>(std::time(nullptr));
    header.archiveId = RandomArchiveId();
    m_tailTrimmed = false;
    if (::ftruncate(m_fd.Get(), 0) != 0 ||
        !archive::WriteAllAt(m_fd.Get(), 0, archive::EncodeFileHeader(header))) {
        return Fail(SystemText("cannot write " + m_path.native()));
    }
    m_header = header;
    m_headerMissing = false;
    m_changed = true;
    m_dataEnd = archive::kFileHeaderSize;
    m_tailTrimmed = true;
    m_reader =
        std::make_unique<archive::RecordReader>(m_fd.Get(), m_dataEnd, m_header.RecordSeed());
    return true;
}

void CZipEx::ListItems(std::uint64_t fileSize) {
    m_reader = std::make_unique<archive::RecordReader>(m_fd.Get(), fileSize, m_header.RecordSeed());
    if (auto index = archive::ReadIndex(m_fd.Get(), fileSize)) {
        ListFromIndex(*index);
    } else {
        ListByScanning(fileSize);
    }
    m_recovery.completeItems = m_items.size();
    m_itemsAtOpen = m_items.size();
    m_repairPending = m_recovery.RepairsOnAppend();
}

void CZipEx::ListFromIndex(archive::IndexContents& index) {
    m_dataEnd = index.dataEnd;
    m_indexCurrent = true;
    m_items = std::move(index.items);
    for (int i = 0; i < static_cast<int>(m_items.size()); ++i) {
        IndexName(i);
    }
}

void CZipEx::ListByScanning(std::uint64_t fileSize) {
    archive::ScanResult scan = archive::ScanRecords(m_fd.Get(), fileSize, m_header.RecordSeed());
    const archive::DamagedIndex index = archive::ReadDamagedIndex(m_fd.Get(), fileSize);
    m_dataEnd = scan.dataEnd;
    m_tailTrimmed = scan.tailBytes == 0;
    // What follows the last complete item up to the index (or the end) is an item cut short.
    const bool indexAfterData = index.offset && *index.offset >= scan.dataEnd;
    const std::uint64_t tornEnd = indexAfterData ? *index.offset : fileSize;
    const bool tailIsIndex = scan.tailIsIndex || (indexAfterData && tornEnd == scan.dataEnd);

    RecoveryReport& report = m_recovery;
    report.recovered = true;
    report.index = index.present || scan.tailIsIndex ? IndexState::kDamaged : IndexState::kMissing;
    report.tornTailDropped = !tailIsIndex && tornEnd > scan.dataEnd;
    report.tornTailOffset = report.tornTailDropped ? scan.dataEnd : 0;
    report.tornTailBytes = report.tornTailDropped ? tornEnd - scan.dataEnd : 0;
    report.damagedBytes = scan.damagedBytes;
    report.bytesCutOnAppend = scan.tailBytes;
    report.bytesExamined = scan.bytesExamined;
    for (const archive::SkippedStretch& stretch : scan.skipped) {
        report.skippedRegions.push_back({stretch.offset, stretch.length});
    }
    if (report.tornTailDropped) {
        scan.skipped.push_back({report.tornTailOffset, report.tornTailBytes, scan.tailName});
    }
    report.lostItems = FindLostItems(scan.items, index, scan.skipped);
    report.lostItemsExact = index.complete;
    for (ItemInfo& item : scan.items) {
        AppendItem(std::move(item));
    }
}

void CZipEx::AppendItem(ItemInfo item) {
    m_items.push_back(std::move(item));
    IndexName(static_cast<int>(m_items.size() - 1));
}

bool CZipEx::PrepareForAppending() {
    if (!m_fd.Valid()) {
        return Fail("no backup file is open");
    }
    if (!m_writable) {
        return Fail(m_path.native() + " is open for reading only");
    }
    if (m_headerMissing && !WriteFreshHeader()) {
        return false;
    }
    // The index and any torn tail go: new records follow the last complete one.
    if (!m_tailTrimmed) {
        if (::ftruncate(m_fd.Get(), static_cast<off_t>(m_dataEnd)) != 0) {
            return Fail(SystemText("cannot write " + m_path.native()));
        }
        m_tailTrimmed = true;
        m_changed = true;
    }
    if (!m_writeback.Active()) {
        m_writeback = archive::WritebackStarter(m_fd.Get(), m_dataEnd, true);
    }
    m_repairPending = false;
    m_indexCurrent = false;
    if (!m_compressor) {
        m_compressor = std::make_unique<archive::DataCompressor>();
    }
    return true;
}

bool CZipEx::WriteRecord(const fs::path& source, ItemInfo& item) {
    archive::ItemSource input;
    std::string error;
    if (!input.Open(source, item, error)) {
        return Fail(std::move(error));
    }
    item.recordOffset = m_dataEnd;
    archive::AppendWriter writer(m_fd.Get(), m_dataEnd, &m_writeback);
    std::uint32_t check = 0;
    if (!writer.Append(archive::EncodeRecordHeader(item, m_header.RecordSeed(), check))) {
        return Fail(SystemText("cannot write " + m_path.native()));
    }
    std::uint64_t readSinceCheck = 0;
    const archive::DataCompressor::Source read = [&](char* buffer, std::size_t size) -> long {
        // A large file is not read to its end after the user cancelled.
        if (readSinceCheck >= kCancelCheckBytes) {
            readSinceCheck = 0;
            if (m_cancelled && m_cancelled()) {
                m_wasCancelled = true;
                errno = ECANCELED;
                return -1;
            }
        }
        const long n = input.Read(buffer, size);
        readSinceCheck += n > 0 ? static_cast<std::uint64_t>(n) : 0;
        return n;
    };
    auto trailer = m_compressor->Write(read, writer, error);
    if (!trailer) {
        return Fail(m_wasCancelled ? "cancelled" : source.native() + ": " + error);
    }
    trailer->lengthBeforeTrailer = writer.Position() - item.recordOffset;
    if (!writer.Append(archive::EncodeTrailer(*trailer, check)) || !writer.Flush()) {
        return Fail(SystemText("cannot write " + m_path.native()));
    }
    item.size = trailer->originalSize;
    item.recordLength = writer.Position() - item.recordOffset;
    m_lastItemChanged = input.ChangedWhileRead(item.size);
    return true;
}

bool CZipEx::CheckName(std::string_view name) {
    if (name.empty() || name.size() > archive::kMaxNameLength ||
        name.find('\0') != std::string_view::npos) {
        return Fail("the name \"" + std::string(name) + "\" cannot be stored");
    }
    return true;
}

void CZipEx::CutOffPartialRecord() {
    // Whatever part of the record reached the file is cut off again.
    if (::ftruncate(m_fd.Get(), static_cast<off_t>(m_dataEnd)) != 0) {
        m_tailTrimmed = false;
    }
}

void CZipEx::CompleteRecord(ItemInfo item) {
    m_dataEnd = item.recordOffset + item.recordLength;
    m_writeback.Wrote(m_dataEnd);
    AppendItem(std::move(item));
    m_reader =
        std::make_unique<archive::RecordReader>(m_fd.Get(), m_dataEnd, m_header.RecordSeed());
}

int CZipEx::AddFile(const fs::path& source, std::string_view name) {
    m_lastError.clear();
    m_wasCancelled = m_lastItemChanged = false;
    if (!CheckName(name) || !PrepareForAppending()) {
        return 0;
    }
    ItemInfo item;
    item.name = name;
    if (!WriteRecord(source, item)) {
        CutOffPartialRecord();
        return 0;
    }
    CompleteRecord(std::move(item));
    return 1;
}

int CZipEx::AddPacked(archive::PackedItem packed) {
    m_lastError.clear();
    m_wasCancelled = m_lastItemChanged = false;
    if (!CheckName(packed.item.name) || !PrepareForAppending()) {
        return 0;
    }
    if (!packed.Packed()) {
        return Fail(std::move(packed.error));
    }
    ItemInfo& item = packed.item;
    item.recordOffset = m_dataEnd;
    std::uint32_t check = 0;
    const std::string header = archive::EncodeRecordHeader(item, m_header.RecordSeed(), check);
    packed.trailer.lengthBeforeTrailer = header.size() + packed.data.size();
    const std::string trailer = archive::EncodeTrailer(packed.trailer, check);
    if (!archive::WriteAllAt(m_fd.Get(), m_dataEnd, {header, packed.data, trailer})) {
        Fail(SystemText("cannot write " + m_path.native()));
        CutOffPartialRecord();
        return 0;
    }
    item.recordLength = packed.trailer.lengthBeforeTrailer + trailer.size();
    m_lastItemChanged = packed.changedWhileRead;
    CompleteRecord(std::move(item));
    return 1;
}

bool CZipEx::SyncFile() {
    // The background syncs first: one of them may have been the one told of a failed write-back.
    const int background = m_writeback.Settle();
    if (background != 0) {
        errno = background;
        return false;
    }
    return ::fdatasync(m_fd.Get()) == 0;
}

bool CZipEx::WriteIndexAndSync() {
    // Reading never changes the file: only an archive created or added to gets a new index.
    const bool changed = m_created || m_changed || m_items.size() != m_itemsAtOpen;
    if (!m_writable || m_indexCurrent || !changed || m_headerMissing) {
        return true;
    }
    archive::AppendWriter writer(m_fd.Get(), m_dataEnd);
    if (::ftruncate(m_fd.Get(), static_cast<off_t>(m_dataEnd)) != 0 ||
        !archive::WriteIndex(writer, m_items, m_dataEnd) || !writer.Flush() || !SyncFile()) {
        return Fail(SystemText("cannot write the index of " + m_path.native()));
    }
    m_indexCurrent = true;
    m_tailTrimmed = false;  // the index follows the data now
    m_reader->SetFileSize(writer.Position());
    return true;
}

int CZipEx::Flush() {
    if (!m_fd.Valid()) {
        return Fail("no backup file is open");
    }
    return WriteIndexAndSync() ? 1 : 0;
}

int CZipEx::SyncData() {
    if (!m_fd.Valid()) {
        return Fail("no backup file is open");
    }
    if (m_writable && !SyncFile()) {
        return Fail(SystemText("cannot flush " + m_path.native()));
    }
    return 1;
}

int CZipEx::Close() {
    if (!m_fd.Valid()) {
        return 1;
    }
    const bool ok = WriteIndexAndSync();
    if (m_created) {
        SyncParentFolder(m_path);
    }
    ResetVariables();
    return ok ? 1 : 0;
}

void CZipEx::IndexName(int index) {
    // A name stored again stands for its newest item, as the loaded-backup tree shows it.
    const auto [place, added] = m_names.insert(index);
    if (!added) {
        m_names.erase(place);
        m_names.insert(index);
    }
}

int CZipEx::FindZipItem(std::string_view name) const {
    const auto found = m_names.find(name);
    return found == m_names.end() ? -1 : *found;
}

const ItemInfo* CZipEx::GetItemInfo(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_items.size()) {
        return nullptr;
    }
    return &m_items[static_cast<std::size_t>(index)];
}

int CZipEx::Extract(int index, const fs::path& path, bool belowFolder) {
    m_lastError.clear();
    const ItemInfo* item = GetItemInfo(index);
    if (item == nullptr || !m_reader) {
        return Fail("no item " + std::to_string(index) + " in the backup file");
    }
    std::string error;
    const bool ok =
        belowFolder ? archive::ExtractItemBelow(*m_reader, *item, path, error, m_extraction.get())
                    : archive::ExtractItem(*m_reader, *item, path, error, m_extraction.get());
    return ok ? 1 : Fail(item->name + ": " + error);
}

int CZipEx::SyncExtracted() {
    std::string error;
    return m_extraction->syncs.Finish(error) ? 1 : Fail(std::move(error));
}

CZipEx::NewItemWriter::NewItemWriter(const CZipEx& archive,
                                     std::unique_ptr<archive::RecordReader> reader,
                                     std::unique_ptr<archive::ExtractionState> state)
    : m_archive(archive), m_reader(std::move(reader)), m_state(std::move(state)) {}

CZipEx::NewItemWriter::~NewItemWriter() = default;

CZipEx::NewItemWriter::Outcome CZipEx::NewItemWriter::Write(int index, const fs::path& path,
                                                            bool belowFolder) {
    const ItemInfo* item = m_archive.GetItemInfo(index);
    // A large file is synced on its own, which this writer leaves to the usual way.
    if (item == nullptr || !archive::NeedsFileSystemSync(*item) ||
        (belowFolder && !archive::IsNameSafeUnderFolder(item->name))) {
        return Outcome::kFailed;
    }
    std::string error;
    m_state->nameTaken = false;
    const bool ok = belowFolder
                        ? archive::ExtractItemBelow(*m_reader, *item, path, error, m_state.get())
                        : archive::ExtractItem(*m_reader, *item, path, error, m_state.get());
    if (ok) {
        return Outcome::kWritten;
    }
    return m_state->nameTaken ? Outcome::kNameTaken : Outcome::kFailed;
}

std::vector<std::unique_ptr<CZipEx::NewItemWriter>> CZipEx::NewItemWriters(
    std::size_t count) const {
    std::vector<std::unique_ptr<NewItemWriter>> writers;
    if (!m_reader) {
        return writers;
    }
    const auto cleared = std::make_shared<archive::ClearedInRun>();
    for (std::size_t i = 0; i < count; ++i) {
        auto state = std::make_unique<archive::ExtractionState>();
        state->newNamesOnly = true;
        state->cleared = cleared;
        writers.push_back(std::unique_ptr<NewItemWriter>(
            new NewItemWriter(*this,
                              std::make_unique<archive::RecordReader>(
                                  m_fd.Get(), m_reader->FileSize(), m_reader->RecordSeed()),
                              std::move(state))));
    }
    return writers;
}

int CZipEx::GetItemFile(int index, const fs::path& target) {
    return Extract(index, target, false);
}

int CZipEx::GetItemFileUnder(int index, const fs::path& folder) {
    const ItemInfo* item = GetItemInfo(index);
    if (item == nullptr) {
        return Fail("no item " + std::to_string(index) + " in the backup file");
    }
    // Checked before anything is created: a refused name leaves no trace, not even the folder.
    if (!archive::IsNameSafeUnderFolder(item->name)) {
        return Fail("the name \"" + item->name + "\" would leave the folder " + folder.native());
    }
    return Extract(index, folder, true);
}

std::vector<CZipEx::VerifyFailure> CZipEx::Verify(const std::function<bool(int index)>& progress) {
    std::vector<VerifyFailure> failures;
    for (int i = 0; i < GetNrOfFiles(); ++i) {
        if (progress && !progress(i)) {
            break;
        }
        std::string error;
        if (!archive::VerifyItem(*m_reader, m_items[static_cast<std::size_t>(i)], error)) {
            failures.push_back({i, error});
        }
    }
    return failures;
}

int CZipEx::VerifyItem(int index) {
    const ItemInfo* item = GetItemInfo(index);
    if (item == nullptr || !m_reader) {
        return Fail("no item " + std::to_string(index) + " in the backup file");
    }
    std::string error;
    if (!archive::VerifyItem(*m_reader, *item, error)) {
        return Fail(item->name + ": " + error);
    }
    return 1;
}

std::uint64_t CZipEx::GetItemFileSize(int index) const {
    const ItemInfo* item = GetItemInfo(index);
    return item ? item->size : 0;
}

std::string CZipEx::GetItemFileName(int index) const {
    const ItemInfo* item = GetItemInfo(index);
    return item ? item->name : std::string();
}

fs::path CZipEx::GetZipFileName() const {
    return m_path;
}

std::uint64_t CZipEx::GetZipFileSizeEx() const {
    return m_fd.Valid() ? FileSize(m_fd.Get()) : 0;
}

int CZipEx::GetNrOfFiles() const {
    return static_cast<int>(m_items.size());
}

std::int64_t CZipEx::GetZipCreationTime() const {
    return m_header.creationTime;
}

}  // namespace tkw
