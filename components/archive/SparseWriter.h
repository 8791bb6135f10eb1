#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "components/archive/FileIo.h"

namespace tkw::archive {

// Writes a new file's bytes from its start, leaving holes where whole blocks are zero: a sparse
// file comes back sparse, and a large run of zeros costs no disk space.
//
// A large file goes straight to the disk (O_DIRECT) in whole blocks from a buffer of its own,
// instead of through the page cache: copying it there and writing it back later costs several
// times as much, and would push out of memory what other programs keep there. Where the file
// system refuses such writes, the file is written through the cache as a small one is.
class SparseWriter {
public:
    // `size` is what the file will hold: whether it is large enough to go straight to the disk.
    SparseWriter(int fd, std::uint64_t size);

    bool Write(std::string_view bytes);
    // Writes what is left and gives the file its full length when it ends in a hole; the file is
    // new, so what was written is all it holds. errno tells why it failed.
    bool Finish();

    bool WritesDirect() const { return m_direct; }

    static constexpr std::size_t kBlock = 4096;
    static constexpr std::uint64_t kDirectFrom = 8u << 20;
    static constexpr std::size_t kDirectBuffer = 4u << 20;

private:
    struct Free {
        void operator()(char* bytes) const { std::free(bytes); }
    };

    void StartDirect();
    bool StopDirect();
    // Writes `bytes` at `offset` but its whole blocks of zeros.
    bool WriteSparse(std::uint64_t offset, std::string_view bytes);
    bool WriteRun(std::uint64_t offset, std::string_view bytes);
    bool FlushBlocks(std::size_t length);

    int m_fd;
    std::uint64_t m_offset = 0;    // the bytes handed over so far, what the file will hold
    std::uint64_t m_written = 0;   // the end of the last bytes written
    WritebackStarter m_writeback;  // a large file written through the cache reaches the disk soon
    bool m_direct = false;
    std::unique_ptr<char, Free> m_buffer;  // aligned for O_DIRECT: the last bytes handed over
    std::size_t m_filled = 0;
};

}  // namespace tkw::archive
