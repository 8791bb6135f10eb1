#pragma once

#include <QString>
#include <cstdint>

#include "shell/profile/ProfileStore.h"

class QSettings;

namespace tkw {

// The settings store on QSettings("Quorvane Software", "Tarnwick") in the native format, an INI
// file under $XDG_CONFIG_HOME. Each thread reads and writes through its own long-lived QSettings
// object; objects of one process share their data, so a write is seen by the next read on any
// thread. Each write is also saved at once, for other processes.
class CQtProfileStore final : public IProfileStore {
public:
    CQtProfileStore();

    std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view key) override;
    std::optional<std::string> ReadString(std::string_view section, std::string_view key) override;
    std::optional<std::vector<std::uint8_t>> ReadBinary(std::string_view section,
                                                        std::string_view key) override;

    void WriteInt(std::string_view section, std::string_view key, std::int32_t value) override;
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view text) override;
    void WriteBinary(std::string_view section, std::string_view key,
                     std::span<const std::uint8_t> bytes) override;

    // The file the store lives in.
    QString Location();

private:
    QSettings& Settings();

    std::uint64_t m_id;
};

}  // namespace tkw
