#include "components/utils/FileVersionInfo.h"

#include <cerrno>
#include <system_error>

#include "BuildInfo.h"

namespace tkw {

bool CFileVersionInfo::Open(const std::filesystem::path& programFile) {
    std::error_code error;
    m_open = !programFile.empty() && std::filesystem::is_regular_file(programFile, error);
    if (!m_open) {
        errno = error ? error.value() : ENOENT;
    }
    return m_open;
}

bool CFileVersionInfo::QueryStringValue(int number, std::string& value) const {
    if (!m_open) {
        return false;
    }
    const std::string company = buildinfo::kCompanyName;
    const std::string product = buildinfo::kProductName;
    switch (number) {
        case kCompanyName:
            value = company;
            return true;
        case kFileDescription:
            value = product + " backup";
            return true;
        case kFileVersion:
        case kProductVersion:
            value = buildinfo::kVersionText;
            return true;
        case kInternalName:
            value = product;
            return true;
        case kLegalCopyright:
            value = "Copyright (C) " + company;
            return true;
        case kOriginalFilename:
            value = "tarnwick";
            return true;
        case kProductName:
            value = product;
            return true;
        default:
            return false;
    }
}

std::uint16_t CFileVersionInfo::GetFileVersionMajor() const {
    return static_cast<std::uint16_t>(buildinfo::kVersionMajor);
}
std::uint16_t CFileVersionInfo::GetFileVersionMinor() const {
    return static_cast<std::uint16_t>(buildinfo::kVersionMinor);
}
std::uint16_t CFileVersionInfo::GetFileVersionBuild() const {
    return static_cast<std::uint16_t>(buildinfo::kVersionBuild);
}
std::uint16_t CFileVersionInfo::GetFileVersionRevision() const {
    return static_cast<std::uint16_t>(buildinfo::kVersionRevision);
}

}  // namespace tkw
