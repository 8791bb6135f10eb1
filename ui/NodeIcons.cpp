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
    // One lookup per extension: a backup of many files asks for the same few icons again and
    // again, and asking the type database costs far more than a hash lookup.
    static QHash<QString, QIcon> cache;
    static const QIcon fallback = QFileIconProvider().icon(QFileIconProvider::File);
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString extension = dot > 0 ? fileName.mid(dot).toLower() : QString();
    auto found = cache.find(extension);
    if (found == cache.end()) {
        static const QMimeDatabase database;
        const QMimeType type = database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        QIcon icon =
            QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
        found = cache.insert(extension, icon.isNull() ? fallback : icon);
    }
    return *found;
}

}  // namespace tkw
