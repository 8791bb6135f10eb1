#pragma once

// The .tkw container, as docs/FORMAT.md describes it byte by byte.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tkw::archive {

inline constexpr std::string_view kFileMagic{"\x89TKW\r\n\x1A\n", 8};
inline constexpr std::uint16_t kMajorVersion = 1;
inline constexpr std::uint16_t kMinorVersion = 0;
inline constexpr std::size_t kFileHeaderSize = 40;

inline constexpr std::string_view kRecordMagic = "TKWI";
inline constexpr std::size_t kRecordFixedSize = 36;  // before the name
inline constexpr std::size_t kHeaderCheckSize = 4;   // after the name
inline constexpr std::uint32_t kMaxNameLength = 65536;

inline constexpr std::size_t kChunkHeaderSize = 8;
inline constexpr std::uint32_t kMaxChunkOriginal = 32u << 20;

inline constexpr std::string_view kTrailerMagic = "TKWE";
inline constexpr std::size_t kTrailerSize = 48;

inline constexpr std::string_view kIndexMagic = "TKWX";
inline constexpr std::size_t kIndexHeaderSize = 24;
inline constexpr std::size_t kIndexEntryFixedSize = 56;

inline constexpr std::string_view kFooterMagic = "TKWF";

// The index is stored as one zstd frame, which starts with this magic; a record never does.
inline constexpr std::string_view kZstdFrameMagic{"\x28\xB5\x2F\xFD", 4};
inline constexpr std::size_t kFooterSize = 40;

enum class ItemKind : std::uint16_t { RegularFile = 1, SymbolicLink = 2 };

// What the archive knows about one item.
struct ItemInfo {
    std::string name;  // the full path, native bytes
    ItemKind kind = ItemKind::RegularFile;
    std::uint32_t mode = 0;  // permission bits
    std::int64_t mtimeSeconds = 0;
    std::uint32_t mtimeNanoseconds = 0;
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::uint64_t size = 0;          // original bytes
    std::uint64_t recordOffset = 0;  // first byte of the record
    std::uint64_t recordLength = 0;  // up to the end of the trailer
};

struct Hash128 {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const Hash128&) const = default;
};

struct Trailer {
    std::uint32_t chunkCount = 0;
    std::uint64_t originalSize = 0;
    std::uint64_t lengthBeforeTrailer = 0;
    Hash128 hash;
};

struct FileHeader {
    std::int64_t creationTime = 0;
    std::uint64_t archiveId = 0;
    // Seeds every record check, tying records to this archive.
    std::uint32_t RecordSeed() const {
        return static_cast<std::uint32_t>(archiveId) ^ static_cast<std::uint32_t>(archiveId >> 32);
    }
};

std::string EncodeFileHeader(const FileHeader& header);
// Nothing when the bytes are not a version-1 header.
std::optional<FileHeader> DecodeFileHeader(std::string_view bytes);

// The record header with its name and header check; also returns the check through `check`.
std::string EncodeRecordHeader(const ItemInfo& item, std::uint32_t seed, std::uint32_t& check);
// Decodes the fixed part; the caller then reads the name and the check.
struct RecordFixed {
    ItemKind kind;
    std::uint32_t nameLength;
    std::uint32_t mode;
    std::int64_t mtimeSeconds;
    std::uint32_t mtimeNanoseconds;
    std::uint32_t uid;
    std::uint32_t gid;
};
std::optional<RecordFixed> DecodeRecordFixed(std::string_view bytes);
// The header check a valid record would carry for these fixed bytes and name.
std::uint32_t RecordHeaderCheck(std::string_view fixedBytes, std::string_view name,
                                std::uint32_t seed);

std::string EncodeChunkHeader(std::uint32_t stored, std::uint32_t original);

std::string EncodeTrailer(const Trailer& trailer, std::uint32_t headerCheck);
std::optional<Trailer> DecodeTrailer(std::string_view bytes, std::uint32_t headerCheck);

struct Footer {
    std::uint64_t indexOffset;
    std::uint64_t storedLength;    // of the zstd frame
    std::uint64_t originalLength;  // of the decoded index
    std::uint64_t indexHash;       // XXH3-64 of the decoded index
};
std::string EncodeFooter(const Footer& footer);
std::optional<Footer> DecodeFooter(std::string_view bytes);

bool IsValidKind(std::uint16_t kind);

}  // namespace tkw::archive
