// Writes a few valid archives as the fuzzer's starting corpus: closed with an index, cut short
// without one, and with a symbolic link and an empty file.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "components/archive/ZipEx.h"

namespace fs = std::filesystem;

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
    return 0;
}
