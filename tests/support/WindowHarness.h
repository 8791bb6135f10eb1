#pragma once

#include <QTreeWidgetItem>
#include <atomic>
#include <filesystem>
#include <memory>

#include "engine/BackupRestoreManager.h"
#include "shell/logger/Logger.h"
#include "ui/Commands.h"
#include "ui/DirTreeCtrlEx.h"
#include "ui/GuiHost.h"
#include "ui/MainFrame.h"

namespace tkw::test {

// The child of a tree node with the given text; nullptr when there is none.
inline QTreeWidgetItem* ChildNamed(QTreeWidgetItem* node, const QString& text) {
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == text) {
            return node->child(i);
        }
    }
    return nullptr;
}

// Expands the local folders tree from "/" down to `folder` and returns the folder's node, itself
// not expanded.
inline QTreeWidgetItem* OpenLocalFolder(CDirTreeCtrl& tree, const std::filesystem::path& folder) {
    QTreeWidgetItem* node = tree.topLevelItem(0);
    for (const auto& part : folder.relative_path()) {
        node->setExpanded(true);
        node = ChildNamed(node, QString::fromStdString(part.native()));
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node;
}

// The window as the application puts it together: engine, frame, host, commands, Log pane.
struct WindowHarness {
    WindowHarness() : frame(std::make_unique<CMainFrame>()), host(new CGuiHost(frame.get())) {
        engine.SetHost(host);
        commands = new CCommands(engine, *frame, *host, backupBusy, restoreBusy);
        ConnectLogPane(frame.get(), host);
    }
    ~WindowHarness() {
        SetLogSink({});
        engine.SetHost(nullptr);
    }

    CBackupRestoreManager engine;
    std::unique_ptr<CMainFrame> frame;
    CGuiHost* host;       // owned by the frame
    CCommands* commands;  // owned by the frame
    std::atomic<bool> backupBusy{false};
    std::atomic<bool> restoreBusy{false};
};

}  // namespace tkw::test
