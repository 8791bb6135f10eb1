#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tkw {

// The stored file-type list: each entry as UTF-16LE code units followed by one 16-bit zero, entries
// back to back with no padding and no extra terminator. The empty list is a value of size 0.
std::vector<std::uint8_t> EncodeFileTypeList(const std::vector<std::string>& entries);

// Reads entries from the start of the value until its end. A last entry without its terminator
// ends at the end of the value, and an odd last byte is ignored, so damaged values cannot make the
// reader run past them.
std::vector<std::string> DecodeFileTypeList(std::span<const std::uint8_t> bytes);

// The list as stored (entries in stored order, duplicates included); absent reads as empty.
std::vector<std::string> ReadFileTypeList();
void WriteFileTypeList(const std::vector<std::string>& entries);

}  // namespace tkw
