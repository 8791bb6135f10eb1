#include "ui/NodeIcons.h"

#include <QFileIconProvider>
#include <QHash>
#include <QMimeDatabase>

namespace tkw {

QIcon FolderIcon() {
    static const QIcon icon = QFileIconProvider().icon(QFileIconProvider::Folder);
    return icon;
}

QIcon IconForFileName(const QString& fileName) {
    // One lookup per type: a backup of many files asks for the same few icons again and again.
    static QHash<QString, QIcon> cache;
    static const QIcon fallback = QFileIconProvider().icon(QFileIconProvider::File);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QString name = type.iconName();
    auto found = cache.find(name);
    if (found == cache.end()) {
        QIcon icon = QIcon::fromTheme(name, QIcon::fromTheme(type.genericIconName(), fallback));
        found = cache.insert(name, icon.isNull() ? fallback : icon);
    }
    return *found;
}

}  // namespace tkw
