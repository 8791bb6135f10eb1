#include "ui/DirTreeCtrl.h"

#include <sys/stat.h>

#include <QApplication>
#include <QFile>
#include <algorithm>

#include "components/utils/FolderEntries.h"
#include "ui/NodeIcons.h"

namespace tkw {
namespace {

struct Entry {
    QString path;
    bool isFolder;
    bool hidden;
};

// The entries of a folder; links are never followed, so a link to a folder is listed as a file.
std::vector<Entry> ReadFolder(const QString& path) {
    std::vector<Entry> entries;
    const std::filesystem::path folder = QFile::encodeName(path).toStdString();
    for (const FolderEntry& entry :
         ReadFolderEntries(folder).value_or(std::vector<FolderEntry>{})) {
        entries.push_back(
            {QFile::decodeName(QByteArray::fromStdString((folder / entry.name).native())),
             entry.isFolder, entry.name.front() == '.'});
    }
    return entries;
}

QString LastComponent(const QString& path) {
    return path == QStringLiteral("/") ? path : path.section(u'/', -1);
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
    QTreeWidgetItem* root = InsertPathNode(nullptr, QStringLiteral("/"));
    if (root != nullptr && HasListableEntry(QStringLiteral("/"))) {
        AddPlaceholder(root);
    }
    return true;
}

QTreeWidgetItem* CDirTreeCtrl::InsertPathNode(QTreeWidgetItem* parent, const QString& path) {
    struct stat status {};
    const bool isFolder =
        ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
    return InsertNode(parent, path, isFolder);
}

QTreeWidgetItem* CDirTreeCtrl::InsertNode(QTreeWidgetItem* parent, const QString& path,
                                          bool isFolder) {
    auto* node = new QTreeWidgetItem();
    node->setText(0, LastComponent(path));
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

QString CDirTreeCtrl::NodeFullPath(const QTreeWidgetItem* node) const {
    QStringList parts;
    for (; node != nullptr; node = node->parent()) {
        parts.prepend(node->text(0));
    }
    QString path = parts.join(u'/');
    // The top node is "/" itself: "/" + "/" + "home" becomes "/home".
    path.replace(QStringLiteral("//"), QStringLiteral("/"));
    while (path.size() > 1 && path.endsWith(u'/')) {
        path.chop(1);
    }
    return path;
}

bool CDirTreeCtrl::HasListableEntry(const QString& path) {
    for (const Entry& entry : ReadFolder(path)) {
        if (entry.isFolder || !entry.hidden) {
            return true;
        }
    }
    return false;
}

void CDirTreeCtrl::SortAscendingNoCase(QStringList& paths) {
    std::stable_sort(paths.begin(), paths.end(),
                     [](const QString& a, const QString& b) { return CompareNoCase(a, b) < 0; });
}

void CDirTreeCtrl::ListFolder(QTreeWidgetItem* node, const QString& path) {
    QStringList folders, files;
    for (const Entry& entry : ReadFolder(path)) {
        (entry.isFolder ? folders : files).append(entry.path);
    }
    SortAscendingNoCase(folders);
    setUpdatesEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const QString& folder : folders) {
        QTreeWidgetItem* child = InsertNode(node, folder, true);
        if (child != nullptr && HasListableEntry(folder)) {
            AddPlaceholder(child);
        }
    }
    if (m_showFiles) {
        SortAscendingNoCase(files);
        for (const QString& file : files) {
            InsertNode(node, file, false);
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
