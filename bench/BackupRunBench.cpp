// The backup run over a folder of many small files, with the log file on and off, against
// `tar -cf - | zstd -3 -T0` in the same run: time ratios and the cost per file.
//   backup_run_bench FOLDER
#include <unistd.h>
#include <QSettings>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/BenchEnvironment.h"
#include "engine/BackupRestoreManager.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"

namespace fs = std::filesystem;

namespace {

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: backup_run_bench FOLDER\n");
        return 64;
    }
    const fs::path corpus = fs::absolute(argv[1]);
    tkw::bench::BenchEnvironment environment("tarnwick-run-bench");
    const fs::path& work = environment.folder;
    tkw::WriteProfileInt(tkw::profile::kBackupPromptDontShowAgain, 1);

    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    // Warm the page cache so that every contender reads from memory.
    std::system(("find '" + corpus.native() + "' -type f -exec cat {} + > /dev/null").c_str());

    const auto backup = [&](int logFile) {
        tkw::WriteProfileInt(tkw::profile::kCreateLogFile, logFile);
        tkw::CBackupRestoreManager engine;
        tkw::BackupCounters counters;
        const double seconds = Seconds(
            [&] { engine.RunBackup((work / "Backup").native(), 0, {corpus}, counters, false); });
        engine.UnloadBackupFile();
        fs::remove(work / "Backup.tkw");
        if (counters.added == 0) {
            std::fprintf(stderr, "nothing was added\n");
            std::exit(1);
        }
        return seconds;
    };
    const double tar = Seconds([&] {
        std::system(("tar -cf - -C '" + corpus.parent_path().native() + "' '" +
                     corpus.filename().native() + "' | zstd -3 -T0 -q -f -o '" +
                     (work / "peer.tar.zst").native() + "'")
                        .c_str());
    });
    const double withLog = backup(1);
    const double withoutLog = backup(0);

    std::printf("files: %zu\n", files);
    std::printf("tar | zstd -3 -T0       %7.2f s\n", tar);
    std::printf("RunBackup, log file on  %7.2f s   ratio %.2f   %.1f us per file\n", withLog,
                withLog / tar, withLog / files * 1e6);
    std::printf("RunBackup, log file off %7.2f s   ratio %.2f   %.1f us per file\n", withoutLog,
                withoutLog / tar, withoutLog / files * 1e6);
    std::printf("logging costs %.1f us per file\n", (withLog - withoutLog) / files * 1e6);
    return 0;
}
