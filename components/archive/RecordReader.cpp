#include "components/archive/RecordReader.h"

#include <xxhash.h>
#include <zstd.h>

#include <memory>

#include "components/archive/ByteCodec.h"
#include "components/archive/ChunkChain.h"
#include "components/archive/FileIo.h"

namespace tkw::archive {
namespace {

constexpr std::size_t kInputPiece = 1 << 17;
// Records up to this length are read with one call.
constexpr std::uint64_t kWholeRecordSize = 256u << 10;
// Our writer never needs more than zstd's level-3 window; a frame that asks for more than this is
// refused rather than allowed to claim memory.
constexpr int kMaxWindowLog = 25;

struct HashStateDeleter {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};

}  // namespace

RecordReader::RecordReader(int fd, std::uint64_t fileSize, std::uint32_t recordSeed)
    : m_fd(fd), m_fileSize(fileSize), m_seed(recordSeed) {}

RecordReader::~RecordReader() {
    ZSTD_freeDCtx(m_context);
}

bool RecordReader::ReadAt(std::uint64_t offset, std::size_t size, std::string& out) {
    if (!m_record.empty() && offset >= m_recordOffset &&
        offset - m_recordOffset <= m_record.size() &&
        size <= m_record.size() - (offset - m_recordOffset)) {
        out.assign(m_record, static_cast<std::size_t>(offset - m_recordOffset), size);
        return true;
    }
    return ReadExactAt(m_fd, offset, size, out);
}

void RecordReader::ReadWhole(std::uint64_t offset, std::uint64_t length) {
    m_record.clear();
    if (length <= kWholeRecordSize && ReadExactAt(m_fd, offset, length, m_record)) {
        m_recordOffset = offset;
    } else {
        m_record.clear();
    }
}

std::optional<RecordReader::Header> RecordReader::ReadHeader(std::uint64_t offset,
                                                             std::uint64_t limit) {
    limit = std::min(limit, m_fileSize);
    std::string fixedBytes;
    if (offset > limit || limit - offset < kRecordFixedSize + kHeaderCheckSize ||
        !ReadAt(offset, kRecordFixedSize, fixedBytes)) {
        return std::nullopt;
    }
    const auto fixed = DecodeRecordFixed(fixedBytes);
    if (!fixed || limit - offset < kRecordFixedSize + fixed->nameLength + kHeaderCheckSize) {
        return std::nullopt;
    }
    std::string rest;
    if (!ReadAt(offset + kRecordFixedSize, fixed->nameLength + kHeaderCheckSize, rest)) {
        return std::nullopt;
    }
    Header header{*fixed, rest.substr(0, fixed->nameLength), 0,
                  offset + kRecordFixedSize + fixed->nameLength + kHeaderCheckSize};
    header.check = ByteReader(std::string_view(rest).substr(fixed->nameLength)).U32();
    if (header.check != RecordHeaderCheck(fixedBytes, header.name, m_seed) ||
        header.name.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return header;
}

std::optional<RecordReader::ChunkWalk> RecordReader::WalkChunks(std::uint64_t position,
                                                                std::uint64_t limit,
                                                                const ChunkVisitor& visit) {
    ChunkWalk walk;
    std::string bytes;
    while (true) {
        if (limit - position < kChunkHeaderSize || !ReadAt(position, kChunkHeaderSize, bytes)) {
            return std::nullopt;
        }
        const auto chunk = DecodeChunkHeader(bytes);
        if (!chunk) {
            return std::nullopt;
        }
        position += kChunkHeaderSize;
        if (chunk->IsEnd()) {
            walk.trailerOffset = position;
            return walk;
        }
        // A trailer counts chunks in 32 bits: a longer chain belongs to no record.
        if (limit - position < chunk->stored || walk.chunks == UINT32_MAX ||
            (visit && !visit(position, chunk->stored, chunk->original))) {
            return std::nullopt;
        }
        position += chunk->stored;
        walk.original += chunk->original;
        ++walk.chunks;
    }
}

std::optional<Trailer> RecordReader::ReadTrailer(std::uint64_t recordOffset, const ChunkWalk& walk,
                                                 std::uint32_t headerCheck) {
    std::string bytes;
    if (!ReadAt(walk.trailerOffset, kTrailerSize, bytes)) {
        return std::nullopt;
    }
    auto trailer = DecodeTrailer(bytes, headerCheck);
    if (!trailer || trailer->chunkCount != walk.chunks || trailer->originalSize != walk.original ||
        trailer->lengthBeforeTrailer != walk.trailerOffset - recordOffset) {
        return std::nullopt;
    }
    return trailer;
}

bool RecordReader::DecodeFrame(std::uint64_t offset, std::uint32_t stored, std::uint32_t original,
                               const Sink& sink, void* hashState, std::string& error) {
    if (m_context == nullptr) {
        m_context = ZSTD_createDCtx();
        ZSTD_DCtx_setParameter(m_context, ZSTD_d_windowLogMax, kMaxWindowLog);
        m_output.resize(ZSTD_DStreamOutSize());
    }
    ZSTD_DCtx_reset(m_context, ZSTD_reset_session_only);
    std::uint64_t produced = 0;
    std::size_t left = 1;  // what zstd still expects of the frame; 0 once it is complete
    for (std::uint64_t consumed = 0; consumed < stored;) {
        if (left == 0) {
            error = "damaged data: bytes after the end of a frame";
            return false;
        }
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(kInputPiece, stored - consumed));
        if (!ReadAt(offset + consumed, piece, m_input)) {
            error = "the archive ends inside an item";
            return false;
        }
        consumed += piece;
        ZSTD_inBuffer in{m_input.data(), piece, 0};
        while (in.pos < in.size || left != 0) {
            ZSTD_outBuffer out{m_output.data(), m_output.size(), 0};
            left = ZSTD_decompressStream(m_context, &out, &in);
            if (ZSTD_isError(left)) {
                error = std::string("damaged data: ") + ZSTD_getErrorName(left);
                return false;
            }
            produced += out.pos;
            if (produced > original) {
                error = "damaged data: a chunk decodes to more bytes than recorded";
                return false;
            }
            const std::string_view bytes(m_output.data(), out.pos);
            XXH3_128bits_update(static_cast<XXH3_state_t*>(hashState), bytes.data(), bytes.size());
            if (!bytes.empty() && !sink(bytes)) {
                error = "cannot write the extracted data";
                return false;
            }
            if (left == 0 && in.pos < in.size) {
                error = "damaged data: bytes after the end of a frame";
                return false;
            }
            // Input used up and nothing more came out: zstd waits for the next piece.
            if (in.pos == in.size && out.pos < out.size) {
                break;
            }
        }
    }
    if (left != 0 || produced != original) {
        error = "damaged data: a chunk is incomplete";
        return false;
    }
    return true;
}

bool RecordReader::ReadData(const ItemInfo& item, const Sink& sink, std::string& error) {
    const std::uint64_t end = item.recordOffset + item.recordLength;
    if (end < item.recordOffset || end > m_fileSize) {
        error = "the item lies beyond the end of the archive";
        return false;
    }
    ReadWhole(item.recordOffset, item.recordLength);
    const struct Forget {
        std::string& record;
        ~Forget() { record.clear(); }
    } forget{m_record};
    const auto header = ReadHeader(item.recordOffset, end);
    if (!header || header->name != item.name || header->fixed.kind != item.kind) {
        error = "damaged item header";
        return false;
    }
    std::unique_ptr<XXH3_state_t, HashStateDeleter> hash(XXH3_createState());
    XXH3_128bits_reset(hash.get());
    const auto walk =
        WalkChunks(header->dataOffset, end,
                   [&](std::uint64_t offset, std::uint32_t stored, std::uint32_t original) {
                       return DecodeFrame(offset, stored, original, sink, hash.get(), error);
                   });
    if (!walk) {
        if (error.empty()) {
            error = "damaged chunk header";
        }
        return false;
    }
    const auto trailer = end - walk->trailerOffset == kTrailerSize
                             ? ReadTrailer(item.recordOffset, *walk, header->check)
                             : std::nullopt;
    if (!trailer) {
        error = "damaged item trailer";
        return false;
    }
    const XXH128_hash_t digest = XXH3_128bits_digest(hash.get());
    if (trailer->hash != Hash128{digest.low64, digest.high64}) {
        error = "checksum mismatch: the item's data is damaged";
        return false;
    }
    if (walk->original != item.size) {
        error = "the item's size does not match the archive's index";
        return false;
    }
    return true;
}

}  // namespace tkw::archive
