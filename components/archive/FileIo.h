#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "components/utils/UniqueFd.h"

namespace tkw::archive {

// Reads exactly `size` bytes at `offset` into `out`; false (errno set, EIO for a short file) when
// they are not all there.
bool ReadExactAt(int fd, std::uint64_t offset, std::size_t size, std::string& out);

// Reads up to `size` bytes from the current position; the count, 0 at the end, -1 on error.
long ReadSome(int fd, char* buffer, std::size_t size);

// Reads a file from its start to its end. For a file with holes, the holes are given as zeros
// without reading them: the kernel would otherwise fill page after page of cache with zeros.
class SourceReader {
public:
    // `size` and `allocated` are the file's length and the bytes its blocks take (st_blocks * 512).
    SourceReader(int fd, std::uint64_t size, std::uint64_t allocated)
        : m_fd(fd), m_size(size), m_sparse(allocated < size) {}

    // Like ReadSome.
    long Read(char* buffer, std::size_t size);

private:
    long ReadSparse(char* buffer, std::size_t size);

    int m_fd;
    std::uint64_t m_size;
    bool m_sparse;
    std::uint64_t m_offset = 0;
};

// Writes all bytes at `offset`; false with errno set otherwise.
bool WriteAllAt(int fd, std::uint64_t offset, std::string_view bytes);
// Writes the pieces one after the other from `offset`, in one call when the kernel takes them all.
bool WriteAllAt(int fd, std::uint64_t offset, std::initializer_list<std::string_view> pieces);

// Puts a file's data on the disk: fdatasync unless a test gives another. 0, or -1 with errno set.
using DataSync = std::function<int(int fd)>;
// The given sync, or fdatasync for an empty one.
DataSync OrFdatasync(DataSync sync);

// Runs `sync` on `fd` on a thread of its own, which takes `fd` and closes it after: the future
// gives the sync's errno, or 0. Nothing when no thread can be started; `fd` then stays the
// caller's.
std::optional<std::future<int>> SyncInBackground(UniqueFd& fd, const DataSync& sync);

// Starts the write-back of a file's bytes to the disk while more are being written, so that the
// sync that ends the work waits for little more than the last few MiB. With background syncs, the
// file is also synced now and then on a thread of its own: the disk then stores what was written
// while the program goes on, instead of all of it at the end. It only ever adds to the syncs; the
// one that ends the work is still made, and must ask Settle first: a background sync may have been
// the one told of a failed write-back.
class WritebackStarter {
public:
    WritebackStarter() = default;
    WritebackStarter(int fd, std::uint64_t from, bool backgroundSyncs, DataSync sync = {});
    ~WritebackStarter();
    WritebackStarter(WritebackStarter&& other) noexcept;
    WritebackStarter& operator=(WritebackStarter&& other) noexcept;

    // The bytes before `end` are written.
    void Wrote(std::uint64_t end);
    bool Active() const { return m_fd >= 0; }
    // Waits for the background sync under way; the errno of the first that failed since the last
    // call, or 0.
    int Settle();

    static constexpr std::uint64_t kStep = 8u << 20;
    static constexpr std::uint64_t kSyncStep = 64u << 20;

private:
    // Waits for the background sync under way and keeps its failure for Settle.
    void Collect();

    int m_fd = -1;
    std::uint64_t m_from = 0;      // the first byte not yet handed to the disk
    std::uint64_t m_syncedTo = 0;  // the end of the bytes the last background sync covers
    bool m_backgroundSyncs = false;
    DataSync m_syncCall;
    std::future<int> m_sync;  // the background sync under way: its errno, or 0
    int m_syncError = 0;
};

// Appends to a file through a buffer, so that a small item costs one write(2). Bytes already
// appended can be changed in place (a length known only after its data was written).
class AppendWriter {
public:
    // `writeback`, when given, is told of every byte handed to the kernel.
    AppendWriter(int fd, std::uint64_t position, WritebackStarter* writeback = nullptr)
        : m_fd(fd), m_position(position), m_writeback(writeback) {}
    // A writer that keeps every byte in memory, positions counted from 0, until TakeBytes: a record
    // prepared on a worker thread before its place in the file is known.
    static AppendWriter InMemory() { return AppendWriter(-1, 0); }

    bool Append(std::string_view bytes);
    bool Patch(std::uint64_t offset, std::string_view bytes);
    // Hands every buffered byte to the kernel.
    bool Flush();

    std::uint64_t Position() const { return m_position + m_buffer.size(); }
    // The bytes kept by a writer made InMemory.
    std::string TakeBytes() { return std::move(m_buffer); }

private:
    static constexpr std::size_t kFlushSize = 1 << 20;

    int m_fd;
    std::uint64_t m_position;  // file offset of m_buffer's first byte
    std::string m_buffer;
    WritebackStarter* m_writeback;
};

}  // namespace tkw::archive
