#include "components/archive/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace tkw::archive {

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

long SourceReader::Read(char* buffer, std::size_t size) {
    const long n = m_sparse ? ReadSparse(buffer, size) : ReadSome(m_fd, buffer, size);
    if (n > 0) {
        m_offset += static_cast<std::uint64_t>(n);
    }
    return n;
}

long SourceReader::ReadSparse(char* buffer, std::size_t size) {
    const off_t data = ::lseek(m_fd, static_cast<off_t>(m_offset), SEEK_DATA);
    std::uint64_t zeros = 0;
    if (data < 0 && errno == ENXIO) {
        // Only a hole up to the end, but never past the end the file has now: a file cut short
        // while it is read ends there instead of being padded with zeros it never held.
        struct stat now {};
        const std::uint64_t end =
            ::fstat(m_fd, &now) == 0
                ? std::min<std::uint64_t>(m_size, static_cast<std::uint64_t>(now.st_size))
                : 0;
        zeros = m_offset < end ? end - m_offset : 0;
    } else if (data > static_cast<off_t>(m_offset)) {
        zeros = static_cast<std::uint64_t>(data) - m_offset;
    }
    if (zeros > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(zeros, size));
        std::memset(buffer, 0, n);
        return static_cast<long>(n);
    }
    if (data < 0 && errno != ENXIO) {
        m_sparse = false;  // the file system cannot tell holes: read it plainly
        return ::lseek(m_fd, static_cast<off_t>(m_offset), SEEK_SET) < 0
                   ? -1
                   : ReadSome(m_fd, buffer, size);
    }
    // Data up to the next hole.
    const off_t hole = ::lseek(m_fd, static_cast<off_t>(m_offset), SEEK_HOLE);
    std::size_t want = size;
    if (hole > static_cast<off_t>(m_offset)) {
        want = static_cast<std::size_t>(
            std::min<std::uint64_t>(size, static_cast<std::uint64_t>(hole) - m_offset));
    }
    while (true) {
        const ssize_t n = ::pread(m_fd, buffer, want, static_cast<off_t>(m_offset));
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

bool WriteAllAt(int fd, std::uint64_t offset, std::initializer_list<std::string_view> pieces) {
    constexpr std::size_t kMaxPieces = 8;
    iovec vectors[kMaxPieces];
    std::size_t count = 0;
    std::size_t total = 0;
    for (const std::string_view piece : pieces) {
        if (count == kMaxPieces) {
            break;
        }
        vectors[count++] = {const_cast<char*>(piece.data()), piece.size()};
        total += piece.size();
    }
    ssize_t written = -1;
    do {
        written = count == pieces.size()
                      ? ::pwritev(fd, vectors, static_cast<int>(count), static_cast<off_t>(offset))
                      : 0;
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        return false;
    }
    if (static_cast<std::size_t>(written) == total) {
        return true;
    }
    // What the kernel did not take is written piece by piece.
    std::uint64_t skip = static_cast<std::uint64_t>(written);
    for (std::string_view piece : pieces) {
        const std::size_t done =
            static_cast<std::size_t>(std::min<std::uint64_t>(skip, piece.size()));
        skip -= done;
        offset += done;
        piece.remove_prefix(done);
        if (!WriteAllAt(fd, offset, piece)) {
            return false;
        }
        offset += piece.size();
    }
    return true;
}

DataSync OrFdatasync(DataSync sync) {
    return sync ? std::move(sync) : DataSync([](int fd) { return ::fdatasync(fd); });
}

std::optional<std::future<int>> SyncInBackground(UniqueFd& fd, const DataSync& sync) {
    auto file = std::make_shared<UniqueFd>(std::move(fd));
    try {
        return std::async(std::launch::async, [sync, file] {
            const int error = sync(file->Get()) == 0 ? 0 : errno;
            file->Reset();
            return error;
        });
    } catch (const std::system_error&) {
        fd = std::move(*file);  // no thread was started: the descriptor is the caller's again
        return std::nullopt;
    }
}

WritebackStarter::WritebackStarter(int fd, std::uint64_t from, bool backgroundSyncs, DataSync sync)
    : m_fd(fd),
      m_from(from),
      m_syncedTo(from),
      m_backgroundSyncs(backgroundSyncs),
      m_syncCall(OrFdatasync(std::move(sync))) {}

WritebackStarter::~WritebackStarter() {
    Settle();
}

WritebackStarter::WritebackStarter(WritebackStarter&& other) noexcept {
    *this = std::move(other);
}

WritebackStarter& WritebackStarter::operator=(WritebackStarter&& other) noexcept {
    if (this != &other) {
        // A failure not yet told stays to be told, whichever file the object follows now.
        Collect();
        const int untold = m_syncError;
        m_fd = std::exchange(other.m_fd, -1);
        m_from = other.m_from;
        m_syncedTo = other.m_syncedTo;
        m_backgroundSyncs = other.m_backgroundSyncs;
        m_syncCall = std::move(other.m_syncCall);
        m_sync = std::move(other.m_sync);
        m_syncError = std::exchange(other.m_syncError, 0);
        if (m_syncError == 0) {
            m_syncError = untold;
        }
    }
    return *this;
}

void WritebackStarter::Wrote(std::uint64_t end) {
    if (m_fd < 0 || end < m_from + kStep) {
        return;
    }
    ::sync_file_range(m_fd, static_cast<off_t>(m_from), static_cast<off_t>(end - m_from),
                      SYNC_FILE_RANGE_WRITE);
    m_from = end;
    const bool syncRunning =
        m_sync.valid() && m_sync.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    if (!m_backgroundSyncs || end < m_syncedTo + kSyncStep || syncRunning) {
        return;
    }
    Collect();
    // A descriptor of its own, closed by the sync: the file's may be closed before it ends.
    UniqueFd copy(::fcntl(m_fd, F_DUPFD_CLOEXEC, 0));
    if (!copy.Valid()) {
        return;
    }
    auto sync = SyncInBackground(copy, m_syncCall);
    if (!sync) {
        return;  // no thread to spare: the closing sync does it all
    }
    m_sync = std::move(*sync);
    m_syncedTo = end;
}

void WritebackStarter::Collect() {
    if (m_sync.valid()) {
        const int error = m_sync.get();
        if (m_syncError == 0) {
            m_syncError = error;
        }
    }
}

int WritebackStarter::Settle() {
    Collect();
    return std::exchange(m_syncError, 0);
}

bool AppendWriter::Append(std::string_view bytes) {
    m_buffer.append(bytes);
    return m_fd < 0 || m_buffer.size() < kFlushSize || Flush();
}

bool AppendWriter::Patch(std::uint64_t offset, std::string_view bytes) {
    if (offset >= m_position) {
        m_buffer.replace(offset - m_position, bytes.size(), bytes);
        return true;
    }
    return WriteAllAt(m_fd, offset, bytes);
}

bool AppendWriter::Flush() {
    if (m_fd < 0) {
        return true;  // in memory: the bytes stay until they are taken
    }
    if (!WriteAllAt(m_fd, m_position, m_buffer)) {
        return false;
    }
    m_position += m_buffer.size();
    m_buffer.clear();
    if (m_writeback != nullptr) {
        m_writeback->Wrote(m_position);
    }
    return true;
}

}  // namespace tkw::archive
