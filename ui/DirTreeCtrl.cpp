#include "ui/DirTreeCtrl.h"

#include <sys/stat.h>

#include <QApplication>
#include <algorithm>

#include "components/utils/FolderEntries.h"
#include "engine/TreeOrder.h"
#include "ui/NodeIcons.h"

namespace tkw {
namespace {

// The entries of a folder; links are never followed, so a link to a folder is listed as a file.
std::vector<FolderEntry> ReadFolder(const QByteArray& path) {
    return ReadFolderEntries(std::filesystem::path(path.toStdString()))
        .value_or(std::vector<FolderEntry>{});
}

QByteArray LastComponent(const QByteArray& path) {
    return path == "/" ? path : path.mid(path.lastIndexOf('/') + 1);
}

QByteArray ChildPath(const QByteArray& folder, const std::string& name) {
    return (folder.endsWith('/') ? folder : folder + '/') + QByteArray::fromStdString(name);
}

}  // namespace

CDirTreeCtrl::CDirTreeCtrl(QWidget* parent) : CTreeCtrlBase(parent) {
    connect(this, &QTreeWidget::itemExpanded, this, &CDirTreeCtrl::OnExpanded);
}

bool CDirTreeCtrl::ReloadDrives() {
    m_listedNodes.clear();
    clear();
    m_showFiles = true;
    // One root on this system.
    QTreeWidgetItem* root = InsertPathNode(nullptr, "/");
    if (root != nullptr && HasListableEntry("/")) {
        AddPlaceholder(root);
    }
    return true;
}

QTreeWidgetItem* CDirTreeCtrl::InsertPathNode(QTreeWidgetItem* parent, const QByteArray& path) {
    struct stat status {};
    const bool isFolder = ::lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
    return InsertNode(parent, LastComponent(path), isFolder);
}

QTreeWidgetItem* CDirTreeCtrl::InsertNode(QTreeWidgetItem* parent, const QByteArray& name,
                                          bool isFolder) {
    auto* node = new QTreeWidgetItem();
    SetNativeName(node, name);
    node->setIcon(0, isFolder ? FolderIcon() : IconForFileName(node->text(0)));
    MakeCheckable(node);
    if (parent == nullptr) {
        addTopLevelItem(node);
    } else {
        parent->addChild(node);
    }
    return node;
}

void CDirTreeCtrl::AddPlaceholder(QTreeWidgetItem* node) {
    auto* placeholder = new QTreeWidgetItem();
    MakeCheckable(placeholder);
    node->addChild(placeholder);
}

QByteArray CDirTreeCtrl::NodeFullPath(const QTreeWidgetItem* node) const {
    std::vector<QByteArray> names;
    for (; node != nullptr; node = node->parent()) {
        names.push_back(NativeName(node));
    }
    QByteArray path;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (name->isEmpty()) {
            continue;  // a placeholder
        }
        // The top node is "/" itself: "/" and "home" make "/home".
        path = path.isEmpty() ? *name : ChildPath(path, name->toStdString());
    }
    return path;
}

bool CDirTreeCtrl::HasListableEntry(const QByteArray& path) {
    for (const FolderEntry& entry : ReadFolder(path)) {
        if (entry.isFolder || entry.name.front() != '.') {
            return true;
        }
    }
    return false;
}

void CDirTreeCtrl::SortAscendingNoCase(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareNodeLabels(a, b) < 0;
    });
}

void CDirTreeCtrl::ListFolder(QTreeWidgetItem* node, const QByteArray& path) {
    std::vector<std::string> folders, files;
    for (FolderEntry& entry : ReadFolder(path)) {
        (entry.isFolder ? folders : files).push_back(std::move(entry.name));
    }
    SortAscendingNoCase(folders);
    setUpdatesEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const std::string& folder : folders) {
        QTreeWidgetItem* child = InsertNode(node, QByteArray::fromStdString(folder), true);
        if (child != nullptr && HasListableEntry(ChildPath(path, folder))) {
            AddPlaceholder(child);
        }
    }
    if (m_showFiles) {
        SortAscendingNoCase(files);
        for (const std::string& file : files) {
            InsertNode(node, QByteArray::fromStdString(file), false);
        }
    }
    QApplication::restoreOverrideCursor();
    setUpdatesEnabled(true);
}

void CDirTreeCtrl::OnExpanded(QTreeWidgetItem* node) {
    if (m_listedNodes.contains(node)) {
        return;  // listed once; a refresh is the way to see changes on disk
    }
    m_listedNodes.insert(node);
    qDeleteAll(node->takeChildren());
    ListFolder(node, NodeFullPath(node));
    if (IsChecked(node)) {
        ApplyToSubtree(node, Action::Check);
    }
}

}  // namespace tkw
