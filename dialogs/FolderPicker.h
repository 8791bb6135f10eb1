#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tkw {

// Asks for a folder, starting at `current`; an empty result means the user cancelled. Dialogs
// with a browse button take one, so that tests can answer in the user's place.
using FolderPicker = std::function<QString(QWidget* parent, const QString& current)>;

// The system's folder picker.
FolderPicker SystemFolderPicker();

}  // namespace tkw
