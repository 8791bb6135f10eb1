#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tkw {

// The platform's path separator ('/' here).
inline constexpr char kPathSeparator = '/';

// Makes the path end in exactly one separator (an empty path becomes "/"); changes it in place and
// returns it so that calls can be chained.
std::string& ENSURE_SLASH(std::string& path);

// The text between double quotation marks, as every per-file log line writes paths.
std::string INTRE_GHILIMELE(std::string_view text);

std::string IntToString(std::int32_t value);
std::string UintToString(std::uint32_t value);
std::string Int64ToString(std::int64_t value);

}  // namespace tkw
