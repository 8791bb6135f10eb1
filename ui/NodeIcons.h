#pragma once

#include <QIcon>
#include <QString>

namespace tkw {

// Icons of the desktop's theme by file type, looked up by name (the file need not exist).
QIcon FolderIcon();
QIcon IconForFileName(const QString& fileName);

}  // namespace tkw
