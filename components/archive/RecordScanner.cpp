#include "components/archive/RecordScanner.h"

#include <cstring>
#include <optional>
#include <string>

#include "components/archive/FileIo.h"

namespace tkw::archive {
namespace {

constexpr std::size_t kSearchBlock = 1 << 20;

// The next offset after `from` where a complete record starts, searching for its magic.
std::optional<std::uint64_t> FindNextRecord(RecordReader& reader, int fd, std::uint64_t from,
                                            std::uint64_t fileSize) {
    std::string block;
    const std::size_t overlap = kRecordMagic.size() - 1;
    for (std::uint64_t start = from; start < fileSize; start += kSearchBlock) {
        const std::size_t size = static_cast<std::size_t>(
            std::min<std::uint64_t>(kSearchBlock + overlap, fileSize - start));
        if (!ReadExactAt(fd, start, size, block)) {
            return std::nullopt;
        }
        for (std::size_t hit = block.find(kRecordMagic); hit != std::string::npos;
             hit = block.find(kRecordMagic, hit + 1)) {
            if (hit >= kSearchBlock) {
                break;  // the next block sees it again
            }
            if (reader.ParseComplete(start + hit, fileSize)) {
                return start + hit;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

ScanResult ScanRecords(RecordReader& reader, int fd, std::uint64_t fileSize) {
    ScanResult result;
    std::uint64_t position = kFileHeaderSize;
    while (position < fileSize) {
        if (auto item = reader.ParseComplete(position, fileSize)) {
            position += item->recordLength;
            result.dataEnd = position;
            result.items.push_back(std::move(*item));
            continue;
        }
        const auto next = FindNextRecord(reader, fd, position + 1, fileSize);
        if (!next) {
            break;
        }
        result.damagedBytes += *next - position;
        position = *next;
    }
    result.tailBytes = fileSize - result.dataEnd;
    std::string start;
    // The index is stored as a zstd frame; a record never starts like one.
    constexpr std::string_view kZstdFrameMagic{"\x28\xB5\x2F\xFD", 4};
    result.tailIsIndex = result.tailBytes >= kZstdFrameMagic.size() &&
                         ReadExactAt(fd, result.dataEnd, kZstdFrameMagic.size(), start) &&
                         start == kZstdFrameMagic;
    return result;
}

}  // namespace tkw::archive
