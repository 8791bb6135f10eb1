#include "components/archive/PackedItem.h"

#include "components/archive/DataCompressor.h"
#include "components/archive/ItemSource.h"

namespace tkw::archive {

PackedItem PackItem(const std::filesystem::path& source, std::string name,
                    DataCompressor& compressor) {
    PackedItem packed;
    packed.item.name = std::move(name);
    ItemSource input;
    if (!input.Open(source, packed.item, packed.error)) {
        return packed;
    }
    AppendWriter writer = AppendWriter::InMemory();
    std::string error;
    const auto trailer = compressor.Write(
        [&](char* buffer, std::size_t size) { return input.Read(buffer, size); }, writer, error);
    if (!trailer) {
        packed.error = source.native() + ": " + error;
        return packed;
    }
    packed.trailer = *trailer;
    packed.item.size = trailer->originalSize;
    packed.data = writer.TakeBytes();
    packed.changedWhileRead = input.ChangedWhileRead(packed.item.size);
    return packed;
}

}  // namespace tkw::archive
