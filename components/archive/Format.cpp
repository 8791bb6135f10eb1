#include "components/archive/Format.h"

#include <xxhash.h>

#include "components/archive/ByteCodec.h"

namespace tkw::archive {
namespace {

std::uint32_t Check32(std::string_view bytes, std::uint32_t seed = 0) {
    return XXH32(bytes.data(), bytes.size(), seed);
}

}  // namespace

bool IsValidKind(std::uint16_t kind) {
    return kind == static_cast<std::uint16_t>(ItemKind::RegularFile) ||
           kind == static_cast<std::uint16_t>(ItemKind::SymbolicLink);
}

std::string EncodeFileHeader(const FileHeader& header) {
    std::string out;
    ByteWriter w(out);
    w.Bytes(kFileMagic);
    w.U16(kMajorVersion);
    w.U16(kMinorVersion);
    w.U32(0);
    w.I64(header.creationTime);
    w.U64(header.archiveId);
    w.U32(0);
    w.U32(Check32(out));
    return out;
}

std::optional<FileHeader> DecodeFileHeader(std::string_view bytes) {
    if (bytes.size() < kFileHeaderSize) {
        return std::nullopt;
    }
    ByteReader r(bytes.substr(0, kFileHeaderSize));
    if (r.Bytes(8) != kFileMagic || r.U16() != kMajorVersion) {
        return std::nullopt;
    }
    r.U16();  // any minor version of this major version reads the same
    r.U32();
    FileHeader header;
    header.creationTime = r.I64();
    header.archiveId = r.U64();
    r.U32();
    if (r.U32() != Check32(bytes.substr(0, kFileHeaderSize - 4))) {
        return std::nullopt;
    }
    return header;
}

std::uint32_t RecordHeaderCheck(std::string_view fixedBytes, std::string_view name,
                                std::uint32_t seed) {
    std::string bytes;
    bytes.reserve(fixedBytes.size() + name.size());
    bytes.append(fixedBytes).append(name);
    return Check32(bytes, seed);
}

std::string EncodeRecordHeader(const ItemInfo& item, std::uint32_t seed, std::uint32_t& check) {
    std::string out;
    ByteWriter w(out);
    w.Bytes(kRecordMagic);
    w.U16(static_cast<std::uint16_t>(item.kind));
    w.U16(0);
    w.U32(static_cast<std::uint32_t>(item.name.size()));
    w.U32(item.mode);
    w.I64(item.mtimeSeconds);
    w.U32(item.mtimeNanoseconds);
    w.U32(item.uid);
    w.U32(item.gid);
    check = RecordHeaderCheck(out, item.name, seed);
    w.Bytes(item.name);
    w.U32(check);
    return out;
}

std::optional<RecordFixed> DecodeRecordFixed(std::string_view bytes) {
    ByteReader r(bytes);
    if (r.Bytes(4) != kRecordMagic) {
        return std::nullopt;
    }
    const std::uint16_t kind = r.U16();
    r.U16();
    RecordFixed fixed{};
    fixed.kind = static_cast<ItemKind>(kind);
    fixed.nameLength = r.U32();
    fixed.mode = r.U32();
    fixed.mtimeSeconds = r.I64();
    fixed.mtimeNanoseconds = r.U32();
    fixed.uid = r.U32();
    fixed.gid = r.U32();
    if (!r.Ok() || !IsValidKind(kind) || fixed.nameLength == 0 ||
        fixed.nameLength > kMaxNameLength || fixed.mtimeNanoseconds > 999'999'999) {
        return std::nullopt;
    }
    return fixed;
}

std::string EncodeChunkHeader(std::uint32_t stored, std::uint32_t original) {
    std::string out;
    ByteWriter w(out);
    w.U32(stored);
    w.U32(original);
    return out;
}

std::string EncodeTrailer(const Trailer& trailer, std::uint32_t headerCheck) {
    std::string out;
    ByteWriter w(out);
    w.Bytes(kTrailerMagic);
    w.U32(trailer.chunkCount);
    w.U64(trailer.originalSize);
    w.U64(trailer.lengthBeforeTrailer);
    w.U64(trailer.hash.low);
    w.U64(trailer.hash.high);
    w.U32(0);
    w.U32(Check32(out, headerCheck));
    return out;
}

std::optional<Trailer> DecodeTrailer(std::string_view bytes, std::uint32_t headerCheck) {
    if (bytes.size() != kTrailerSize) {
        return std::nullopt;
    }
    ByteReader r(bytes);
    if (r.Bytes(4) != kTrailerMagic) {
        return std::nullopt;
    }
    Trailer t;
    t.chunkCount = r.U32();
    t.originalSize = r.U64();
    t.lengthBeforeTrailer = r.U64();
    t.hash.low = r.U64();
    t.hash.high = r.U64();
    r.U32();
    if (r.U32() != Check32(bytes.substr(0, 44), headerCheck)) {
        return std::nullopt;
    }
    return t;
}

std::string EncodeFooter(const Footer& footer) {
    std::string out;
    ByteWriter w(out);
    w.U64(footer.indexOffset);
    w.U64(footer.storedLength);
    w.U64(footer.originalLength);
    w.U64(footer.indexHash);
    w.Bytes(kFooterMagic);
    w.U32(Check32(out));
    return out;
}

std::optional<Footer> DecodeFooter(std::string_view bytes) {
    if (bytes.size() != kFooterSize) {
        return std::nullopt;
    }
    ByteReader r(bytes);
    Footer f{r.U64(), r.U64(), r.U64(), r.U64()};
    if (r.Bytes(4) != kFooterMagic || r.U32() != Check32(bytes.substr(0, kFooterSize - 4))) {
        return std::nullopt;
    }
    return f;
}

}  // namespace tkw::archive
