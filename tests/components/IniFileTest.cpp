#include "components/utils/IniFile.h"

#include <gtest/gtest.h>

#include <string>

namespace tkw {
namespace {

struct IniCase {
    const char* name;
    std::string text;
    std::string value;
};

class IniFileValue : public testing::TestWithParam<IniCase> {};

TEST_P(IniFileValue, IsTheFirstSettingOfTheKey) {
    CIniFile ini;
    ini.SetIniFile(GetParam().text);
    EXPECT_EQ(ini.GetProfileStringW("LatestVersion"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IniFileValue,
    testing::Values(IniCase{"NoSection", "LatestVersion=1.2.0.1", "1.2.0.1"},
                    IniCase{"BlanksAroundKeyAndValue",
                            "[Tarnwick]\r\n  LatestVersion \t=  1.3.0.0 \r\n", "1.3.0.0"},
                    IniCase{"FirstOfSeveralSections",
                            "[A]\nOther=1\n[B]\nLatestVersion=2\n[C]\nLatestVersion=3\n", "2"},
                    IniCase{"CommentsIgnored",
                            "; LatestVersion=9\n  # LatestVersion=8\nLatestVersion=1\n", "1"},
                    IniCase{"KeyCaseIgnored", "latestversion=4.0.0.0\n", "4.0.0.0"},
                    IniCase{"ByteOrderMark", "\xEF\xBB\xBFLatestVersion=5.0.0.0\n", "5.0.0.0"},
                    IniCase{"EqualsInValueKept", "LatestVersion=a=b\n", "a=b"},
                    IniCase{"LongerKeyIsAnother", "LatestVersionDate=2026\n", ""},
                    IniCase{"SectionNamedLikeTheKey", "[LatestVersion=7]\n", ""},
                    IniCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<IniCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tkw
