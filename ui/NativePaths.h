#pragma once

#include <QString>
#include <optional>
#include <string>

namespace tkw {

// The file system's bytes for a path a file dialog gave back. A name whose bytes are not UTF-8
// shows with replacement characters, and encoding that text again names another file or none; so
// each component stands for the one entry of its folder that shows as it does. Nothing when two
// entries show alike, as the user's choice cannot be told. A component that does not exist yet
// (the name of a new file) is encoded as it stands.
std::optional<std::string> NativePathOf(const QString& shown);

// Where the open and save dialogs for backup files start: the folder the backups go to, or the
// home folder while that does not exist yet.
QString BackupFolderShown();

}  // namespace tkw
