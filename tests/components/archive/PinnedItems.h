#pragma once

// The items of the pinned archives in tests/components/archive/pinned/: what the writer was given
// (PinnedArchiveWriter.cpp) and what every later reader must find (PinnedArchiveTest.cpp).

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "components/archive/Format.h"

namespace tkw::test {

struct PinnedItem {
    std::string name;  // native bytes, not always UTF-8
    archive::ItemKind kind;
    std::string content;  // a regular file's bytes, or a link's target
    std::uint32_t mode;   // permission bits stored (a link's are 0777)
    std::int64_t mtimeSeconds;
    std::uint32_t mtimeNanoseconds;
};

// The owner every source was given (the writer ran as root), two different ids so that a reader
// that mixes them up shows.
inline constexpr std::uint32_t kPinnedUid = 1234;
inline constexpr std::uint32_t kPinnedGid = 5678;

// Bytes 0, 1, ... 255, twice: every byte value in an item.
inline std::string EveryByteTwice() {
    std::string bytes;
    for (int round = 0; round < 2; ++round) {
        for (int value = 0; value < 256; ++value) {
            bytes.push_back(static_cast<char>(value));
        }
    }
    return bytes;
}

// 32 MiB and 1000 bytes, so the item takes two chunks: a run with a period of 251 bytes, which
// crosses every block boundary, and the number of each 64 KiB block at its start, so no two blocks
// are alike and a chunk read at the wrong place shows.
inline std::string TwoChunkBytes() {
    constexpr std::size_t kSize = (32u << 20) + 1000;
    constexpr std::size_t kBlock = 64u << 10;
    std::string bytes(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i) {
        bytes[i] = static_cast<char>((i % 251) * 3 + 1);
    }
    for (std::size_t block = 0; block * kBlock < kSize; ++block) {
        for (std::size_t j = 0; j < 8; ++j) {
            bytes[block * kBlock + j] = static_cast<char>((block >> (8 * j)) & 0xFF);
        }
    }
    return bytes;
}

// In the order they were added. The last is a newer copy of the first, as a reader must accept.
inline std::vector<PinnedItem> PinnedItems() {
    using archive::ItemKind;
    return {
        {"/home/pin/notes.txt", ItemKind::RegularFile,
         "Tarnwick pinned archive\nnotes, first copy\n", 0644, 1700000000, 123456789},
        // Modified before 1970: the times are signed.
        {"/home/pin/empty", ItemKind::RegularFile, "", 0600, -86400, 0},
        {"/home/pin/notes-link", ItemKind::SymbolicLink, "notes.txt", 0777, 1700000200, 500000000},
        {"/home/pin/caf\xE9 bytes.bin", ItemKind::RegularFile, EveryByteTwice(), 0640, 1700000300,
         999999999},
        {"/home/pin/two-chunks.bin", ItemKind::RegularFile, TwoChunkBytes(), 0644, 1700000400, 0},
        {"/home/pin/notes.txt", ItemKind::RegularFile, "notes, second copy\n", 0644, 1700000500, 0},
    };
}

}  // namespace tkw::test
