#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "components/archive/ScanInput.h"

namespace tkw::archive {

// The 8 bytes before each chunk of a record: S stored bytes follow that decode to U bytes; both 0
// for the end marker.
struct ChunkHeader {
    std::uint32_t stored;
    std::uint32_t original;
    bool IsEnd() const { return stored == 0 && original == 0; }
};

// Nothing when the lengths are not those of a chunk or of the end marker.
std::optional<ChunkHeader> DecodeChunkHeader(std::string_view bytes);

// Where a record's chunks end and what they add up to.
struct ChainEnd {
    std::uint64_t trailerOffset = 0;  // after the end marker
    std::uint64_t original = 0;
    std::uint64_t chunks = 0;
};

// Follows chunk chains for the recovery scan, which tries a chain from every place that could
// start a record. A chain is fixed by where it starts (the next header is 8 + S bytes on), so two
// chains that meet share the rest: the walker remembers, for some headers it passes, where the
// chain goes from there, and a later walk that reaches one of them stops. Every walk's first header
// and every kStride-th one after it are remembered, so a walk that meets an earlier chain stops
// within kStride headers, and each header of the file is read a bounded number of times.
class ChunkChainWalker {
public:
    // Past this many remembered headers (about 64 bytes each with the table's own, 16 MiB in all)
    // nothing more is remembered until the scan has moved past some of them; walks stay correct,
    // only slower.
    static constexpr std::size_t kMaxRemembered = 1 << 18;
    static constexpr std::uint64_t kStride = 16;

    explicit ChunkChainWalker(ScanInput& input) : m_input(input) {}

    // The chain from the chunk header at `position` to its end marker, inside the file; nothing
    // when a header is damaged, a chunk passes the end of the file or the chunks are more than a
    // trailer can count.
    std::optional<ChainEnd> Walk(std::uint64_t position);

    // No walk will start before `offset` again: what lies before it is forgotten.
    void ForgetBefore(std::uint64_t offset);

private:
    struct Rest {
        std::uint64_t trailerOffset = 0;  // 0: the chain fails
        std::uint64_t original = 0;
        std::uint64_t chunks = 0;
    };
    struct Visited {
        std::uint64_t offset;
        std::uint64_t original;  // of the walk up to this header
        std::uint64_t chunks;
    };

    Rest Follow(std::uint64_t position, std::uint64_t& original, std::uint64_t& chunks);
    void Remember(const Rest& rest, std::uint64_t original, std::uint64_t chunks);
    bool HasRoom() const;

    ScanInput& m_input;
    std::unordered_map<std::uint64_t, Rest> m_memo;
    std::vector<Visited> m_visited;
    std::vector<std::uint64_t> m_offsets;  // of m_memo, as a heap with the lowest on top
};

}  // namespace tkw::archive
