// The command-line tool's own edge, in process: whatever a command did not expect ends it with
// exit code 2 and a message, never with the program killed.
#include <gtest/gtest.h>

#include <new>

#include "cli/Commands.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestProfile.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

// The real store, except that reading the backup folder meets no memory.
class StoreWithoutMemory : public IProfileStore {
public:
    explicit StoreWithoutMemory(IProfileStore& real) : m_real(real) {}
    std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view key) override {
        return m_real.ReadInt(section, key);
    }
    std::optional<std::string> ReadString(std::string_view section, std::string_view key) override {
        if (key == profile::kBrowseForFolderPath.name) {
            throw std::bad_alloc();
        }
        return m_real.ReadString(section, key);
    }
    std::optional<std::vector<std::uint8_t>> ReadBinary(std::string_view section,
                                                        std::string_view key) override {
        return m_real.ReadBinary(section, key);
    }
    void WriteInt(std::string_view section, std::string_view key, std::int32_t value) override {
        m_real.WriteInt(section, key, value);
    }
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view text) override {
        m_real.WriteString(section, key, text);
    }
    void WriteBinary(std::string_view section, std::string_view key,
                     std::span<const std::uint8_t> bytes) override {
        m_real.WriteBinary(section, key, bytes);
    }

private:
    IProfileStore& m_real;
};

TEST(CliEdge, ACommandThatMeetsNoMemoryExitsWithTwoAndSaysSo) {
    test::TestProfile profile;
    test::TempDir temp;
    SetLogEnvironment({temp / "logs", nullptr});
    StoreWithoutMemory store(profile.store());
    SetProfileStore(&store);

    testing::internal::CaptureStderr();
    const int code = cli::Run({"backup", (temp / "nothing").native()});
    const std::string error = testing::internal::GetCapturedStderr();

    SetProfileStore(&profile.store());
    SetLogEnvironment({});
    EXPECT_EQ(code, cli::kExitFailed);
    EXPECT_NE(error.find("tarnwick-cli backup failed: std::bad_alloc"), std::string::npos) << error;
}

}  // namespace
}  // namespace tkw
