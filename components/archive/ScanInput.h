#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tkw::archive {

// The recovery scan's view of an archive file. The search for a magic reads the file forward
// through one window and never reads a byte twice; the record checks read small pieces, served
// from the window when they lie in it. It also measures the scan's work: the bytes read from the
// file plus the bytes handed to the checks.
class ScanInput {
public:
    ScanInput(int fd, std::uint64_t fileSize) : m_fd(fd), m_fileSize(fileSize) {}

    std::uint64_t FileSize() const { return m_fileSize; }

    // The `size` bytes at `offset`; nothing when they are not all in the file or cannot be read.
    // The view lasts until the next call.
    std::optional<std::string_view> Read(std::uint64_t offset, std::size_t size);

    // The first offset at or after `from` where `magic` starts. Searching forward from where the
    // last search stopped reads nothing twice; searching behind the window reads it again.
    std::optional<std::uint64_t> Find(std::string_view magic, std::uint64_t from);

    std::uint64_t BytesExamined() const { return m_bytesRead + m_bytesChecked; }

private:
    static constexpr std::size_t kWindowSize = 1 << 20;
    // A check that reads outside the window reads at least this much: the header, name and first
    // chunk header of a small record, or an end marker and its trailer, come in one read.
    static constexpr std::size_t kMinDirectRead = 128;

    std::optional<std::string_view> FromBuffer(const std::string& buffer, std::uint64_t start,
                                               std::uint64_t offset, std::size_t size) const;
    bool MoveWindowTo(std::uint64_t from);
    bool SlideWindow(std::size_t keep);

    int m_fd;
    std::uint64_t m_fileSize;
    std::string m_window;
    std::uint64_t m_windowStart = 0;
    std::string m_direct;  // what the last read outside the window brought in
    std::uint64_t m_directStart = 0;
    std::string m_block;
    std::uint64_t m_bytesRead = 0;
    std::uint64_t m_bytesChecked = 0;
};

}  // namespace tkw::archive
