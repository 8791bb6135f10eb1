#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "components/archive/FileIo.h"
#include "components/archive/Format.h"

namespace tkw::archive {

// Appends the index and the footer after the records; `dataEnd` is where the index begins.
bool WriteIndex(AppendWriter& writer, const std::vector<ItemInfo>& items, std::uint64_t dataEnd);

struct IndexContents {
    std::vector<ItemInfo> items;
    std::uint64_t dataEnd = 0;
};

// The item list from the index at the end of the file, when the footer and the index are intact
// and consistent with the file; nothing otherwise.
std::optional<IndexContents> ReadIndex(int fd, std::uint64_t fileSize);

// What can still be read of an index that fails its checks, to tell which items the archive held.
struct DamagedIndex {
    // The file ends in a footer (its magic or its check holds), or the footer points at an index
    // frame.
    bool present = false;
    std::optional<std::uint64_t> offset;  // of the index frame, when the footer gives it plausibly
    std::vector<ItemInfo> entries;        // those that still decode, in order; names may be damaged
    bool complete = false;                // every entry the index counts decoded
};
DamagedIndex ReadDamagedIndex(int fd, std::uint64_t fileSize);

}  // namespace tkw::archive
