#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "components/archive/FileIo.h"
#include "components/archive/Format.h"

struct ZSTD_CCtx_s;

namespace tkw::archive {

// Streams an item's bytes into chunks of zstd frames (see docs/FORMAT.md), hashing the original
// bytes on the way. One object is reused for every item of an archive: its compression context
// keeps its worker threads and buffers. With workers, large inputs are compressed on that many
// threads; a small input is always compressed in one call on the calling thread.
class DataCompressor {
public:
    // Reads up to `size` bytes into `buffer`: the count, 0 at the end, -1 on error (errno set).
    using Source = std::function<long(char* buffer, std::size_t size)>;

    explicit DataCompressor(int workers = 2);
    ~DataCompressor();
    DataCompressor(const DataCompressor&) = delete;
    DataCompressor& operator=(const DataCompressor&) = delete;

    // Writes the chunks and the end marker; the trailer's values, or nothing with `error` set.
    std::optional<Trailer> Write(const Source& source, AppendWriter& writer, std::string& error);

    static constexpr int kLevel = 3;
    static constexpr std::size_t kReadSize = 1 << 20;

private:
    // A read buffer of kReadSize bytes, allocated once, and how much of it holds data.
    struct Block {
        std::unique_ptr<char[]> data{new char[kReadSize]};
        std::size_t size = 0;
        std::string_view View() const { return {data.get(), size}; }
    };

    bool CompressBlock(std::string_view input, bool endFrame, AppendWriter& writer,
                       std::uint64_t& stored, std::string& error);
    // Fills the block from the source until it is full or the source ends.
    bool Fill(const Source& source, Block& block, std::string& error);

    ZSTD_CCtx_s* m_context;
    std::string m_output;
    Block m_current;
    Block m_next;
};

}  // namespace tkw::archive
