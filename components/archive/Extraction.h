#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "components/archive/Format.h"
#include "components/archive/RecordReader.h"

namespace tkw::archive {

// Writes one item to `target`: the missing folders of the path are created, the data goes to a
// temporary file beside the target and is checked while it is written, and only a complete,
// verified item is renamed over the target, with its modification time, permission bits and (for
// root) owner already set. A symbolic link is recreated as a link. On any failure nothing is left
// behind and an existing target is untouched.
// With `confinedTo`, the target's folder must resolve to a place inside that folder, so that links
// already on disk cannot redirect the write elsewhere.
bool ExtractItem(RecordReader& reader, const ItemInfo& item, const std::filesystem::path& target,
                 const std::optional<std::filesystem::path>& confinedTo, std::string& error);

// Reads and checks the item's data without writing it anywhere.
bool VerifyItem(RecordReader& reader, const ItemInfo& item, std::string& error);

}  // namespace tkw::archive
