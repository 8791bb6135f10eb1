// A small front end over the archive component for the benchmarks: add a tree, extract, list.
//   archive_tool add ARCHIVE DIR...      every regular file and link below the folders
//   archive_tool extract ARCHIVE FOLDER  every item below FOLDER
//   archive_tool list ARCHIVE            index, size and name of each item
//   archive_tool many ARCHIVE N          N items made from one tiny file
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "components/archive/ZipEx.h"

namespace fs = std::filesystem;

namespace {

int Add(const fs::path& archive, int argc, char** argv) {
    tkw::CZipEx zip;
    if (zip.CreateZip(archive) == 0) {
        std::fprintf(stderr, "%s\n", zip.GetLastError().c_str());
        return 1;
    }
    int failures = 0;
    for (int i = 3; i < argc; ++i) {
        for (const auto& entry : fs::recursive_directory_iterator(fs::absolute(argv[i]))) {
            if ((entry.is_regular_file() && !entry.is_symlink()) || entry.is_symlink()) {
                if (zip.AddFile(entry.path(), entry.path().native()) == 0) {
                    std::fprintf(stderr, "%s\n", zip.GetLastError().c_str());
                    ++failures;
                }
            }
        }
    }
    return zip.Close() != 0 && failures == 0 ? 0 : 1;
}

int Extract(const fs::path& archive, const fs::path& folder) {
    tkw::CZipEx zip;
    if (zip.Open(archive) == 0) {
        std::fprintf(stderr, "%s\n", zip.GetLastError().c_str());
        return 1;
    }
    int failures = 0;
    for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
        if (zip.GetItemFileUnder(i, folder) == 0) {
            std::fprintf(stderr, "%s\n", zip.GetLastError().c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

int List(const fs::path& archive) {
    tkw::CZipEx zip;
    if (zip.Open(archive) == 0) {
        std::fprintf(stderr, "%s\n", zip.GetLastError().c_str());
        return 1;
    }
    for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
        std::printf("%d\t%llu\t%s\n", i, static_cast<unsigned long long>(zip.GetItemFileSize(i)),
                    zip.GetItemFileName(i).c_str());
    }
    return 0;
}

int Many(const fs::path& archive, int count) {
    const fs::path tiny = archive.parent_path() / "tiny-source";
    std::ofstream(tiny) << "tiny";
    tkw::CZipEx zip;
    if (zip.CreateZip(archive) == 0) {
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        const std::string name = "/home/user/projects/tree" + std::to_string(i % 313) + "/file" +
                                 std::to_string(i) + ".txt";
        if (zip.AddFile(tiny, name) == 0) {
            return 1;
        }
    }
    return zip.Close() != 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 2 ? argv[1] : "";
    if (command == "add" && argc > 3) {
        return Add(argv[2], argc, argv);
    }
    if (command == "extract" && argc == 4) {
        return Extract(argv[2], argv[3]);
    }
    if (command == "list" && argc == 3) {
        return List(argv[2]);
    }
    if (command == "many" && argc == 4) {
        return Many(argv[2], std::stoi(argv[3]));
    }
    std::fprintf(stderr, "usage: archive_tool add|extract|list|many ...\n");
    return 64;
}
