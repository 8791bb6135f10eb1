#include "components/archive/Extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include "components/archive/FileIo.h"

namespace tkw::archive {
namespace fs = std::filesystem;
namespace {

std::string SystemText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Writes a file's bytes, leaving holes where whole blocks are zero: a sparse file comes back
// sparse, and a large run of zeros costs no disk space.
class SparseWriter {
public:
    explicit SparseWriter(int fd) : m_fd(fd) {}

    bool Write(std::string_view bytes) {
        std::size_t runStart = 0;  // start of the pending non-zero run within `bytes`
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            const std::uint64_t fileOffset = m_offset + pos;
            const std::size_t toBoundary = kBlock - static_cast<std::size_t>(fileOffset % kBlock);
            const std::size_t piece = std::min(toBoundary, bytes.size() - pos);
            if (piece == kBlock && std::memcmp(bytes.data() + pos, kZeros, kBlock) == 0) {
                if (!WriteRun(bytes, runStart, pos)) {
                    return false;
                }
                runStart = pos + piece;
            }
            pos += piece;
        }
        if (!WriteRun(bytes, runStart, bytes.size())) {
            return false;
        }
        m_offset += bytes.size();
        return true;
    }

    // Gives the file its full length (a trailing hole included).
    bool Finish() { return ::ftruncate(m_fd, static_cast<off_t>(m_offset)) == 0; }

private:
    static constexpr std::size_t kBlock = 4096;
    static constexpr char kZeros[kBlock] = {};

    bool WriteRun(std::string_view bytes, std::size_t from, std::size_t to) {
        return from >= to || WriteAllAt(m_fd, m_offset + from, bytes.substr(from, to - from));
    }

    int m_fd;
    std::uint64_t m_offset = 0;
};

bool IsInside(const fs::path& folder, const fs::path& path) {
    std::error_code error;
    const fs::path realFolder = fs::canonical(folder, error);
    if (error) {
        return false;
    }
    const fs::path realPath = fs::canonical(path, error);
    if (error) {
        return false;
    }
    auto p = realPath.begin();
    for (const auto& part : realFolder) {
        if (part.empty()) {
            continue;
        }
        if (p == realPath.end() || *p != part) {
            return false;
        }
        ++p;
    }
    return true;
}

// A name for the temporary file beside the target, unique in that folder.
std::string TemporaryPattern(const fs::path& folder) {
    return (folder / ".tkw-restore-XXXXXX").native();
}

bool ApplyOwner(int fd, const ItemInfo& item) {
    // Only root can give a file away; for anyone else the file stays theirs.
    return ::geteuid() != 0 || ::fchown(fd, item.uid, item.gid) == 0;
}

bool ExtractRegularFile(RecordReader& reader, const ItemInfo& item, const fs::path& target,
                        std::string& error) {
    std::string temporary = TemporaryPattern(target.parent_path());
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.Valid()) {
        error = SystemText("cannot create a temporary file in " + target.parent_path().native());
        return false;
    }
    SparseWriter writer(fd.Get());
    bool ok = reader.ReadData(
        item, [&](std::string_view bytes) { return writer.Write(bytes); }, error);
    if (ok && !writer.Finish()) {
        ok = false, error = SystemText("cannot write " + target.native());
    }
    // Owner first: changing it clears the set-user-id and set-group-id bits the mode may carry.
    if (ok && (!ApplyOwner(fd.Get(), item) || ::fchmod(fd.Get(), item.mode & 07777) != 0)) {
        ok = false, error = SystemText("cannot set the owner or permissions of " + target.native());
    }
    const timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(item.mtimeSeconds), static_cast<long>(item.mtimeNanoseconds)}};
    if (ok && ::futimens(fd.Get(), times) != 0) {
        ok = false, error = SystemText("cannot set the modification time of " + target.native());
    }
    // Replacing a file: make the new one durable first, so a crash of the system cannot leave an
    // empty file where the old one was.
    std::error_code exists;
    if (ok && fs::exists(fs::symlink_status(target, exists)) && ::fdatasync(fd.Get()) != 0) {
        ok = false, error = SystemText("cannot flush " + target.native());
    }
    fd.Reset();
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false, error = SystemText("cannot put " + target.native() + " in place");
    }
    if (!ok) {
        ::unlink(temporary.c_str());
    }
    return ok;
}

bool ExtractSymbolicLink(RecordReader& reader, const ItemInfo& item, const fs::path& target,
                         std::string& error) {
    if (item.size == 0 || item.size >= PATH_MAX) {
        error = "damaged item: a link target of " + std::to_string(item.size) + " bytes";
        return false;
    }
    std::string linkTarget;
    if (!reader.ReadData(
            item,
            [&](std::string_view bytes) {
                linkTarget.append(bytes);
                return true;
            },
            error)) {
        return false;
    }
    if (linkTarget.find('\0') != std::string::npos) {
        error = "damaged item: a link target with a NUL byte";
        return false;
    }
    // symlink() cannot replace, so the link is made under a free temporary name and renamed.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = TemporaryPattern(target.parent_path());
        UniqueFd placeholder(::mkostemp(temporary.data(), O_CLOEXEC));
        if (!placeholder.Valid()) {
            break;
        }
        ::unlink(temporary.c_str());
        if (::symlink(linkTarget.c_str(), temporary.c_str()) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            break;
        }
        const timespec times[2] = {
            {0, UTIME_OMIT},
            {static_cast<time_t>(item.mtimeSeconds), static_cast<long>(item.mtimeNanoseconds)}};
        if (::geteuid() == 0) {
            ::lchown(temporary.c_str(), item.uid, item.gid);
        }
        ::utimensat(AT_FDCWD, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW);
        if (::rename(temporary.c_str(), target.c_str()) != 0) {
            error = SystemText("cannot put " + target.native() + " in place");
            ::unlink(temporary.c_str());
            return false;
        }
        return true;
    }
    error = SystemText("cannot create the link " + target.native());
    return false;
}

}  // namespace

bool ExtractItem(RecordReader& reader, const ItemInfo& item, const fs::path& target,
                 const std::optional<fs::path>& confinedTo, std::string& error) {
    if (target.empty() || !target.has_filename()) {
        error = "no file name in the target " + target.native();
        return false;
    }
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code fsError;
    fs::create_directories(folder, fsError);
    if (fsError) {
        error = "cannot create the folder " + folder.native() + ": " + fsError.message();
        return false;
    }
    if (confinedTo && !IsInside(*confinedTo, folder)) {
        error = "the target " + target.native() + " would lie outside " + confinedTo->native();
        return false;
    }
    if (fs::is_directory(fs::symlink_status(target, fsError))) {
        error = "a folder is in the way of " + target.native();
        return false;
    }
    const fs::path placed = folder / target.filename();
    return item.kind == ItemKind::SymbolicLink ? ExtractSymbolicLink(reader, item, placed, error)
                                               : ExtractRegularFile(reader, item, placed, error);
}

bool VerifyItem(RecordReader& reader, const ItemInfo& item, std::string& error) {
    return reader.ReadData(
        item, [](std::string_view) { return true; }, error);
}

}  // namespace tkw::archive
