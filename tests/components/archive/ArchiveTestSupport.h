#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "components/archive/ZipEx.h"
#include "tests/support/TempDir.h"

namespace tkw::test {

// Bytes that zstd cannot shrink.
inline std::string RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t value = random();
        for (std::size_t j = 0; j < 8 && i + j < size; ++j) {
            bytes[i + j] = static_cast<char>(value >> (8 * j));
        }
    }
    return bytes;
}

// Text-like bytes that compress well.
inline std::string TextBytes(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {"backup ",   "restore ", "archive ", "file\n",
                                         "tarnwick ", "0123 ",    "zone "};
    std::mt19937 random(seed);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        text += kWords[random() % 7];
    }
    text.resize(size);
    return text;
}

// Writes a closed archive (with its index) of one item per content, named /data/file0,
// /data/file1, ... from source files made in `folder`; the items' records, empty on failure.
inline std::vector<archive::ItemInfo> WriteDataArchive(const std::filesystem::path& archive,
                                                       const std::filesystem::path& folder,
                                                       const std::vector<std::string>& contents) {
    CZipEx zip;
    std::vector<archive::ItemInfo> records;
    if (zip.CreateZip(archive) == 0) {
        return {};
    }
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const std::filesystem::path source = folder / ("file" + std::to_string(i));
        WriteFileBytes(source, contents[i]);
        if (zip.AddFile(source, "/data/file" + std::to_string(i)) == 0) {
            return {};
        }
        records.push_back(*zip.GetItemInfo(static_cast<int>(i)));
    }
    return zip.Close() == 1 ? records : std::vector<archive::ItemInfo>{};
}

inline void FlipByte(const std::filesystem::path& file, std::uint64_t offset) {
    std::string bytes = ReadFileBytes(file);
    bytes.at(offset) = static_cast<char>(bytes.at(offset) ^ 0x5A);
    WriteFileBytes(file, bytes);
}

inline struct stat LinkStatus(const std::filesystem::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

}  // namespace tkw::test
