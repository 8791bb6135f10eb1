#include "components/utils/UserFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace tkw {
namespace {

// Runs with HOME and XDG_CONFIG_HOME pointing into a temporary folder.
class UserFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("HOME", (m_temp / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_temp / "config").c_str(), 1);
        std::filesystem::create_directories(m_temp / "config");
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        }
    }
    void UserDirs(const std::string& text) {
        test::WriteFileBytes(m_temp / "config" / "user-dirs.dirs", text);
    }

    test::TempDir m_temp;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(UserFoldersTest, TheDocumentsFolderComesFromUserDirsOrDefaultsToHomeDocuments) {
    const auto home = m_temp / "home";
    const struct {
        const char* what;
        std::string userDirs;
        std::filesystem::path expected;
    } cases[] = {
        {"no file", "", home / "Documents"},
        {"relative to home",
         "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
         home / "Dokumente"},
        {"absolute", "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n", "/srv/docs"},
        {"relative values are not allowed", "XDG_DOCUMENTS_DIR=\"docs\"\n", home / "Documents"},
        {"unquoted lines are not read", "XDG_DOCUMENTS_DIR=$HOME/Other\n", home / "Documents"},
    };
    for (const auto& c : cases) {
        UserDirs(c.userDirs);
        EXPECT_EQ(GetMyDocumentsDirectory(), c.expected) << c.what;
    }
}

TEST_F(UserFoldersTest, TheStateFolderIsXdgStateHomeWhenAbsoluteOrHomeLocalState) {
    const auto home = m_temp / "home";
    const struct {
        const char* value;  // nullptr: unset
        std::filesystem::path expected;
    } cases[] = {
        {nullptr, home / ".local/state"},
        {"", home / ".local/state"},
        {"relative/state", home / ".local/state"},
        {"/srv/state", "/srv/state"},
    };
    for (const auto& c : cases) {
        c.value ? ::setenv("XDG_STATE_HOME", c.value, 1) : ::unsetenv("XDG_STATE_HOME");
        EXPECT_EQ(GetStateDirectory(), c.expected) << (c.value ? c.value : "unset");
    }
}

}  // namespace
}  // namespace tkw
