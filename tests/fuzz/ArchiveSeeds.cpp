// Writes the fuzzer's starting corpus: valid archives (closed with an index, cut short without
// one, with a symbolic link and an empty file), damaged ones, the first bytes of one, and crafted
// layouts that once made the recovery scan take quadratic time.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "components/archive/ZipEx.h"
#include "tests/components/archive/CraftedArchive.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// A crafted layout followed by one intact item, which the scan must still find.
std::string WithItemAfter(const std::string& layout) {
    tkw::test::CraftedArchive file;
    file.Bytes() = layout;
    file.AppendEmptyItem("/after/the/layout");
    return file.Bytes();
}

void WriteDamagedCopies(const fs::path& corpus, const std::string& closed) {
    std::string damagedIndex = closed;
    damagedIndex[damagedIndex.size() - 1] ^= 0x01;
    WriteAll(corpus / "damaged-index.tkw", damagedIndex);
    WriteAll(corpus / "cut-in-an-item.tkw", closed.substr(0, closed.size() / 2));
    WriteAll(corpus / "header-prefix.tkw", closed.substr(0, 17));
    WriteAll(corpus / "empty.tkw", "");
}

void WriteCraftedLayouts(const fs::path& corpus) {
    WriteAll(corpus / "nested-chunks.tkw",
             WithItemAfter(tkw::test::NestedSwallowingChunks(64 << 10)));
    WriteAll(corpus / "header-flood.tkw", WithItemAfter(tkw::test::HeaderFlood(160 << 10)));
    WriteAll(corpus / "wrong-checks.tkw",
             WithItemAfter(tkw::test::WrongChecksInLongNames(160 << 10)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 64;
    }
    const fs::path corpus = argv[1];
    fs::create_directories(corpus);
    const fs::path sources = corpus / ".sources";
    fs::create_directories(sources);
    std::ofstream(sources / "text") << std::string(3000, 'a') << "some text\n";
    std::ofstream(sources / "empty");
    std::ofstream(sources / "small") << "x";
    fs::remove(sources / "link");
    fs::create_symlink("text", sources / "link");

    const auto make = [&](const std::string& name, bool close) {
        tkw::CZipEx zip;
        zip.CreateZip(corpus / name);
        zip.AddFile(sources / "text", "/home/a/text.txt");
        zip.AddFile(sources / "empty", "/home/a/empty");
        zip.AddFile(sources / "link", "/home/a/link");
        zip.AddFile(sources / "small", "/home/a/small");
        if (!close) {
            ::_exit(0);  // leaves the archive without its index, as a crash would
        }
    };
    make("closed.tkw", true);
    if (::fork() == 0) {
        make("unclosed.tkw", false);
    }
    ::wait(nullptr);
    fs::remove_all(sources);
    WriteDamagedCopies(corpus, ReadAll(corpus / "closed.tkw"));
    WriteCraftedLayouts(corpus);
    return 0;
}
