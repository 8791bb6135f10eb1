#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tkw {

// The program's version information, compiled into the program from the build's version, so every
// binary of one build reports the same values.
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

    // The string value with the given number; false (and `value` untouched) when the program
    // carries no such value or Open has not succeeded.
    bool QueryStringValue(int number, std::string& value) const;

    // The four parts of the version (1, 2, 0 and 1 of 1.2.0.1); the whole version is the string
    // value kFileVersion.
    std::uint16_t GetFileVersionMajor() const;
    std::uint16_t GetFileVersionMinor() const;
    std::uint16_t GetFileVersionBuild() const;
    std::uint16_t GetFileVersionRevision() const;

private:
    bool m_open = false;
};

}  // namespace tkw
