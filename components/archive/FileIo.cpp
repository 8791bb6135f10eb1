#include "components/archive/FileIo.h"

#include <unistd.h>

#include <cerrno>

namespace tkw::archive {

void UniqueFd::Reset(int fd) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

bool ReadExactAt(int fd, std::uint64_t offset, std::size_t size, std::string& out) {
    out.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

long ReadSome(int fd, char* buffer, std::size_t size) {
    while (true) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return static_cast<long>(n);
    }
}

bool WriteAllAt(int fd, std::uint64_t offset, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool AppendWriter::Append(std::string_view bytes) {
    m_buffer.append(bytes);
    return m_buffer.size() < kFlushSize || Flush();
}

bool AppendWriter::Patch(std::uint64_t offset, std::string_view bytes) {
    if (offset >= m_position) {
        m_buffer.replace(offset - m_position, bytes.size(), bytes);
        return true;
    }
    return WriteAllAt(m_fd, offset, bytes);
}

bool AppendWriter::Flush() {
    if (!WriteAllAt(m_fd, m_position, m_buffer)) {
        return false;
    }
    m_position += m_buffer.size();
    m_buffer.clear();
    return true;
}

}  // namespace tkw::archive
