#include "components/archive/ScanInput.h"

#include <algorithm>

#include "components/archive/FileIo.h"

namespace tkw::archive {

std::optional<std::string_view> ScanInput::FromBuffer(const std::string& buffer,
                                                      std::uint64_t start, std::uint64_t offset,
                                                      std::size_t size) const {
    if (offset < start || offset - start > buffer.size() ||
        buffer.size() - (offset - start) < size) {
        return std::nullopt;
    }
    return std::string_view(buffer).substr(offset - start, size);
}

std::optional<std::string_view> ScanInput::Read(std::uint64_t offset, std::size_t size) {
    if (offset > m_fileSize || m_fileSize - offset < size) {
        return std::nullopt;
    }
    m_bytesChecked += size;
    if (auto bytes = FromBuffer(m_window, m_windowStart, offset, size)) {
        return bytes;
    }
    if (auto bytes = FromBuffer(m_direct, m_directStart, offset, size)) {
        return bytes;
    }
    const std::size_t length = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max(size, kMinDirectRead), m_fileSize - offset));
    m_bytesRead += length;
    if (!ReadExactAt(m_fd, offset, length, m_direct)) {
        m_direct.clear();
        return std::nullopt;
    }
    m_directStart = offset;
    return std::string_view(m_direct).substr(0, size);
}

bool ScanInput::MoveWindowTo(std::uint64_t from) {
    m_window.clear();
    m_windowStart = from;
    return SlideWindow(0);
}

// Keeps the last `keep` bytes of the window and reads on after them.
bool ScanInput::SlideWindow(std::size_t keep) {
    const std::uint64_t end = m_windowStart + m_window.size();
    keep = std::min(keep, m_window.size());
    m_window.erase(0, m_window.size() - keep);
    m_windowStart = end - keep;
    const std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(kWindowSize, m_fileSize - end));
    m_bytesRead += length;
    if (!ReadExactAt(m_fd, end, length, m_block)) {
        m_window.clear();
        return false;
    }
    m_window += m_block;
    return true;
}

std::optional<std::uint64_t> ScanInput::Find(std::string_view magic, std::uint64_t from) {
    if (from >= m_fileSize) {
        return std::nullopt;
    }
    if (from < m_windowStart || from > m_windowStart + m_window.size() || m_window.empty()) {
        if (!MoveWindowTo(from)) {
            return std::nullopt;
        }
    }
    while (true) {
        const std::size_t hit = std::string_view(m_window).find(magic, from - m_windowStart);
        if (hit != std::string_view::npos) {
            return m_windowStart + hit;
        }
        if (m_windowStart + m_window.size() >= m_fileSize) {
            return std::nullopt;
        }
        // A magic may begin in the last bytes searched and end in the next ones.
        if (!SlideWindow(magic.size() - 1)) {
            return std::nullopt;
        }
        from = std::max(from, m_windowStart);
    }
}

}  // namespace tkw::archive
