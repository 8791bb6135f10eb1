#pragma once

#include <sys/types.h>

#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "components/utils/UniqueFd.h"

namespace tkw::archive {

// Where a regular file's bytes wait until they are complete and verified.
enum class Staging {
    // A file without a name (O_TMPFILE), linked in only when complete: a restore that is killed
    // leaves nothing behind. Falls back to Named where the file system has no such files.
    Unnamed,
    // A temporary named ".tkw-restore-" and six letters or digits, in the target's folder, locked
    // (flock) while it exists so that other restores can tell it from one a killed restore left.
    Named,
};

// A fresh temporary name of that shape; creating it exclusively tells whether it is free.
std::string TemporaryName();

// Before a write into the folder: clears it of the temporaries killed restores left there (those
// no running restore holds), unless it is known to be clear. Whether it is clear now; if so,
// RememberClear marks it so after the write, so that a restore writing thousands of files into
// one folder reads it once.
//
// Threads that write into one folder at once change its modification time for each other, which
// the process-wide record cannot tell from another program's entry; they share a ClearedInRun, and
// a folder cleared once in their run is not read again in it.
class ClearedInRun {
public:
    bool Contains(dev_t device, ino_t inode) const;
    void Add(dev_t device, ino_t inode);

private:
    mutable std::mutex m_mutex;
    std::set<std::pair<dev_t, ino_t>> m_folders;
};
bool ClearLeftOverTemporaries(int folderFd, const ClearedInRun* run = nullptr);
void RememberClear(int folderFd, ClearedInRun* run = nullptr);

// The file a regular item is written to until it is complete and verified. Without a name
// (O_TMPFILE) a killed restore leaves nothing; a named temporary is locked while it exists and
// removed again unless it was put in place.
class StagedFile {
public:
    explicit StagedFile(int folderFd) : m_folderFd(folderFd) {}
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False with errno set when no file can be created.
    bool Open(Staging staging);
    int Fd() const { return m_fd.Get(); }
    // Gives the file `name` in the folder, replacing an existing entry at once: the old one stays
    // whole until the rename. False with errno set otherwise.
    bool Publish(const std::string& name);
    // Gives the file `name` only where no entry has it; false with errno EEXIST when one does (or
    // when the file system cannot tell without replacing it).
    bool PublishIfFree(const std::string& name);

private:
    bool OpenNamed();
    // Links the unnamed file into the folder. Through /proc any user may do it; linking the
    // descriptor itself needs more privilege on older kernels, so it only serves without /proc.
    bool LinkAs(const std::string& name) const;

    int m_folderFd;
    UniqueFd m_fd;
    std::string m_temporary;  // the file's name while it has a temporary one
    bool m_locked = false;    // for other restores: only a file with a temporary name needs it
};

}  // namespace tkw::archive
