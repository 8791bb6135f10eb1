#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

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
