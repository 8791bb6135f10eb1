// Loading a backup of 100,000 items into the window's tree through the engine host, from a worker
// thread as the Open command does, against the archive alone listing the same items in the same
// run: the cost the window adds per item.
//   load_tree_bench [ITEMS]
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench/BenchEnvironment.h"
#include "engine/BackupRestoreManager.h"
#include "shell/logger/Logger.h"
#include "ui/GuiHost.h"
#include "ui/MainFrame.h"
#include "ui/TreeCtrlLoaded.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int items = argc > 1 ? std::atoi(argv[1]) : 100000;
    tkw::bench::BenchEnvironment environment("tarnwick-load-bench");
    const fs::path& work = environment.folder;

    const fs::path archive = work / "many.tkw";
    {
        std::ofstream(work / "tiny") << "tiny";
        tkw::CZipEx zip;
        zip.CreateZip(archive);
        for (int i = 0; i < items; ++i) {
            zip.AddFile(work / "tiny", "/home/user/projects/tree" + std::to_string(i % 313) +
                                           "/dir" + std::to_string(i % 17) + "/file" +
                                           std::to_string(i) + ".txt");
        }
    }
    QElapsedTimer timer;
    timer.start();
    {
        tkw::CZipEx zip;
        zip.Open(archive);
        std::size_t total = 0;
        for (int i = 0; i < zip.GetNrOfFiles(); ++i) {
            total += zip.GetItemFileName(i).size();
        }
        std::printf("archive alone: open and list %d items: %.2f s (%zu name bytes)\n", items,
                    timer.nsecsElapsed() / 1e9, total);
    }

    tkw::CMainFrame frame;
    auto* host = new tkw::CGuiHost(&frame);
    tkw::CBackupRestoreManager engine;
    engine.SetHost(host);
    timer.restart();
    QThread* worker = QThread::create([&] { engine.LoadBackupFile(archive); });
    QObject::connect(worker, &QThread::finished, &app, &QApplication::quit);
    worker->start();
    app.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf(
        "window: load %d items into the tree: %.2f s, %.1f us per item, %d top-level nodes\n",
        items, seconds, seconds / items * 1e6, frame.LoadedTree()->topLevelItemCount());
    delete worker;
    engine.UnloadBackupFile();
    engine.SetHost(nullptr);
    return 0;
}
