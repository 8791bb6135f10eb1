#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tkw {

// A version as four numbers: major, minor, build, revision.
using VersionNumbers = std::array<long, 4>;

// Splits a published version such as "1.2.0.1" at its full stops (runs of them count as one,
// leading ones are skipped) and reads each part as strtol does: leading blanks, a sign and the
// leading digits, 0 when there are none. A missing fourth part counts as 0; a text of fewer than
// three parts is not a version (nothing).
std::optional<VersionNumbers> SplitVersion(std::string_view text);

// Whether `published` is a later version than `installed`: greater as a whole, compared part by
// part from the left.
bool IsNewerVersion(const VersionNumbers& published, const VersionNumbers& installed);

}  // namespace tkw
