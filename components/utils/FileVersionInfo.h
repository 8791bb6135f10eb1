#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tkw {

// The program's version information. On this platform it is compiled into the program from the
// build's version, so every binary of one build reports the same values.
class CFileVersionInfo {
public:
    // Numbers of the string values QueryStringValue knows.
    enum StringValue : int {
        kComments = 0,
        kCompanyName = 1,
        kFileDescription = 2,
        kFileVersion = 3,
        kInternalName = 4,
        kLegalCopyright = 5,
        kLegalTrademarks = 6,
        kOriginalFilename = 7,
        kPrivateBuild = 8,
        kProductName = 9,
        kProductVersion = 10,
        kSpecialBuild = 11,
    };

    // Succeeds when the program file can be found; errno tells why not otherwise.
    bool Open(const std::filesystem::path& programFile);
    bool IsOpen() const { return m_open; }

    // The string value with the given number; false (and `value` untouched) when the program
    // carries no such value or Open has not succeeded.
    bool QueryStringValue(int number, std::string& value) const;

    // Language and code page of the string table: 0x0409 (US English) and 1200 (UTF-16), packed
    // as 0x040904B0. Only index 0 exists.
    std::uint32_t GetTransByIndex(unsigned index) const;
    unsigned GetTransCount() const { return m_open ? 1 : 0; }

    std::uint16_t GetFileVersionMajor() const;
    std::uint16_t GetFileVersionMinor() const;
    std::uint16_t GetFileVersionBuild() const;
    std::uint16_t GetFileVersionQFE() const;
    std::uint16_t GetProductVersionMajor() const { return GetFileVersionMajor(); }
    std::uint16_t GetProductVersionMinor() const { return GetFileVersionMinor(); }
    std::uint16_t GetProductVersionBuild() const { return GetFileVersionBuild(); }
    std::uint16_t GetProductVersionQFE() const { return GetFileVersionQFE(); }

private:
    bool m_open = false;
};

}  // namespace tkw
