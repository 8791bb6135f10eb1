// What one log line costs. A backup of many small files writes one line per file, so this is paid
// once per file: the settings read, the conversion, and open, lock, write, close of the day's file.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <QSettings>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/BenchEnvironment.h"
#include "bench/RatioReporter.h"
#include "shell/logger/Logger.h"

namespace {

namespace fs = std::filesystem;

const std::string kLine =
    "2026-12-10 03:22:41 Succeeded--Add file \"/usr/share/doc/libqt6core6/changelog.Debian.gz\" "
    "to backup file\r\n";

using BenchFolder = tkw::bench::BenchEnvironment;

void TarnwickLogLine(benchmark::State& state) {
    BenchFolder environment("tarnwick-log-bench");
    const tkw::CLogger logger;
    for (auto _ : state) {
        logger.Write(kLine);
    }
}

// The floor: the same bytes to a file that stays open.
void PeerWriteToOpenFile(benchmark::State& state) {
    BenchFolder folder("tarnwick-log-bench");
    const int fd = ::open((folder.folder / "log.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(fd, kLine.data(), kLine.size()));
    }
    ::close(fd);
}

// The system calls alone of a per-line open, write and close.
void PeerOpenWriteClose(benchmark::State& state) {
    BenchFolder folder("tarnwick-log-bench");
    const fs::path file = folder.folder / "log.txt";
    for (auto _ : state) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        benchmark::DoNotOptimize(::write(fd, kLine.data(), kLine.size()));
        ::close(fd);
    }
}

// What a sync to the disk per line would add.
void PeerOpenWriteSyncClose(benchmark::State& state) {
    BenchFolder folder("tarnwick-log-bench");
    const fs::path file = folder.folder / "log.txt";
    for (auto _ : state) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        benchmark::DoNotOptimize(::write(fd, kLine.data(), kLine.size()));
        ::fdatasync(fd);
        ::close(fd);
    }
}

BENCHMARK(TarnwickLogLine);
BENCHMARK(PeerWriteToOpenFile);
BENCHMARK(PeerOpenWriteClose);
BENCHMARK(PeerOpenWriteSyncClose)->Iterations(2000);

}  // namespace

int main(int argc, char** argv) {
    return tkw::bench::RunWithRatios(
        argc, argv,
        {{"TarnwickLogLine", "PeerOpenWriteClose"},
         {"TarnwickLogLine", "PeerWriteToOpenFile"},
         {"PeerOpenWriteSyncClose/iterations:2000", "TarnwickLogLine"}});
}
