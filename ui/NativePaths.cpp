#include "ui/NativePaths.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <filesystem>

#include "components/utils/FolderEntries.h"
#include "engine/BackupTarget.h"

namespace tkw {
namespace {

// The names in `folder` that show as `shown`. The folder is always read: besides bytes that are
// not UTF-8, a leading byte order mark is dropped from what a name shows.
std::vector<std::string> EntriesShownAs(const std::string& folder, const QString& shown) {
    const QByteArray encoded = QFile::encodeName(shown);
    std::vector<std::string> matches;
    for (const FolderEntry& entry :
         ReadFolderEntries(folder).value_or(std::vector<FolderEntry>{})) {
        if (QFile::decodeName(QByteArray::fromStdString(entry.name)) == shown) {
            matches.push_back(entry.name);
        }
    }
    if (matches.empty()) {
        matches.push_back(encoded.toStdString());  // a new name
    }
    return matches;
}

}  // namespace

std::optional<std::string> NativePathOf(const QString& shown) {
    std::string path = shown.startsWith(u'/') ? "/" : "";
    for (const QString& component : shown.split(u'/', Qt::SkipEmptyParts)) {
        const std::vector<std::string> names = EntriesShownAs(path.empty() ? "." : path, component);
        if (names.size() != 1) {
            return std::nullopt;
        }
        if (!path.empty() && path.back() != '/') {
            path += '/';
        }
        path += names.front();
    }
    return path;
}

QString BackupFolderShown() {
    const std::filesystem::path folder =
        std::filesystem::path(StoredBackupTarget().backupFile).parent_path();
    std::error_code error;
    if (!folder.empty() && std::filesystem::is_directory(folder, error)) {
        return QFile::decodeName(QByteArray::fromStdString(folder.native()));
    }
    return QDir::homePath();
}

}  // namespace tkw
