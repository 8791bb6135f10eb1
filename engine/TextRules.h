#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tkw {

// The small text rules the filters and the run share.

// A copy with the letters A to Z lower-cased and every other byte unchanged.
std::string LowerAsciiLetters(std::string_view text);

// The words of a typed text: split at blanks, runs of blanks giving no empty words.
std::vector<std::string> SplitWords(std::string_view text);

// The extension of a path: from its last full stop that is followed by neither a separator nor a
// blank up to the end, full stop included; empty when there is none.
std::string FileExtension(std::string_view path);

// A decimal number as the C library reads one: leading blanks, an optional sign, then the leading
// digits; 0 when there are none. Saturates instead of overflowing.
std::int64_t ParseLeadingInt64(std::string_view text);

}  // namespace tkw
