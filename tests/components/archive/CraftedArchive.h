#pragma once

// Archive bytes laid out by hand, field by field as docs/FORMAT.md describes them, for files our
// writer never makes: hostile layouts that must not slow the recovery scan down, and damage in
// exact places. Header-only, so that the fuzz seed writer can use it too.

#include <xxhash.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "components/archive/Format.h"

namespace tkw::test {

class CraftedArchive {
public:
    explicit CraftedArchive(std::uint64_t archiveId = 0x5EED'0F'7A'12'34'56'78ull) {
        m_header.creationTime = 1700000000;
        m_header.archiveId = archiveId;
        m_bytes = archive::EncodeFileHeader(m_header);
    }

    std::uint32_t Seed() const { return m_header.RecordSeed(); }
    std::string& Bytes() { return m_bytes; }
    std::uint64_t Size() const { return m_bytes.size(); }

    // Writes `bytes` at `offset`, growing the file with zeros as needed.
    void Put(std::uint64_t offset, std::string_view bytes) {
        if (m_bytes.size() < offset + bytes.size()) {
            m_bytes.resize(offset + bytes.size(), '\0');
        }
        m_bytes.replace(offset, bytes.size(), bytes);
    }

    // A record header with a valid header check for `name`; the check through `check`.
    void PutHeader(std::uint64_t offset, std::string_view name, std::uint32_t& check) {
        Put(offset, archive::EncodeRecordHeader(Item(name), Seed(), check));
    }
    // Only the fixed part of a record header announcing a name of `nameLength` bytes; the name and
    // the header check are whatever the file holds after it.
    void PutFixedPart(std::uint64_t offset, std::uint32_t nameLength) {
        std::uint32_t ignored = 0;
        std::string fixed = archive::EncodeRecordHeader(Item("x"), Seed(), ignored);
        fixed.resize(archive::kRecordFixedSize);
        Put(offset, fixed);
        PutU32(offset + 8, nameLength);
    }
    void PutU32(std::uint64_t offset, std::uint32_t value) {
        const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                               static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
        Put(offset, std::string_view(bytes, 4));
    }
    void PutChunkHeader(std::uint64_t offset, std::uint32_t stored, std::uint32_t original) {
        Put(offset, archive::EncodeChunkHeader(stored, original));
    }
    // The end marker and, after it, a trailer for an empty item whose record starts at
    // `recordOffset`, checked with `headerCheck`.
    void PutEmptyItemEnd(std::uint64_t offset, std::uint64_t recordOffset,
                         std::uint32_t headerCheck) {
        PutChunkHeader(offset, 0, 0);
        archive::Trailer trailer;
        trailer.lengthBeforeTrailer = offset + archive::kChunkHeaderSize - recordOffset;
        const XXH128_hash_t nothing = XXH3_128bits(nullptr, 0);
        trailer.hash = {nothing.low64, nothing.high64};
        Put(offset + archive::kChunkHeaderSize, archive::EncodeTrailer(trailer, headerCheck));
    }
    // A complete empty item at the end of the file; its record offset.
    std::uint64_t AppendEmptyItem(std::string_view name) {
        const std::uint64_t offset = Size();
        std::uint32_t check = 0;
        PutHeader(offset, name, check);
        PutEmptyItemEnd(Size(), offset, check);
        return offset;
    }

private:
    static archive::ItemInfo Item(std::string_view name) {
        archive::ItemInfo item;
        item.name = name;
        item.mode = 0644;
        item.mtimeSeconds = 1700000000;
        return item;
    }

    archive::FileHeader m_header;
    std::string m_bytes;
};

// Record headers every `spacing` bytes, each followed by a chunk whose data swallows the next
// header and whose next chunk header is the next record's first one: every chain runs on to the
// end of the file, where it fails. Read naively, each header walks all the chunks after it.
inline std::string NestedSwallowingChunks(std::uint64_t size, std::uint64_t spacing = 64) {
    CraftedArchive file;
    const std::string name = "/nested";
    const std::uint64_t headerSize =
        archive::kRecordFixedSize + name.size() + archive::kHeaderCheckSize;
    for (std::uint64_t offset = archive::kFileHeaderSize; offset + spacing <= size;
         offset += spacing) {
        std::uint32_t check = 0;
        file.PutHeader(offset, name, check);
        file.PutChunkHeader(offset + headerSize, static_cast<std::uint32_t>(spacing - 8), 1 << 20);
    }
    file.Bytes().resize(size, '\0');
    return file.Bytes();
}

// Valid record headers every `spacing` bytes announcing the longest names, so that each name
// holds a thousand more headers; none of them has a complete record after it.
inline std::string HeaderFlood(std::uint64_t size, std::uint64_t spacing = 64) {
    constexpr std::uint64_t kCheckAt = archive::kRecordFixedSize + archive::kMaxNameLength;
    CraftedArchive file;
    for (std::uint64_t offset = archive::kFileHeaderSize; offset + spacing <= size;
         offset += spacing) {
        file.PutFixedPart(offset, archive::kMaxNameLength);
    }
    file.Bytes().resize(size, '\0');
    // A name holds the checks of the headers before it, never of those after it: the checks are
    // made valid front to back.
    for (std::uint64_t offset = archive::kFileHeaderSize;
         offset + kCheckAt + archive::kHeaderCheckSize <= size; offset += spacing) {
        const std::string_view bytes(file.Bytes());
        const std::uint32_t check = archive::RecordHeaderCheck(
            bytes.substr(offset, archive::kRecordFixedSize),
            bytes.substr(offset + archive::kRecordFixedSize, archive::kMaxNameLength), file.Seed());
        file.PutU32(offset + kCheckAt, check);
    }
    return file.Bytes();
}

// Records whose chunks, end marker and trailer are all in order but whose header check is wrong,
// one every 128 bytes, each name holding the next 512 records: a record with a damaged header,
// copied over and over. Read naively, each one hashes a 64 KiB name.
inline std::string WrongChecksInLongNames(std::uint64_t size) {
    constexpr std::uint64_t kSpacing = 128;
    constexpr std::uint64_t kNameLength = archive::kMaxNameLength;
    constexpr std::uint64_t kDataStart =
        archive::kRecordFixedSize + kNameLength + archive::kHeaderCheckSize;
    CraftedArchive file;
    for (std::uint64_t offset = archive::kFileHeaderSize;
         offset + kDataStart + archive::kChunkHeaderSize + archive::kTrailerSize <= size;
         offset += kSpacing) {
        file.PutFixedPart(offset, kNameLength);
        // Stored header check 0, which the hash of these names is not; the trailer agrees with it.
        file.PutEmptyItemEnd(offset + kDataStart, offset, 0);
    }
    file.Bytes().resize(size, '\0');
    return file.Bytes();
}

}  // namespace tkw::test
