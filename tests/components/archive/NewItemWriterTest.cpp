// Writing items ahead of their turn, on threads of their own: only under a name no entry has.
#include <gtest/gtest.h>

#include <thread>

#include "components/archive/ZipEx.h"
#include "tests/components/archive/ArchiveTestSupport.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;
using Outcome = CZipEx::NewItemWriter::Outcome;

TEST(NewItemWriter, WritesNewNamesOnlyAndLeavesATakenOneAsItIs) {
    test::TempDir temp;
    const fs::path archivePath = temp / "a.tkw";
    {
        CZipEx zip;
        ASSERT_EQ(zip.CreateZip(archivePath), 1);
        for (const std::string name : {"one", "two", "three"}) {
            WriteFileBytes(temp / name, "contents of " + name);
            ASSERT_EQ(zip.AddFile(temp / name, "/data/" + name), 1);
        }
    }
    CZipEx zip;
    ASSERT_EQ(zip.Open(archivePath), 1);
    const fs::path out = temp / "out";
    fs::create_directories(out / "data");
    WriteFileBytes(out / "data" / "two", "mine");
    fs::create_directory(out / "data" / "three");

    auto writers = zip.NewItemWriters(2);
    ASSERT_EQ(writers.size(), 2u);
    Outcome outcomes[3] = {};
    // Two threads, as a restore runs them.
    std::thread other([&] { outcomes[1] = writers[1]->Write(1, out, true); });
    outcomes[0] = writers[0]->Write(0, out, true);
    outcomes[2] = writers[0]->Write(2, out / "data" / "three", false);
    other.join();

    EXPECT_EQ(outcomes[0], Outcome::kWritten);
    EXPECT_EQ(ReadFileBytes(out / "data" / "one"), "contents of one");
    EXPECT_EQ(outcomes[1], Outcome::kNameTaken);
    EXPECT_EQ(ReadFileBytes(out / "data" / "two"), "mine");
    EXPECT_EQ(outcomes[2], Outcome::kNameTaken);
    EXPECT_TRUE(fs::is_directory(out / "data" / "three"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out / "data"), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace tkw
