#include "components/archive/RecordScanner.h"

#include <string_view>

#include "components/archive/ByteCodec.h"
#include "components/archive/ChunkChain.h"
#include "components/archive/ScanInput.h"

namespace tkw::archive {
namespace {

// Tells whether a record starts at an offset. The checks go from cheap to dear: the fixed part of
// the header, the chunk chain, the trailer's fields and check, and only then the hash of the name,
// which can be 64 KiB long. Every offset of a hostile file may look like a record header, so the
// dear checks must not be repeated over the same bytes.
class RecordProbe {
public:
    RecordProbe(ScanInput& input, std::uint32_t seed)
        : m_input(input), m_chains(input), m_seed(seed) {}

    enum class Verdict {
        kComplete,
        // Everything holds but the header check: a record whose header is damaged, or a copy of a
        // record from another archive. No record starts inside its name.
        kDamagedHeader,
        kNoRecord,
    };
    struct Result {
        Verdict verdict = Verdict::kNoRecord;
        ItemInfo item;                // when complete
        std::uint64_t afterName = 0;  // when the header is damaged: where its name and check end
    };
    // Offsets must not decrease from one call to the next.
    Result At(std::uint64_t offset);

    // The name of a record header at `offset` whose name ends before `end`.
    std::optional<NameInHeader> NameAt(std::uint64_t offset, std::uint64_t end);

private:
    std::optional<RecordFixed> ReadFixed(std::uint64_t offset, std::string& bytes);
    bool TrailerAgrees(std::uint64_t offset, const ChainEnd& chain, std::uint32_t headerCheck);
    std::optional<std::uint32_t> ReadU32(std::uint64_t offset);

