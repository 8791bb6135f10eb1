#pragma once

#include <cstdint>
#include <vector>

#include "components/archive/Format.h"
#include "components/archive/RecordReader.h"

namespace tkw::archive {

struct ScanResult {
    std::vector<ItemInfo> items;
    std::uint64_t dataEnd = kFileHeaderSize;  // end of the last complete record
    std::uint64_t damagedBytes = 0;           // stretches between complete records
    std::uint64_t tailBytes = 0;              // after the last complete record
    bool tailIsIndex = false;                 // the tail starts like an index (a damaged one)
};

// Lists every complete record of the file by walking from the first, skipping damaged stretches
// by searching for the next complete record. Used when the index is missing or damaged.
ScanResult ScanRecords(RecordReader& reader, int fd, std::uint64_t fileSize);

}  // namespace tkw::archive
