// libFuzzer target: any bytes opened as a backup file. Opening, listing, looking up, verifying and
// extracting must fail cleanly or succeed; never crash, hang, allocate without bound or change the
// file. Adding an item afterwards must keep every item that was found.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "components/archive/ZipEx.h"

namespace {

namespace fs = std::filesystem;

const fs::path& ScratchFolder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "tkw-fuzz-XXXXXX").native();
        return fs::path(::mkdtemp(pattern.data()));
    }();
    return folder;
}

const fs::path& SmallSource() {
    static const fs::path source = [] {
        const fs::path path = ScratchFolder() / "source";
        std::ofstream(path) << "an item added after the fuzzed ones\n";
        return path;
    }();
    return source;
}

void EmptyScratchFolder() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(ScratchFolder(), error)) {
        if (entry.path() != SmallSource()) {
            fs::remove_all(entry.path(), error);
        }
    }
}

std::string Contents(int fd) {
    std::string bytes(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    if (::pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        __builtin_trap();
    }
    return bytes;
}

// Reads everything there is to read; the names of the items, or nothing when it does not open.
std::optional<std::vector<std::string>> ReadAll(const std::string& path) {
    tkw::CZipEx zip;
    if (zip.Open(path) == 0) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
        names.push_back(zip.GetItemFileName(i));
        const int found = zip.FindZipItem(names.back());
        if (found < i || zip.GetItemFileName(found) != names.back() ||
            zip.GetItemInfo(i) == nullptr) {
            __builtin_trap();  // the lookup must find this item or a newer namesake
        }
        (void)zip.GetItemFileSize(i);
    }
    (void)zip.Verify();
    for (int i = 0; i < zip.GetNrOfFiles() && i < 3; ++i) {
        zip.GetItemFile(i, ScratchFolder() / "out");
        zip.GetItemFileUnder(i, ScratchFolder() / "under");
    }
    EmptyScratchFolder();
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("tkw-fuzz", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const auto names = ReadAll(path);
    if (Contents(fd) != std::string_view(reinterpret_cast<const char*>(data), size)) {
        __builtin_trap();  // reading changed the file
    }
    if (names) {
        {
            tkw::CZipEx zip;
            if (zip.Open(path) == 0 || zip.AddFile(SmallSource(), "/fuzz/added") == 0) {
                __builtin_trap();
            }
        }
        auto expected = *names;
        expected.push_back("/fuzz/added");
        if (ReadAll(path) != expected) {
            __builtin_trap();  // an item found before the append was lost, or the new one missing
        }
    }
    ::close(fd);
    return 0;
}
