#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tkw {

// The per-user settings store: sections holding named values of three kinds. The engine and the
// components see only this interface; the application installs the implementation at start-up.
// Implementations must let every thread read and write at any time, and a write must be seen by
// the next read from any thread.
class IProfileStore {
public:
    virtual ~IProfileStore() = default;

    // Nothing when the value is absent or is not a 32-bit integer.
    virtual std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view key) = 0;
    virtual std::optional<std::string> ReadString(std::string_view section,
                                                  std::string_view key) = 0;
    virtual std::optional<std::vector<std::uint8_t>> ReadBinary(std::string_view section,
                                                                std::string_view key) = 0;

    virtual void WriteInt(std::string_view section, std::string_view key, std::int32_t value) = 0;
    virtual void WriteString(std::string_view section, std::string_view key,
                             std::string_view text) = 0;
    virtual void WriteBinary(std::string_view section, std::string_view key,
                             std::span<const std::uint8_t> bytes) = 0;
};

// Installs the store every profile operation below uses (not owned). The front end does this once,
// before any other part of the program runs; tests install one per test.
void SetProfileStore(IProfileStore* store);
IProfileStore& ProfileStore();

// Profile operations by section, key and default. Reads go to the store at every call: settings
// are never cached, so a change takes effect at the next read, even in the middle of a run.
std::int32_t GetProfileInt(std::string_view section, std::string_view key,
                           std::int32_t defaultValue);
void WriteProfileInt(std::string_view section, std::string_view key, std::int32_t value);
std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue = {});
void WriteProfileString(std::string_view section, std::string_view key, std::string_view text);
// Nothing when the value is absent; an empty vector when it is present with size 0.
std::optional<std::vector<std::uint8_t>> GetProfileBinary(std::string_view section,
                                                          std::string_view key);
void WriteProfileBinary(std::string_view section, std::string_view key,
                        std::span<const std::uint8_t> bytes);

}  // namespace tkw
