#include "shell/profile/ProfileKeys.h"

#include <cassert>

#include "shell/profile/ProfileStore.h"

namespace tkw::profile {

const ProfileKey* FindProfileKey(std::string_view section, std::string_view name) {
    for (const ProfileKey& key : kAllProfileKeys) {
        if (key.section == section && key.name == name) {
            return &key;
        }
    }
    return nullptr;
}

}  // namespace tkw::profile

namespace tkw {

std::int32_t GetProfileInt(const profile::ProfileKey& key) {
    assert(key.kind == profile::KeyKind::Int);
    return GetProfileInt(key.section, key.name, key.intDefault);
}

void WriteProfileInt(const profile::ProfileKey& key, std::int32_t value) {
    assert(key.kind == profile::KeyKind::Int);
    WriteProfileInt(key.section, key.name, value);
}

std::string GetProfileString(const profile::ProfileKey& key) {
    assert(key.kind == profile::KeyKind::String);
    return GetProfileString(key.section, key.name, key.stringDefault);
}

void WriteProfileString(const profile::ProfileKey& key, std::string_view text) {
    assert(key.kind == profile::KeyKind::String);
    WriteProfileString(key.section, key.name, text);
}

}  // namespace tkw
