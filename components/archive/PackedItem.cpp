#include "components/archive/PackedItem.h"

#include "components/archive/DataCompressor.h"
#include "components/archive/ItemSource.h"

namespace tkw::archive {
namespace {

// Reads the opened source to its end into the packed item.
void Compress(const std::filesystem::path& source, ItemSource& input, DataCompressor& compressor,
              PackedItem& packed) {
    AppendWriter writer = AppendWriter::InMemory();
    std::string error;
    const auto trailer = compressor.Write(
        [&](char* buffer, std::size_t size) { return input.Read(buffer, size); }, writer, error);
    if (!trailer) {
        packed.error = source.native() + ": " + error;
        return;
    }
    packed.trailer = *trailer;
    packed.item.size = trailer->originalSize;
    packed.data = writer.TakeBytes();
    packed.changedWhileRead = input.ChangedWhileRead(packed.item.size);
}

}  // namespace

PackedItem PackItem(const std::filesystem::path& source, std::string name,
                    DataCompressor& compressor) {
    PackedItem packed;
    packed.item.name = std::move(name);
    ItemSource input;
    if (input.Open(source, packed.item, packed.error)) {
        Compress(source, input, compressor, packed);
    }
    return packed;
}

PackedItem PackOpenFile(const std::filesystem::path& source, UniqueFd file,
                        const struct stat& status, std::string name, DataCompressor& compressor) {
    PackedItem packed;
    packed.item.name = std::move(name);
    ItemSource input;
    input.Adopt(std::move(file), status, packed.item);
    Compress(source, input, compressor, packed);
    return packed;
}

}  // namespace tkw::archive
