#include "shell/VendorAddresses.h"

#include <cstdlib>

namespace tkw {

std::string VendorWebsite() {
    const char* overridden = std::getenv("TARNWICK_WEBSITE");
    std::string site = overridden != nullptr && *overridden != '\0'
                           ? overridden
                           : "http://www.quorvane-software.example";
    while (site.ends_with('/')) {
        site.pop_back();
    }
    return site;
}

std::string UpdateInformationAddress() {
    return VendorWebsite() + "/tkw/info.txt";
}

std::string DownloadPage() {
    return VendorWebsite() + "/download.php";
}

std::string SupportAddress() {
    return "support@quorvane-software.example";
}

}  // namespace tkw
