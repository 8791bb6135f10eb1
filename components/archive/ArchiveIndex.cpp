#include "components/archive/ArchiveIndex.h"

#include <xxhash.h>
#include <zstd.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "components/archive/ByteCodec.h"

namespace tkw::archive {
namespace {

constexpr std::uint64_t kMaxIndexLength = 1ull << 30;
// An index compresses to a tenth or so; far beyond that the footer is forged.
constexpr std::uint64_t kMaxIndexRatio = 256;
constexpr std::uint64_t kIndexSlack = 1 << 16;

struct Hash64Deleter {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};
struct CompressorDeleter {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

std::string EncodeEntry(const ItemInfo& item) {
    std::string out;
    ByteWriter w(out);
    w.U64(item.recordOffset);
    w.U64(item.recordLength);
    w.U64(item.size);
    w.U16(static_cast<std::uint16_t>(item.kind));
    w.U16(0);
    w.U32(item.mode);
    w.I64(item.mtimeSeconds);
    w.U32(item.mtimeNanoseconds);
    w.U32(item.uid);
    w.U32(item.gid);
    w.U32(static_cast<std::uint32_t>(item.name.size()));
    w.Bytes(item.name);
    return out;
}

// An entry is checked against what a record can be: inside the data, after the previous one.
std::optional<ItemInfo> DecodeEntry(ByteReader& r, std::uint64_t previousEnd,
                                    std::uint64_t dataEnd) {
    ItemInfo item;
    item.recordOffset = r.U64();
    item.recordLength = r.U64();
    item.size = r.U64();
    const std::uint16_t kind = r.U16();
    r.U16();
    item.mode = r.U32();
    item.mtimeSeconds = r.I64();
    item.mtimeNanoseconds = r.U32();
    item.uid = r.U32();
    item.gid = r.U32();
    const std::uint32_t nameLength = r.U32();
    if (!r.Ok() || !IsValidKind(kind) || nameLength == 0 || nameLength > kMaxNameLength) {
        return std::nullopt;
    }
    item.kind = static_cast<ItemKind>(kind);
    item.name = r.Bytes(nameLength);
    const std::uint64_t minimumLength =
        kRecordFixedSize + nameLength + kHeaderCheckSize + kChunkHeaderSize + kTrailerSize;
    if (!r.Ok() || item.recordOffset < previousEnd || item.recordOffset > dataEnd ||
        item.recordLength < minimumLength || item.recordLength > dataEnd - item.recordOffset ||
        item.name.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return item;
}

bool DecodeEntries(ByteReader& r, std::uint64_t count, std::uint64_t dataEnd,
                   std::vector<ItemInfo>& items) {
    std::uint64_t previousEnd = kFileHeaderSize;
    for (std::uint64_t i = 0; i < count; ++i) {
        auto item = DecodeEntry(r, previousEnd, dataEnd);
        if (!item) {
            return false;
        }
        previousEnd = item->recordOffset + item->recordLength;
        items.push_back(std::move(*item));
    }
    return r.Remaining() == 0;
}

// The decoded length a footer may claim for `stored` bytes: more is refused, not allocated.
std::uint64_t MaxIndexLength(std::uint64_t stored) {
    return stored >= kMaxIndexLength / kMaxIndexRatio
               ? kMaxIndexLength
               : std::min(kMaxIndexLength, stored * kMaxIndexRatio + kIndexSlack);
}

}  // namespace

bool WriteIndex(AppendWriter& writer, const std::vector<ItemInfo>& items, std::uint64_t dataEnd) {
    // The entries go through one zstd frame: names share long prefixes, so the index shrinks to a
    // fraction, which matters for archives of many small files.
    std::unique_ptr<XXH3_state_t, Hash64Deleter> hash(XXH3_createState());
    XXH3_64bits_reset(hash.get());
    std::unique_ptr<ZSTD_CCtx, CompressorDeleter> context(ZSTD_createCCtx());
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, 3);
    std::string output(ZSTD_CStreamOutSize(), '\0');
    std::uint64_t original = 0;
    std::uint64_t stored = 0;
    const auto compress = [&](std::string_view bytes, ZSTD_EndDirective mode) {
        XXH3_64bits_update(hash.get(), bytes.data(), bytes.size());
        original += bytes.size();
        ZSTD_inBuffer in{bytes.data(), bytes.size(), 0};
        while (true) {
            ZSTD_outBuffer out{output.data(), output.size(), 0};
            const std::size_t left = ZSTD_compressStream2(context.get(), &out, &in, mode);
            if (ZSTD_isError(left) || !writer.Append(std::string_view(output.data(), out.pos))) {
                return false;
            }
            stored += out.pos;
            if (mode == ZSTD_e_end ? left == 0 : in.pos == in.size) {
                return true;
            }
        }
    };
    std::string head;
    ByteWriter w(head);
    w.Bytes(kIndexMagic);
    w.U32(0);
    w.U64(items.size());
    w.U64(dataEnd);
    if (!compress(head, ZSTD_e_continue)) {
        return false;
    }
    for (const ItemInfo& item : items) {
        if (!compress(EncodeEntry(item), ZSTD_e_continue)) {
            return false;
        }
    }
    if (!compress({}, ZSTD_e_end)) {
        return false;
    }
    return writer.Append(EncodeFooter({dataEnd, stored, original, XXH3_64bits_digest(hash.get())}));
}

std::optional<IndexContents> ReadIndex(int fd, std::uint64_t fileSize) {
    std::string bytes;
    if (fileSize < kFileHeaderSize + kFooterSize ||
        !ReadExactAt(fd, fileSize - kFooterSize, kFooterSize, bytes)) {
        return std::nullopt;
    }
    const auto footer = DecodeFooter(bytes);
    if (!footer || footer->indexOffset < kFileHeaderSize || footer->storedLength == 0 ||
        footer->storedLength > fileSize - kFooterSize - kFileHeaderSize ||
        footer->indexOffset != fileSize - kFooterSize - footer->storedLength ||
        footer->originalLength < kIndexHeaderSize) {
        return std::nullopt;
    }
    // The decoded size is bounded by what the stored bytes can plausibly hold and the stored size
    // by what the decoded size compresses to at worst, so a forged footer cannot make the reader
    // allocate much more than the index it claims. Past the cap (millions of
    // items) the index is not trusted into memory; the scan, which streams, lists the items.
    if (footer->originalLength > MaxIndexLength(footer->storedLength) ||
        footer->storedLength > ZSTD_compressBound(footer->originalLength) + kIndexSlack) {
        return std::nullopt;
    }
    std::string stored;
    if (!ReadExactAt(fd, footer->indexOffset, footer->storedLength, stored)) {
        return std::nullopt;
    }
    bytes.resize(footer->originalLength);
    const std::size_t decoded =
        ZSTD_decompress(bytes.data(), bytes.size(), stored.data(), stored.size());
    if (ZSTD_isError(decoded) || decoded != bytes.size() ||
        XXH3_64bits(bytes.data(), bytes.size()) != footer->indexHash) {
        return std::nullopt;
    }
    ByteReader r(bytes);
    IndexContents contents;
    if (r.Bytes(4) != kIndexMagic) {
        return std::nullopt;
    }
    r.U32();
    const std::uint64_t count = r.U64();
    contents.dataEnd = r.U64();
    if (!r.Ok() || contents.dataEnd != footer->indexOffset ||
        count > r.Remaining() / kIndexEntryFixedSize) {
        return std::nullopt;
    }
    contents.items.reserve(count);
    if (!DecodeEntries(r, count, contents.dataEnd, contents.items)) {
        return std::nullopt;
    }
    return contents;
}

namespace {

constexpr std::size_t kInputPiece = 1 << 17;
// As for item data: an index frame never needs a larger window.
constexpr int kMaxWindowLog = 25;

struct DecompressorDeleter {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

// What the frame at `offset` decodes to until it ends, fails or passes `cap` bytes.
std::string DecodeWhatDecodes(int fd, std::uint64_t offset, std::uint64_t stored,
                              std::uint64_t cap) {
    std::unique_ptr<ZSTD_DCtx, DecompressorDeleter> context(ZSTD_createDCtx());
    ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, kMaxWindowLog);
    std::string decoded;
    std::string input;
    std::string output(ZSTD_DStreamOutSize(), '\0');
    for (std::uint64_t consumed = 0; consumed < stored;) {
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(kInputPiece, stored - consumed));
        if (!ReadExactAt(fd, offset + consumed, piece, input)) {
            return decoded;
        }
        consumed += piece;
        ZSTD_inBuffer in{input.data(), piece, 0};
        while (true) {
            ZSTD_outBuffer out{output.data(), output.size(), 0};
            const std::size_t left = ZSTD_decompressStream(context.get(), &out, &in);
            if (ZSTD_isError(left)) {
                return decoded;
            }
            decoded.append(output.data(), std::min<std::uint64_t>(out.pos, cap - decoded.size()));
            if (decoded.size() == cap || left == 0) {
                return decoded;
            }
            // Input used up and nothing more came out: the frame goes on in the next piece.
            if (in.pos == in.size && out.pos < out.size) {
                break;
            }
        }
    }
    return decoded;
}

}  // namespace

DamagedIndex ReadDamagedIndex(int fd, std::uint64_t fileSize) {
    DamagedIndex index;
    std::string bytes;
    if (fileSize < kFileHeaderSize + kFooterSize ||
        !ReadExactAt(fd, fileSize - kFooterSize, kFooterSize, bytes)) {
        return index;
    }
    ByteReader r(bytes);
    const std::uint64_t offset = r.U64();
    const std::uint64_t stored = r.U64();
    const bool located = offset >= kFileHeaderSize && offset < fileSize - kFooterSize &&
                         fileSize - kFooterSize - offset == stored;
    std::string start;
    const bool frameThere = located && ReadExactAt(fd, offset, kZstdFrameMagic.size(), start) &&
                            start == kZstdFrameMagic;
    r.Skip(16);
    index.present = frameThere || r.Bytes(4) == kFooterMagic || DecodeFooter(bytes).has_value();
    if (!index.present || !located) {
        return index;
    }
    index.offset = offset;
    const std::string body = DecodeWhatDecodes(fd, offset, stored, MaxIndexLength(stored));
    ByteReader entries(body);
    if (entries.Bytes(4) != kIndexMagic) {
        return index;
    }
    entries.U32();
    const std::uint64_t count = entries.U64();
    entries.U64();
    std::uint64_t previousEnd = kFileHeaderSize;
    while (entries.Ok() && index.entries.size() < count) {
        auto item = DecodeEntry(entries, previousEnd, offset);
        if (!item) {
            break;
        }
        previousEnd = item->recordOffset + item->recordLength;
        index.entries.push_back(std::move(*item));
    }
    index.complete = entries.Ok() && index.entries.size() == count;
    return index;
}

}  // namespace tkw::archive
