#include "dialogs/FolderPicker.h"

#include <QFileDialog>

namespace tkw {

FolderPicker SystemFolderPicker() {
    return [](QWidget* parent, const QString& current) {
        return QFileDialog::getExistingDirectory(parent, QString(), current);
    };
}

}  // namespace tkw