    ScanInput& m_input;
    ChunkChainWalker m_chains;
    std::uint32_t m_seed;
    std::string m_fixed;
};

std::optional<RecordFixed> RecordProbe::ReadFixed(std::uint64_t offset, std::string& bytes) {
    const auto fixed = m_input.Read(offset, kRecordFixedSize);
    if (!fixed) {
        return std::nullopt;
    }
    bytes = *fixed;
    return DecodeRecordFixed(bytes);
}

std::optional<std::uint32_t> RecordProbe::ReadU32(std::uint64_t offset) {
    const auto bytes = m_input.Read(offset, 4);
    return bytes ? std::optional(ByteReader(*bytes).U32()) : std::nullopt;
}

// The trailer after the chain: its magic, the record length it gives and the chain's sums first,
// then its check, seeded with the header check as stored.
bool RecordProbe::TrailerAgrees(std::uint64_t offset, const ChainEnd& chain,
                                std::uint32_t headerCheck) {
    const auto bytes = m_input.Read(chain.trailerOffset, kTrailerSize);
    if (!bytes) {
        return false;
    }
    ByteReader r(*bytes);
    if (r.Bytes(4) != kTrailerMagic || r.U32() != chain.chunks || r.U64() != chain.original ||
        r.U64() != chain.trailerOffset - offset) {
        return false;
    }
    return DecodeTrailer(*bytes, headerCheck).has_value();
}

RecordProbe::Result RecordProbe::At(std::uint64_t offset) {
    m_chains.ForgetBefore(offset);
    const auto fixed = ReadFixed(offset, m_fixed);
    if (!fixed) {
        return {};
    }
    const std::uint64_t checkOffset = offset + kRecordFixedSize + fixed->nameLength;
    const auto chain = m_chains.Walk(checkOffset + kHeaderCheckSize);
    const auto storedCheck = chain ? ReadU32(checkOffset) : std::nullopt;
    if (!storedCheck || !TrailerAgrees(offset, *chain, *storedCheck)) {
        return {};
    }
    const auto name = m_input.Read(offset + kRecordFixedSize, fixed->nameLength);
    if (!name || RecordHeaderCheck(m_fixed, *name, m_seed) != *storedCheck ||
        name->find('\0') != std::string_view::npos) {
        return {Verdict::kDamagedHeader, {}, checkOffset + kHeaderCheckSize};
    }
    Result result{Verdict::kComplete, {}, 0};
    ItemInfo& item = result.item;
    item.name = *name;
    item.kind = fixed->kind;
    item.mode = fixed->mode;
    item.mtimeSeconds = fixed->mtimeSeconds;
    item.mtimeNanoseconds = fixed->mtimeNanoseconds;
    item.uid = fixed->uid;
    item.gid = fixed->gid;
    item.size = chain->original;
    item.recordOffset = offset;
    item.recordLength = chain->trailerOffset + kTrailerSize - offset;
    return result;
}

std::optional<NameInHeader> RecordProbe::NameAt(std::uint64_t offset, std::uint64_t end) {
    const auto fixed = ReadFixed(offset, m_fixed);
    if (!fixed || end - offset < kRecordFixedSize + fixed->nameLength) {
        return std::nullopt;
    }
    const std::uint64_t checkOffset = offset + kRecordFixedSize + fixed->nameLength;
    const auto storedCheck =
        end - checkOffset >= kHeaderCheckSize ? ReadU32(checkOffset) : std::nullopt;
    const auto name = m_input.Read(offset + kRecordFixedSize, fixed->nameLength);
    if (!name || name->find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return NameInHeader{std::string(*name),
                        storedCheck && RecordHeaderCheck(m_fixed, *name, m_seed) == *storedCheck};
}

class Scan {
public:
    Scan(int fd, std::uint64_t fileSize, std::uint32_t seed)
        : m_input(fd, fileSize), m_probe(m_input, seed) {}

    ScanResult Run();

private:
    void Accept(ItemInfo item);
    // Searches on from a record that is not complete; false when no complete record follows.
    bool SkipDamage(const RecordProbe::Result& failed);
    void NoteTail();

    ScanInput m_input;
    RecordProbe m_probe;
    ScanResult m_result;
    std::uint64_t m_position = kFileHeaderSize;
};

void Scan::Accept(ItemInfo item) {
    m_position = item.recordOffset + item.recordLength;
    m_result.dataEnd = m_position;
    m_result.items.push_back(std::move(item));
}

bool Scan::SkipDamage(const RecordProbe::Result& failed) {
    const std::uint64_t start = m_position;
    std::uint64_t from =
        failed.verdict == RecordProbe::Verdict::kDamagedHeader ? failed.afterName : start + 1;
    while (const auto hit = m_input.Find(kRecordMagic, from)) {
        auto probe = m_probe.At(*hit);
        if (probe.verdict == RecordProbe::Verdict::kComplete) {
            m_result.skipped.push_back({start, *hit - start, m_probe.NameAt(start, *hit)});
            m_result.damagedBytes += *hit - start;
            Accept(std::move(probe.item));
            return true;
        }
        from = probe.verdict == RecordProbe::Verdict::kDamagedHeader ? probe.afterName : *hit + 1;
    }
    return false;
}

void Scan::NoteTail() {
    const std::uint64_t fileSize = m_input.FileSize();
    m_result.tailBytes = fileSize - m_result.dataEnd;
    if (m_result.tailBytes == 0) {
        return;
    }
    const auto start = m_input.Read(
        m_result.dataEnd, std::min<std::uint64_t>(m_result.tailBytes, kZstdFrameMagic.size()));
    m_result.tailIsIndex = start && *start == kZstdFrameMagic;
    if (!m_result.tailIsIndex) {
        m_result.tailName = m_probe.NameAt(m_result.dataEnd, fileSize);
    }
}

ScanResult Scan::Run() {
    while (m_position < m_input.FileSize()) {
        auto probe = m_probe.At(m_position);
        if (probe.verdict == RecordProbe::Verdict::kComplete) {
            Accept(std::move(probe.item));
        } else if (!SkipDamage(probe)) {
            break;
        }
    }
    NoteTail();
    m_result.bytesExamined = m_input.BytesExamined();
    return std::move(m_result);
}

}  // namespace

ScanResult ScanRecords(int fd, std::uint64_t fileSize, std::uint32_t recordSeed) {
    return Scan(fd, fileSize, recordSeed).Run();
}

}  // namespace tkw::archive
