#include "shell/profile/ProfileStore.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace tkw {
namespace {

std::atomic<IProfileStore*> g_store{nullptr};

}  // namespace

void SetProfileStore(IProfileStore* store) {
    g_store.store(store);
}

IProfileStore& ProfileStore() {
    IProfileStore* store = g_store.load();
    if (store == nullptr) {
        // A front end that forgot to install the store would silently run on defaults.
        std::fputs("Tarnwick: the settings store is used before it was installed\n", stderr);
        std::abort();
    }
    return *store;
}

std::int32_t GetProfileInt(std::string_view section, std::string_view key,
                           std::int32_t defaultValue) {
    return ProfileStore().ReadInt(section, key).value_or(defaultValue);
}

void WriteProfileInt(std::string_view section, std::string_view key, std::int32_t value) {
    ProfileStore().WriteInt(section, key, value);
}

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue) {
    return ProfileStore().ReadString(section, key).value_or(std::string(defaultValue));
}

void WriteProfileString(std::string_view section, std::string_view key, std::string_view text) {
    ProfileStore().WriteString(section, key, text);
}

std::optional<std::vector<std::uint8_t>> GetProfileBinary(std::string_view section,
                                                          std::string_view key) {
    return ProfileStore().ReadBinary(section, key);
}

void WriteProfileBinary(std::string_view section, std::string_view key,
                        std::span<const std::uint8_t> bytes) {
    ProfileStore().WriteBinary(section, key, bytes);
}

}  // namespace tkw
