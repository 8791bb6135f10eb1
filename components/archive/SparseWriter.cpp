#include "components/archive/SparseWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tkw::archive {
namespace {

constexpr char kZeros[SparseWriter::kBlock] = {};

}  // namespace

// No background syncs: the file's own sync must be the one told of a failed write-back.
SparseWriter::SparseWriter(int fd, std::uint64_t size) : m_fd(fd), m_writeback(fd, 0, false) {
    if (size >= kDirectFrom) {
        StartDirect();
    }
}

void SparseWriter::StartDirect() {
    char* buffer = static_cast<char*>(std::aligned_alloc(kBlock, kDirectBuffer));
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (buffer == nullptr || flags < 0 || ::fcntl(m_fd, F_SETFL, flags | O_DIRECT) != 0) {
        std::free(buffer);
        return;
    }
    m_buffer.reset(buffer);
    m_direct = true;
}

// For the last bytes, which do not fill a block, or after a direct write was refused.
bool SparseWriter::StopDirect() {
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags & ~O_DIRECT) != 0) {
        return false;
    }
    m_direct = false;
    return true;
}

bool SparseWriter::Write(std::string_view bytes) {
    if (!m_buffer) {
        if (!WriteSparse(m_offset, bytes)) {
            return false;
        }
        m_offset += bytes.size();
        m_writeback.Wrote(m_offset);
        return true;
    }
    while (!bytes.empty()) {
        const std::size_t take = std::min(bytes.size(), kDirectBuffer - m_filled);
        std::memcpy(m_buffer.get() + m_filled, bytes.data(), take);
        m_filled += take;
        m_offset += take;
        bytes.remove_prefix(take);
        if (m_filled == kDirectBuffer && !FlushBlocks(kDirectBuffer)) {
            return false;
        }
    }
    return true;
}

// Writes the first `length` bytes of the buffer, a whole number of blocks, and keeps the rest.
// The buffer holds the bytes just before m_offset and starts at a multiple of the block size.
bool SparseWriter::FlushBlocks(std::size_t length) {
    const std::uint64_t start = m_offset - m_filled;
    if (!WriteSparse(start, std::string_view(m_buffer.get(), length))) {
        return false;
    }
    std::memmove(m_buffer.get(), m_buffer.get() + length, m_filled - length);
    m_filled -= length;
    if (!m_direct) {
        m_writeback.Wrote(start + length);
    }
    return true;
}

bool SparseWriter::Finish() {
    if (m_buffer) {
        const std::size_t blocks = m_filled - m_filled % kBlock;
        if (!FlushBlocks(blocks) || (m_direct && !StopDirect()) ||
            !WriteSparse(m_offset - m_filled, std::string_view(m_buffer.get(), m_filled))) {
            return false;
        }
        m_filled = 0;
    }
    return m_written == m_offset || ::ftruncate(m_fd, static_cast<off_t>(m_offset)) == 0;
}

bool SparseWriter::WriteSparse(std::uint64_t offset, std::string_view bytes) {
    std::size_t runStart = 0;  // start of the pending non-zero run within `bytes`
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t toBoundary = kBlock - static_cast<std::size_t>((offset + pos) % kBlock);
        const std::size_t piece = std::min(toBoundary, bytes.size() - pos);
        if (piece == kBlock && std::memcmp(bytes.data() + pos, kZeros, kBlock) == 0) {
            if (!WriteRun(offset + runStart, bytes.substr(runStart, pos - runStart))) {
                return false;
            }
            runStart = pos + piece;
        }
        pos += piece;
    }
    return WriteRun(offset + runStart, bytes.substr(runStart));
}

bool SparseWriter::WriteRun(std::uint64_t offset, std::string_view bytes) {
    if (bytes.empty()) {
        return true;
    }
    m_written = offset + bytes.size();
    if (WriteAllAt(m_fd, offset, bytes)) {
        return true;
    }
    // A file system that takes the flag yet refuses the write (its blocks larger than ours, say):
    // the rest goes through the cache.
    return m_direct && errno == EINVAL && StopDirect() && WriteAllAt(m_fd, offset, bytes);
}

}  // namespace tkw::archive
