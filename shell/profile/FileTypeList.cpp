#include "shell/profile/FileTypeList.h"

#include "components/utils/TextEncoding.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"

namespace tkw {

std::vector<std::uint8_t> EncodeFileTypeList(const std::vector<std::string>& entries) {
    std::vector<std::uint8_t> bytes;
    for (const std::string& entry : entries) {
        for (const char16_t unit : Utf8ToUtf16(entry)) {
            bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<std::string> DecodeFileTypeList(std::span<const std::uint8_t> bytes) {
    std::vector<std::string> entries;
    std::size_t offset = 0;
    while (offset + 1 < bytes.size()) {
        std::u16string entry;
        for (; offset + 1 < bytes.size(); offset += 2) {
            const auto unit = static_cast<char16_t>(bytes[offset] | (bytes[offset + 1] << 8));
            if (unit == 0) {
                offset += 2;
                break;
            }
            entry.push_back(unit);
        }
        entries.push_back(Utf16ToUtf8(entry));
    }
    return entries;
}

std::vector<std::string> ReadFileTypeList() {
    const auto& key = profile::kFileTypeExtensions;
    const auto bytes = GetProfileBinary(key.section, key.name);
    if (!bytes) {
        return {};
    }
    return DecodeFileTypeList(*bytes);
}

void WriteFileTypeList(const std::vector<std::string>& entries) {
    const auto& key = profile::kFileTypeExtensions;
    WriteProfileBinary(key.section, key.name, EncodeFileTypeList(entries));
}

}  // namespace tkw
