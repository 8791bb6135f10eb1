#include "components/archive/ChunkChain.h"

#include <zstd.h>

#include <algorithm>
#include <functional>
#include <limits>

#include "components/archive/ByteCodec.h"
#include "components/archive/Format.h"

namespace tkw::archive {
namespace {

// A trailer counts chunks in 32 bits; a longer chain belongs to no record. The bound also keeps the
// sum of original lengths far from overflowing.
constexpr std::uint64_t kMaxChunks = std::numeric_limits<std::uint32_t>::max();

}  // namespace

std::optional<ChunkHeader> DecodeChunkHeader(std::string_view bytes) {
    ByteReader r(bytes);
    ChunkHeader chunk{r.U32(), r.U32()};
    if (!r.Ok()) {
        return std::nullopt;
    }
    if (chunk.IsEnd()) {
        return chunk;
    }
    if (chunk.original == 0 || chunk.original > kMaxChunkOriginal || chunk.stored == 0 ||
        chunk.stored > ZSTD_compressBound(chunk.original)) {
        return std::nullopt;
    }
    return chunk;
}

std::optional<ChainEnd> ChunkChainWalker::Walk(std::uint64_t position) {
    std::uint64_t original = 0;
    std::uint64_t chunks = 0;
    m_visited.clear();
    const Rest rest = Follow(position, original, chunks);
    Remember(rest, original, chunks);
    if (rest.trailerOffset == 0 || chunks + rest.chunks > kMaxChunks) {
        return std::nullopt;
    }
    return ChainEnd{rest.trailerOffset, original + rest.original, chunks + rest.chunks};
}

// Reads headers from `position` until the end marker, a failure or a remembered header; what is
// left from where it stopped. `original` and `chunks` add up the headers read.
ChunkChainWalker::Rest ChunkChainWalker::Follow(std::uint64_t position, std::uint64_t& original,
                                                std::uint64_t& chunks) {
    for (std::uint64_t step = 0;; ++step) {
        if (const auto known = m_memo.find(position); known != m_memo.end()) {
            return known->second;
        }
        if (step % kStride == 0 && HasRoom()) {
            m_visited.push_back({position, original, chunks});
        }
        const auto bytes = m_input.Read(position, kChunkHeaderSize);
        const auto chunk = bytes ? DecodeChunkHeader(*bytes) : std::nullopt;
        if (!chunk || chunks == kMaxChunks) {
            return {};
        }
        position += kChunkHeaderSize;
        if (chunk->IsEnd()) {
            return {position, 0, 0};
        }
        if (m_input.FileSize() - position < chunk->stored) {
            return {};
        }
        position += chunk->stored;
        original += chunk->original;
        ++chunks;
    }
}

// Stores, for each header the walk kept, the rest of the chain from there.
void ChunkChainWalker::Remember(const Rest& rest, std::uint64_t original, std::uint64_t chunks) {
    for (const Visited& visited : m_visited) {
        Rest from;
        if (rest.trailerOffset != 0 && chunks - visited.chunks + rest.chunks <= kMaxChunks) {
            from = {rest.trailerOffset, original - visited.original + rest.original,
                    chunks - visited.chunks + rest.chunks};
        }
        if (m_memo.emplace(visited.offset, from).second) {
            m_offsets.push_back(visited.offset);
            std::push_heap(m_offsets.begin(), m_offsets.end(), std::greater<>());
        }
    }
}

bool ChunkChainWalker::HasRoom() const {
    return m_memo.size() + m_visited.size() < kMaxRemembered;
}

void ChunkChainWalker::ForgetBefore(std::uint64_t offset) {
    while (!m_offsets.empty() && m_offsets.front() < offset) {
        m_memo.erase(m_offsets.front());
        std::pop_heap(m_offsets.begin(), m_offsets.end(), std::greater<>());
        m_offsets.pop_back();
    }
}

}  // namespace tkw::archive
