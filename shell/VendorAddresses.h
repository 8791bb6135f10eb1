#pragma once

#include <string>

namespace tkw {

// The vendor's web site, without a trailing slash: TARNWICK_WEBSITE when it is set (a test serves
// the site from loopback that way), otherwise http://www.quorvane-software.example.
std::string VendorWebsite();

// Where the latest published version is announced (INI text with the key LatestVersion).
std::string UpdateInformationAddress();

// The page new versions are downloaded from, which also takes donations.
std::string DownloadPage();

// The e-mail address of the vendor's support.
std::string SupportAddress();

}  // namespace tkw
