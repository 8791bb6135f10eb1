#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <string_view>

namespace tkw {

// Values of the window's layout, kept as binary values in the `Workspace` settings group: the
// window's own state and geometry as Qt writes them, and the customisations as JSON lists. An
// absent or unreadable value reads as empty.
QByteArray ReadWorkspaceValue(std::string_view key);
void WriteWorkspaceValue(std::string_view key, const QByteArray& value);
QJsonArray ReadWorkspaceList(std::string_view key);
void WriteWorkspaceList(std::string_view key, const QJsonArray& list);

}  // namespace tkw
