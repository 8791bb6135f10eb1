#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "components/archive/FileIo.h"
#include "components/archive/Format.h"
#include "components/utils/UniqueFd.h"

namespace tkw::archive {

// A regular file or a symbolic link opened to be stored as an item: its kind and metadata, and its
// bytes (a link's target) read once from start to end.
class ItemSource {
public:
    // Opens `source` and fills the kind and metadata of `item`; false with `error` set when it
    // cannot be read or is neither a regular file nor a link. A FIFO swapped in for the file is
    // refused without waiting on it.
    bool Open(const std::filesystem::path& source, ItemInfo& item, std::string& error);
    // Takes the regular file `source` as already opened: `status` is what fstat said of `file`.
    void Adopt(UniqueFd file, const struct stat& status, ItemInfo& item);
    // Reads up to `size` bytes: the count, 0 at the end, -1 on error (errno set).
    long Read(char* buffer, std::size_t size);
    // Whether the file is not what it was when it was opened: another size or modification time
    // now, or it gave fewer bytes than it had then. A link never changes once read.
    bool ChangedWhileRead(std::uint64_t bytesRead) const;

private:
    void TakeRegularFile(UniqueFd file);
    void FillMetadata(ItemInfo& item) const;

    UniqueFd m_input;
    struct stat m_opened {};
    SourceReader m_reader{-1, 0, 0};
    std::string m_linkTarget;
    std::size_t m_linkPosition = 0;
};

}  // namespace tkw::archive
