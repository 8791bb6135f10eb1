#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "components/archive/Format.h"

struct ZSTD_DCtx_s;

namespace tkw::archive {

// Reads records of one archive file. Everything read is bounded by the file size, so damaged or
// hostile input fails a check instead of making the reader allocate or loop without bound.
class RecordReader {
public:
    // Receives decoded bytes in order; false stops the reading (the sink's own failure).
    using Sink = std::function<bool(std::string_view bytes)>;

    RecordReader(int fd, std::uint64_t fileSize, std::uint32_t recordSeed);

    // Records are read up to this offset (the file grows as items are added).
    void SetFileSize(std::uint64_t fileSize) { m_fileSize = fileSize; }
    std::uint64_t FileSize() const { return m_fileSize; }
    std::uint32_t RecordSeed() const { return m_seed; }
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // Decodes the item's data to the sink and checks it against its record: every frame decodes to
    // its length and the XXH3-128 matches. False with `error` set otherwise.
    bool ReadData(const ItemInfo& item, const Sink& sink, std::string& error);

private:
    struct Header {
        RecordFixed fixed;
        std::string name;
        std::uint32_t check;
        std::uint64_t dataOffset;
    };
    std::optional<Header> ReadHeader(std::uint64_t offset, std::uint64_t limit);

    // Where a record's chunks end and what they add up to.
    struct ChunkWalk {
        std::uint64_t trailerOffset = 0;
        std::uint64_t original = 0;
        std::uint32_t chunks = 0;
    };
    // Gets each data chunk's offset and lengths; false stops the walk.
    using ChunkVisitor =
        std::function<bool(std::uint64_t offset, std::uint32_t stored, std::uint32_t original)>;
    // Follows the chunk headers from `position` to the end marker, everything inside `limit`;
    // nothing when a header is damaged, a chunk passes the limit or the visitor stops.
    std::optional<ChunkWalk> WalkChunks(std::uint64_t position, std::uint64_t limit,
                                        const ChunkVisitor& visit);
    // The trailer after the chunks, when its check holds and it agrees with the walk.
    std::optional<Trailer> ReadTrailer(std::uint64_t recordOffset, const ChunkWalk& walk,
                                       std::uint32_t headerCheck);
    bool DecodeFrame(std::uint64_t offset, std::uint32_t stored, std::uint32_t original,
                     const Sink& sink, void* hashState, std::string& error);
    // Reads exactly `size` bytes at `offset`: from the record read whole when they lie in it,
    // otherwise from the file.
    bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out);
    // A small record is read with one call, then taken apart in memory.
    void ReadWhole(std::uint64_t offset, std::uint64_t length);

    int m_fd;
    std::uint64_t m_fileSize;
    std::uint32_t m_seed;
    ZSTD_DCtx_s* m_context = nullptr;
    std::string m_input;
    std::string m_output;
    std::string m_record;  // the record read whole, or empty
    std::uint64_t m_recordOffset = 0;
};

}  // namespace tkw::archive
