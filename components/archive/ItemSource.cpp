#include "components/archive/ItemSource.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "components/archive/DataCompressor.h"

namespace tkw::archive {
namespace fs = std::filesystem;
namespace {

std::string SystemText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

bool ItemSource::Open(const fs::path& source, ItemInfo& item, std::string& error) {
    struct stat& info = m_opened;
    if (::lstat(source.c_str(), &info) != 0) {
        error = SystemText("cannot read " + source.native());
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        item.kind = ItemKind::SymbolicLink;
        m_linkTarget.resize(static_cast<std::size_t>(info.st_size) + 1);
        const ssize_t n = ::readlink(source.c_str(), m_linkTarget.data(), m_linkTarget.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= m_linkTarget.size()) {
            error = SystemText("cannot read the link " + source.native());
            return false;
        }
        m_linkTarget.resize(static_cast<std::size_t>(n));
    } else if (S_ISREG(info.st_mode)) {
        // Non-blocking and judged by what was opened: a FIFO swapped in for the file after the
        // check above must not hold the backup up waiting for a writer.
        m_input.Reset(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!m_input.Valid() || ::fstat(m_input.Get(), &info) != 0) {
            error = SystemText("cannot read " + source.native());
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            error = source.native() + " is no longer a regular file";
            return false;
        }
        TakeRegularFile(std::move(m_input));
    } else {
        error = source.native() + " is neither a regular file nor a symbolic link";
        return false;
    }
    FillMetadata(item);
    return true;
}

void ItemSource::Adopt(UniqueFd file, const struct stat& status, ItemInfo& item) {
    m_opened = status;
    TakeRegularFile(std::move(file));
    FillMetadata(item);
}

void ItemSource::TakeRegularFile(UniqueFd file) {
    m_input = std::move(file);
    if (m_opened.st_size > static_cast<off_t>(DataCompressor::kReadSize)) {
        ::posix_fadvise(m_input.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    m_reader = SourceReader(m_input.Get(), static_cast<std::uint64_t>(m_opened.st_size),
                            static_cast<std::uint64_t>(m_opened.st_blocks) * 512);
}

void ItemSource::FillMetadata(ItemInfo& item) const {
    item.mode = m_opened.st_mode & 07777;
    item.mtimeSeconds = m_opened.st_mtim.tv_sec;
    item.mtimeNanoseconds = static_cast<std::uint32_t>(m_opened.st_mtim.tv_nsec);
    item.uid = m_opened.st_uid;
    item.gid = m_opened.st_gid;
}

long ItemSource::Read(char* buffer, std::size_t size) {
    if (m_input.Valid()) {
        return m_reader.Read(buffer, size);
    }
    const std::size_t n = std::min(size, m_linkTarget.size() - m_linkPosition);
    std::memcpy(buffer, m_linkTarget.data() + m_linkPosition, n);
    m_linkPosition += n;
    return static_cast<long>(n);
}

bool ItemSource::ChangedWhileRead(std::uint64_t bytesRead) const {
    if (!m_input.Valid()) {
        return false;
    }
    struct stat after {};
    return ::fstat(m_input.Get(), &after) != 0 || after.st_size != m_opened.st_size ||
           after.st_mtim.tv_sec != m_opened.st_mtim.tv_sec ||
           after.st_mtim.tv_nsec != m_opened.st_mtim.tv_nsec ||
           bytesRead != static_cast<std::uint64_t>(m_opened.st_size);
}

}  // namespace tkw::archive
