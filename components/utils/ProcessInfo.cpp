#include "components/utils/ProcessInfo.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace tkw {

std::vector<std::string> GetParametersOfCurrentProcess() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // Each argument is followed by a NUL byte.
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = all.find('\0', start);
        if (end == std::string::npos) {
            arguments.push_back(all.substr(start));
            break;
        }
        arguments.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

std::filesystem::path GetProgramPath() {
    // Asked for every log line (the log folder lies beside the program); the answer cannot change
    // while the process runs.
    static const std::filesystem::path path = [] {
        std::error_code error;
        auto link = std::filesystem::read_symlink("/proc/self/exe", error);
        return error ? std::filesystem::path() : link;
    }();
    return path;
}

std::filesystem::path GetProgramDirectory() {
    return GetProgramPath().parent_path();
}

}  // namespace tkw
