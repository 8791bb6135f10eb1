#pragma once

#include <filesystem>
#include <string>

#include <sys/stat.h>

#include "components/archive/Format.h"
#include "components/utils/UniqueFd.h"

namespace tkw::archive {

class DataCompressor;

// A file read and compressed into memory, ready to become a record wherever the archive's end is
// when its turn comes: its data (chunks and end marker) and what the header and trailer say.
struct PackedItem {
    ItemInfo item;  // name, kind, metadata and size; the place is the archive's to give
    std::string data;
    Trailer trailer;  // all but lengthBeforeTrailer, which depends on the header
    bool changedWhileRead = false;
    std::string error;  // why the file could not be packed; empty when it was

    bool Packed() const { return error.empty(); }
};

// Reads the file (or link) at `source` and compresses it into memory under `name`. Safe on any
// thread, each with its own compressor; meant for files small enough to be held in memory.
PackedItem PackItem(const std::filesystem::path& source, std::string name,
                    DataCompressor& compressor);
// The same for the regular file `source` already open as `file`, whose fstat gave `status`.
PackedItem PackOpenFile(const std::filesystem::path& source, UniqueFd file,
                        const struct stat& status, std::string name, DataCompressor& compressor);

}  // namespace tkw::archive
