#include "components/archive/ArchiveIndex.h"

#include <xxhash.h>

#include <memory>

#include "components/archive/ByteCodec.h"

namespace tkw::archive {
namespace {

constexpr std::uint64_t kMaxIndexLength = 1ull << 30;

struct Hash64Deleter {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
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

// Entries are checked against what a record can be: inside the data, in increasing order.
bool DecodeEntries(ByteReader& r, std::uint64_t count, std::uint64_t dataEnd,
                   std::vector<ItemInfo>& items) {
    std::uint64_t previousEnd = kFileHeaderSize;
    for (std::uint64_t i = 0; i < count; ++i) {
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
            return false;
        }
        item.kind = static_cast<ItemKind>(kind);
        item.name = r.Bytes(nameLength);
        const std::uint64_t minimumLength =
            kRecordFixedSize + nameLength + kHeaderCheckSize + kChunkHeaderSize + kTrailerSize;
        if (!r.Ok() || item.recordOffset < previousEnd || item.recordLength < minimumLength ||
            item.recordLength > dataEnd - item.recordOffset ||
            item.name.find('\0') != std::string::npos) {
            return false;
        }
        previousEnd = item.recordOffset + item.recordLength;
        items.push_back(std::move(item));
    }
    return r.Remaining() == 0;
}

}  // namespace

bool WriteIndex(AppendWriter& writer, const std::vector<ItemInfo>& items, std::uint64_t dataEnd) {
    std::unique_ptr<XXH3_state_t, Hash64Deleter> hash(XXH3_createState());
    XXH3_64bits_reset(hash.get());
    std::uint64_t length = 0;
    const auto append = [&](const std::string& bytes) {
        XXH3_64bits_update(hash.get(), bytes.data(), bytes.size());
        length += bytes.size();
        return writer.Append(bytes);
    };
    std::string head;
    ByteWriter w(head);
    w.Bytes(kIndexMagic);
    w.U32(0);
    w.U64(items.size());
    w.U64(dataEnd);
    if (!append(head)) {
        return false;
    }
    for (const ItemInfo& item : items) {
        if (!append(EncodeEntry(item))) {
            return false;
        }
    }
    return writer.Append(EncodeFooter(dataEnd, length, XXH3_64bits_digest(hash.get())));
}

std::optional<IndexContents> ReadIndex(int fd, std::uint64_t fileSize) {
    std::string bytes;
    if (fileSize < kFileHeaderSize + kIndexHeaderSize + kFooterSize ||
        !ReadExactAt(fd, fileSize - kFooterSize, kFooterSize, bytes)) {
        return std::nullopt;
    }
    const auto footer = DecodeFooter(bytes);
    if (!footer || footer->indexOffset < kFileHeaderSize ||
        footer->indexLength < kIndexHeaderSize ||
        footer->indexLength > fileSize - kFooterSize - kFileHeaderSize ||
        footer->indexOffset != fileSize - kFooterSize - footer->indexLength) {
        return std::nullopt;
    }
    // Past the cap (several million items) the index is not trusted into memory; the scan,
    // which streams, lists the items instead.
    if (footer->indexLength > kMaxIndexLength) {
        return std::nullopt;
    }
    if (!ReadExactAt(fd, footer->indexOffset, footer->indexLength, bytes) ||
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

}  // namespace tkw::archive
