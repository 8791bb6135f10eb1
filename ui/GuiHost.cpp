#include "ui/GuiHost.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <memory>

#include "components/utils/StringUtils.h"
#include "dialogs/Prompts.h"
#include "shell/logger/Logger.h"
#include "ui/GuiThread.h"
#include "ui/MainFrame.h"
#include "ui/NativePaths.h"
#include "ui/NodeIcons.h"
#include "ui/OutputList.h"
#include "ui/ProgressDialog.h"
#include "ui/TreeCtrlLoaded.h"

namespace tkw {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The last component of an item name, shown as text (for its icon).
QString FileNameOf(std::string_view itemName) {
    const std::size_t slash = itemName.rfind('/');
    const std::string_view name =
        slash == std::string_view::npos ? itemName : itemName.substr(slash + 1);
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

QMessageBox::Icon BoxIcon(IEngineHost::Icon icon) {
    switch (icon) {
        case IEngineHost::Icon::Information:
            return QMessageBox::Information;
        case IEngineHost::Icon::Warning:
            return QMessageBox::Warning;
        case IEngineHost::Icon::Error:
            return QMessageBox::Critical;
        case IEngineHost::Icon::Question:
            return QMessageBox::Question;
        case IEngineHost::Icon::None:
            return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(IEngineHost::Buttons buttons) {
    switch (buttons) {
        case IEngineHost::Buttons::Ok:
            return QMessageBox::Ok;
        case IEngineHost::Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case IEngineHost::Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case IEngineHost::Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case IEngineHost::Buttons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case IEngineHost::Buttons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

IEngineHost::Answer AnswerOf(int button) {
    switch (button) {
        case QMessageBox::Cancel:
            return IEngineHost::Answer::Cancel;
        case QMessageBox::Yes:
            return IEngineHost::Answer::Yes;
        case QMessageBox::No:
            return IEngineHost::Answer::No;
        case QMessageBox::Abort:
            return IEngineHost::Answer::Abort;
        case QMessageBox::Retry:
            return IEngineHost::Answer::Retry;
        case QMessageBox::Ignore:
            return IEngineHost::Answer::Ignore;
        default:
            return IEngineHost::Answer::Ok;
    }
}

}  // namespace

CGuiHost::CGuiHost(CMainFrame* frame) : QObject(frame), m_frame(frame) {}

void CGuiHost::RunOnGui(const std::function<void()>& work) {
    RunOnGuiThread(this, work);
}

void CGuiHost::OpenProgress(std::string_view title, int flags) {
    m_cancelled = false;
    {
        // Nothing of the previous run's dialog carries over to this one, its caption included.
        std::lock_guard lock(m_pendingMutex);
        m_pendingLine.clear();
        m_pendingTitle.clear();
        m_hasProgress = false;
    }
    RunOnGui([&] {
        delete m_progress;
        m_progress = new CProgressDialog(m_frame, Text(title), flags);
        connect(m_progress, &CProgressDialog::cancelRequested, this,
                [this] { m_cancelled = true; });
        m_frame->SetContentsEnabled(false);
        m_progress->show();
    });
}

void CGuiHost::CloseProgress() {
    RunOnGui([&] {
        delete m_progress;
        m_frame->SetContentsEnabled(true);
    });
}

void CGuiHost::PostProgressUpdate() {
    // One update waits in the queue at most; it shows the latest values when it runs.
    if (std::exchange(m_updatePosted, true)) {
        return;
    }
    PostToGuiThread(this, [this] {
        QString line, title;
        quint64 completed = 0, total = 0;
        bool hasProgress = false;
        {
            std::lock_guard lock(m_pendingMutex);
            m_updatePosted = false;
            line = m_pendingLine;
            title = m_pendingTitle;
            completed = m_pendingCompleted;
            total = m_pendingTotal;
            hasProgress = m_hasProgress;
        }
        if (m_progress) {
            m_progress->SetLine(line);
            if (!title.isEmpty()) {
                m_progress->setWindowTitle(title);
            }
            if (hasProgress) {
                m_progress->SetProgress(completed, total);
            }
        }
    });
}

void CGuiHost::SetProgressLine(std::string_view text) {
    std::lock_guard lock(m_pendingMutex);
    m_pendingLine = Text(text);
    PostProgressUpdate();
}

void CGuiHost::SetProgressTitle(std::string_view title) {
    std::lock_guard lock(m_pendingMutex);
    m_pendingTitle = Text(title);
    PostProgressUpdate();
}

void CGuiHost::SetProgress(std::uint64_t completed, std::uint64_t total) {
    std::lock_guard lock(m_pendingMutex);
    m_pendingCompleted = completed;
    m_pendingTotal = total;
    m_hasProgress = true;
    PostProgressUpdate();
}

bool CGuiHost::ShowBackupPrompt() {
    bool accepted = false;
    RunOnGui([&] {
        COptionsOrProceed prompt(COptionsOrProceed::Kind::Backup, m_frame);
        accepted = prompt.exec() == QDialog::Accepted;
    });
    return accepted;
}

bool CGuiHost::ShowRestorePrompt() {
    bool accepted = false;
    RunOnGui([&] {
        COptionsOrProceed prompt(COptionsOrProceed::Kind::Restore, m_frame);
        accepted = prompt.exec() == QDialog::Accepted;
    });
    return accepted;
}

IEngineHost::FileExistsAnswer CGuiHost::AskFileExists(std::string_view text) {
    FileExistsAnswer answer = FileExistsAnswer::Cancelled;
    RunOnGui([&] {
        CFileAlreadyExists prompt(Text(text), m_frame);
        prompt.exec();
        answer = prompt.Answer();
    });
    return answer;
}

std::optional<std::string> CGuiHost::NativeChoice(const QString& shown) {
    auto native = NativePathOf(shown);
    if (!native) {
        ShowMessage("More than one file or folder shows as " +
                        INTRE_GHILIMELE(shown.toStdString()) +
                        "; rename one of them and choose again!",
                    Icon::Warning, Buttons::Ok);
    }
    return native;
}

std::string CGuiHost::BrowseForFolder(std::string_view title) {
    std::string folder;
    RunOnGui([&] {
        const QString chosen = QFileDialog::getExistingDirectory(nullptr, Text(title));
        if (!chosen.isEmpty()) {
            folder = NativeChoice(chosen).value_or(std::string());
        }
    });
    return folder;
}

IEngineHost::BackupFileAnswer CGuiHost::AskBackupFileExists(std::string_view backupFile,
                                                            int storageType) {
    BackupFileAnswer answer = BackupFileAnswer::Cancelled;
    RunOnGui([&] {
        CBackupFileAlreadyExists prompt(Text(backupFile), storageType, m_frame);
        prompt.exec();
        answer = prompt.Answer();
    });
    return answer;
}

std::optional<std::string> CGuiHost::AskNewBackupLocation(std::string_view name,
                                                          std::string_view extension) {
    std::optional<std::string> chosen;
    RunOnGui([&] {
        const QString pattern = QStringLiteral("*") + Text(extension);
        const QString file = QFileDialog::getSaveFileName(
            nullptr, QString(), QDir(BackupFolderShown()).filePath(Text(name)),
            QStringLiteral("Tarnwick(") + pattern + QStringLiteral(")"));
        if (!file.isEmpty()) {
            chosen = NativeChoice(file);
        }
    });
    return chosen;
}

IEngineHost::Answer CGuiHost::ShowMessage(std::string_view text, Icon icon, Buttons buttons) {
    Answer answer = Answer::Ok;
    RunOnGui([&] {
        QMessageBox box(BoxIcon(icon), QStringLiteral("Tarnwick"), Text(text), BoxButtons(buttons),
                        m_frame);
        answer = AnswerOf(box.exec());
    });
    return answer;
}

void CGuiHost::ShowStatus(std::string_view caption, std::string_view text) {
    RunOnGui([&] {
        CStatusDialog status(Text(caption), Text(text), m_frame);
        status.exec();
    });
}

void CGuiHost::QueueTreeChange(TreeChange change) {
    std::lock_guard lock(m_treeMutex);
    m_treeChanges.push_back(std::move(change));
    if (!std::exchange(m_treeFlushPosted, true)) {
        PostToGuiThread(this, [this] { ApplyTreeChanges(); });
    }
}

void CGuiHost::ApplyTreeChanges() {
    std::vector<TreeChange> changes;
    {
        std::lock_guard lock(m_treeMutex);
        changes.swap(m_treeChanges);
        m_treeFlushPosted = false;
    }
    CTreeCtrlLoaded* tree = m_frame->LoadedTree();
    tree->setUpdatesEnabled(false);
    for (TreeChange& change : changes) {
        switch (change.kind) {
            case TreeChange::Kind::AddIcon:
                tree->AppendImage(IconForFileName(FileNameOf(change.itemName)));
                break;
            case TreeChange::Kind::AddPath:
                m_nodes.resize(std::max<std::size_t>(m_nodes.size(), change.node + 1), nullptr);
                m_nodes[change.node] =
                    tree->AddItemPath(change.itemName, change.number, change.number);
                break;
            case TreeChange::Kind::SetData:
                if (change.node < m_nodes.size() && m_nodes[change.node] != nullptr) {
                    CTreeCtrlLoaded::SetItemData(m_nodes[change.node], change.number);
                }
                break;
        }
    }
    tree->setUpdatesEnabled(true);
}

std::optional<int> CGuiHost::AppendItemIcon(std::string_view itemName) {
    QueueTreeChange({TreeChange::Kind::AddIcon, std::string(itemName)});
    return m_nextImage++;
}

int CGuiHost::LastImagePosition() {
    return m_nextImage - 1;
}

IEngineHost::NodeId CGuiHost::AddItemPath(std::string_view itemName, int image, int) {
    const NodeId node = m_nextNode++;
    QueueTreeChange({TreeChange::Kind::AddPath, std::string(itemName), image, node});
    return node;
}

void CGuiHost::SetItemData(NodeId node, int itemIndex) {
    QueueTreeChange({TreeChange::Kind::SetData, std::string(), itemIndex, node});
}

void CGuiHost::ResetTree() {
    RunOnGui([&] {
        ApplyTreeChanges();  // what was queued before the reset goes first
        m_frame->LoadedTree()->ResetAll();
        m_nodes.assign(1, nullptr);
    });
    m_nextImage = 1;
    m_nextNode = 1;
}

void CGuiHost::RedrawTree() {
    RunOnGui([&] {
        ApplyTreeChanges();
        m_frame->LoadedTree()->viewport()->update();
    });
}

void ConnectLogPane(CMainFrame* frame, CGuiHost* host) {
    // Lines are gathered and put into the pane in batches, in the order logged, with one scroll
    // per batch: a backup logs a line per file, and waiting for the window for each would slow it
    // down many times over. A line logged on the GUI thread goes in at once, after any waiting.
    struct Pending {
        std::mutex mutex;
        QStringList lines;
        bool posted = false;
    };
    auto pending = std::make_shared<Pending>();
    QPointer<CMainFrame> window = frame;
    const auto flush = [window, pending] {
        QStringList lines;
        {
            std::lock_guard lock(pending->mutex);
            lines.swap(pending->lines);
            pending->posted = false;
        }
        if (window && !lines.isEmpty()) {
            window->OutputList()->AppendLines(lines);
        }
    };
    SetLogSink([window, host, pending, flush](const std::string& entry) {
        if (!window) {
            return;
        }
        bool post = false;
        {
            std::lock_guard lock(pending->mutex);
            pending->lines.append(QString::fromStdString(entry));
            post = !std::exchange(pending->posted, true);
        }
        if (QThread::currentThread() == host->thread()) {
            flush();
        } else if (post) {
            PostToGuiThread(host, flush);
        }
    });
}

void CGuiHost::Wait(std::chrono::milliseconds duration) {
    if (QThread::currentThread() != thread()) {
        QThread::msleep(static_cast<unsigned long>(duration.count()));
    }
}

}  // namespace tkw
