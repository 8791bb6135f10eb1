#include "shell/ApplicationIdentity.h"

#include <gtest/gtest.h>

#include "components/utils/ReportError.h"

namespace tkw {
namespace {

TEST(ApplicationIdentity, JoinsCompanyProductMarkerAndMajorMinorVersion) {
    std::vector<std::string> reports;
    const auto previous =
        SetErrorReporter([&](const std::string& message, int) { reports.push_back(message); });
    EXPECT_EQ(ComputeApplicationIdentity(), "QuorvaneSoftware.Tarnwick.ID3s.1.2");
    SetErrorReporter(previous);
    EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace tkw
