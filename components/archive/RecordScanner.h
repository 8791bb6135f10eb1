#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "components/archive/Format.h"

namespace tkw::archive {

// The name in a record header that begins a damaged stretch, read without trusting the header.
struct NameInHeader {
    std::string name;
    bool checkHolds = false;  // the header check is right: the name is the item's own
};

// A stretch between two complete records that holds no complete record.
struct SkippedStretch {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    // When the stretch begins with a record header whose fixed part decodes and whose name lies
    // inside the stretch.
    std::optional<NameInHeader> name;
};

struct ScanResult {
    std::vector<ItemInfo> items;
    std::uint64_t dataEnd = kFileHeaderSize;  // end of the last complete record
    std::vector<SkippedStretch> skipped;      // in file order
    std::uint64_t damagedBytes = 0;           // in all skipped stretches
    std::uint64_t tailBytes = 0;              // after the last complete record
    bool tailIsIndex = false;                 // the tail starts like an index (a damaged one)
    std::optional<NameInHeader> tailName;     // as for a skipped stretch, when the tail is no index
    // Bytes the scan read from the file plus bytes its record checks looked at: its work, which
    // stays within a small multiple of the file size however the file is made.
    std::uint64_t bytesExamined = 0;
};

// Lists every complete record of the file by walking from the first, skipping damaged stretches
// by searching for the next complete record. Used when the index is missing or damaged. Reads only;
// `recordSeed` is the archive's (FileHeader::RecordSeed).
ScanResult ScanRecords(int fd, std::uint64_t fileSize, std::uint32_t recordSeed);

}  // namespace tkw::archive
