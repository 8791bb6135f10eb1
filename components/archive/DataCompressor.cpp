#include "components/archive/DataCompressor.h"

#include <xxhash.h>
#include <zstd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace tkw::archive {
namespace {

struct HashStateDeleter {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};

}  // namespace

DataCompressor::DataCompressor(int workers)
    : m_context(ZSTD_createCCtx()), m_output(ZSTD_CStreamOutSize(), '\0') {
    ZSTD_CCtx_setParameter(m_context, ZSTD_c_compressionLevel, kLevel);
    // Without thread support in the library the call fails and compression stays single-threaded.
    if (workers > 0) {
        ZSTD_CCtx_setParameter(m_context, ZSTD_c_nbWorkers, workers);
    }
}

DataCompressor::~DataCompressor() {
    ZSTD_freeCCtx(m_context);
}

bool DataCompressor::Fill(const Source& source, Block& block, std::string& error) {
    block.size = 0;
    while (block.size < kReadSize) {
        const long n = source(block.data.get() + block.size, kReadSize - block.size);
        if (n < 0) {
            error = std::string("cannot read the source: ") + std::strerror(errno);
            return false;
        }
        if (n == 0) {
            break;
        }
        block.size += static_cast<std::size_t>(n);
    }
    return true;
}

bool DataCompressor::CompressBlock(std::string_view input, bool endFrame, AppendWriter& writer,
                                   std::uint64_t& stored, std::string& error) {
    ZSTD_inBuffer in{input.data(), input.size(), 0};
    const ZSTD_EndDirective mode = endFrame ? ZSTD_e_end : ZSTD_e_continue;
    while (true) {
        ZSTD_outBuffer out{m_output.data(), m_output.size(), 0};
        const std::size_t left = ZSTD_compressStream2(m_context, &out, &in, mode);
        if (ZSTD_isError(left)) {
            error = std::string("compression failed: ") + ZSTD_getErrorName(left);
            return false;
        }
        if (!writer.Append(std::string_view(m_output.data(), out.pos))) {
            error = std::string("cannot write the archive: ") + std::strerror(errno);
            return false;
        }
        stored += out.pos;
        const bool done = endFrame ? left == 0 : in.pos == in.size;
        if (done) {
            return true;
        }
    }
}

std::optional<Trailer> DataCompressor::Write(const Source& source, AppendWriter& writer,
                                             std::string& error) {
    std::unique_ptr<XXH3_state_t, HashStateDeleter> hash(XXH3_createState());
    XXH3_128bits_reset(hash.get());
    Trailer trailer;
    Block* current = &m_current;
    Block* next = &m_next;
    if (!Fill(source, *current, error)) {
        return std::nullopt;
    }
    while (current->size > 0) {
        // One chunk: a frame of up to kMaxChunkOriginal bytes, whose stored length is filled in
        // once it is known. A record cut short here has zeros there and reads as incomplete.
        const std::uint64_t chunkHeader = writer.Position();
        if (!writer.Append(EncodeChunkHeader(0, 0))) {
            error = std::string("cannot write the archive: ") + std::strerror(errno);
            return std::nullopt;
        }
        ZSTD_CCtx_reset(m_context, ZSTD_reset_session_only);
        std::uint64_t frameOriginal = 0;
        std::uint64_t frameStored = 0;
        bool frameEnded = false;
        while (!frameEnded) {
            XXH3_128bits_update(hash.get(), current->data.get(), current->size);
            // Reading ahead tells whether this block is the frame's last: a small file is then
            // compressed in a single call, which zstd keeps on this thread.
            next->size = 0;
            if (current->size == kReadSize && !Fill(source, *next, error)) {
                return std::nullopt;
            }
            frameEnded =
                next->size == 0 || frameOriginal + current->size + next->size > kMaxChunkOriginal;
            if (!CompressBlock(current->View(), frameEnded, writer, frameStored, error)) {
                return std::nullopt;
            }
            frameOriginal += current->size;
            std::swap(current, next);
        }
        if (!writer.Patch(chunkHeader,
                          EncodeChunkHeader(static_cast<std::uint32_t>(frameStored),
                                            static_cast<std::uint32_t>(frameOriginal)))) {
            error = std::string("cannot write the archive: ") + std::strerror(errno);
            return std::nullopt;
        }
        ++trailer.chunkCount;
        trailer.originalSize += frameOriginal;
    }
    if (!writer.Append(EncodeChunkHeader(0, 0))) {
        error = std::string("cannot write the archive: ") + std::strerror(errno);
        return std::nullopt;
    }
    const XXH128_hash_t digest = XXH3_128bits_digest(hash.get());
    trailer.hash = {digest.low64, digest.high64};
    return trailer;
}

}  // namespace tkw::archive
