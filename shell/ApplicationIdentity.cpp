#include "shell/ApplicationIdentity.h"

#include <algorithm>
#include <cerrno>

#include "components/utils/FileVersionInfo.h"
#include "components/utils/ProcessInfo.h"
#include "components/utils/ReportError.h"

namespace tkw {
namespace {

std::string QueryWithoutBlanks(const CFileVersionInfo& info, int number, const char* failure) {
    std::string value;
    if (!info.QueryStringValue(number, value)) {
        ReportError(failure, errno);
    }
    std::erase(value, ' ');
    return value;
}

}  // namespace

std::string ComputeApplicationIdentity() {
    CFileVersionInfo info;
    if (!info.Open(GetProgramPath())) {
        ReportError("Cannot get info about exe file !", errno);
    }
    const std::string company =
        QueryWithoutBlanks(info, CFileVersionInfo::kCompanyName, "Cannot get company name");
    const std::string product =
        QueryWithoutBlanks(info, CFileVersionInfo::kProductName, "Cannot get application name");
    const std::string version = std::to_string(info.GetFileVersionMajor()) + "." +
                                std::to_string(info.GetFileVersionMinor());
    return company + "." + product + "." + "ID3s" + "." + version;
}

}  // namespace tkw
