// libFuzzer target: any bytes opened as a backup file. Opening, listing, looking up, verifying and
// extracting must fail cleanly or succeed; never crash, hang or allocate without bound.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

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

void EmptyScratchFolder() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(ScratchFolder(), error)) {
        fs::remove_all(entry.path(), error);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("tkw-fuzz", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) {
        return 0;
    }
    {
        tkw::CZipEx zip;
        if (zip.Open("/proc/self/fd/" + std::to_string(fd)) != 0) {
            for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
                const std::string name = zip.GetItemFileName(i);
                if (zip.FindZipItem(name) > i || zip.GetItemInfo(i) == nullptr) {
                    __builtin_trap();  // the lookup must find this item or an earlier namesake
                }
                (void)zip.GetItemFileSize(i);
            }
            (void)zip.Verify();
            for (int i = 0; i < zip.GetNrOfFiles() && i < 3; ++i) {
                zip.GetItemFile(i, ScratchFolder() / "out");
                zip.GetItemFileUnder(i, ScratchFolder() / "under");
            }
            EmptyScratchFolder();
        }
        // Closing may write a rebuilt index into the memory file: the writer gets fuzzed too.
    }
    ::close(fd);
    return 0;
}
