// Whether the window stays responsive while a backup runs: a timer on the GUI thread measures how
// late its ticks come while a worker backs up a folder through the window's host (every log line
// to the Log pane, every item to the tree). The same backup without a window, in the same run,
// gives the cost of showing it.
//   window_responsiveness_bench FOLDER
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "bench/BenchEnvironment.h"
#include "engine/BackupRestoreManager.h"
#include "shell/logger/Logger.h"
#include "shell/profile/ProfileKeys.h"
#include "ui/GuiHost.h"
#include "ui/MainFrame.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_responsiveness_bench FOLDER\n");
        return 64;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path corpus = fs::absolute(argv[1]);
    tkw::bench::BenchEnvironment environment("tarnwick-ui-bench");
    const fs::path& work = environment.folder;
    tkw::WriteProfileInt(tkw::profile::kBackupPromptDontShowAgain, 1);

    // Without a window.
    QElapsedTimer timer;
    {
        tkw::CBackupRestoreManager engine;
        tkw::BackupCounters counters;
        timer.start();
        engine.RunBackup((work / "headless").native(), 0, {corpus}, counters, false);
    }
    const double headless = timer.nsecsElapsed() / 1e9;

    tkw::CMainFrame frame;
    frame.show();
    auto* host = new tkw::CGuiHost(&frame);
    tkw::ConnectLogPane(&frame, host);
    tkw::CBackupRestoreManager engine;
    engine.SetHost(host);
    std::vector<double> gaps;
    QElapsedTimer tick;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        gaps.push_back(tick.nsecsElapsed() / 1e6);
        tick.restart();
    });
    tkw::BackupCounters counters;
    QThread* worker = QThread::create(
        [&] { engine.RunBackup((work / "window").native(), 0, {corpus}, counters, false); });
    QObject::connect(worker, &QThread::finished, &app, &QApplication::quit);
    timer.restart();
    tick.start();
    probe.start(10);
    worker->start();
    app.exec();
    const double windowed = timer.nsecsElapsed() / 1e9;
    probe.stop();
    std::sort(gaps.begin(), gaps.end());
    const auto percentile = [&](double p) {
        return gaps.empty() ? 0.0 : gaps[static_cast<std::size_t>(p * (gaps.size() - 1))];
    };
    std::printf("backup of %u files: without window %.2f s, with window %.2f s, ratio %.2f\n",
                counters.added, headless, windowed, windowed / headless);
    std::printf(
        "GUI timer of 10 ms during the run: median %.1f ms, 99th percentile %.1f ms, worst %.1f "
        "ms\n",
        percentile(0.5), percentile(0.99), gaps.empty() ? 0.0 : gaps.back());
    delete worker;
    engine.UnloadBackupFile();
    engine.SetHost(nullptr);
    return 0;
}
