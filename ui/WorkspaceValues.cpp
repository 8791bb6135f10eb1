#include "ui/WorkspaceValues.h"

#include <QJsonDocument>

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"

namespace tkw {

QByteArray ReadWorkspaceValue(std::string_view key) {
    const auto bytes = GetProfileBinary(profile::kSectionWorkspace, key);
    if (!bytes) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes->data()),
                      static_cast<qsizetype>(bytes->size()));
}

void WriteWorkspaceValue(std::string_view key, const QByteArray& value) {
    WriteProfileBinary(profile::kSectionWorkspace, key,
                       {reinterpret_cast<const std::uint8_t*>(value.constData()),
                        static_cast<std::size_t>(value.size())});
}

QJsonArray ReadWorkspaceList(std::string_view key) {
    return QJsonDocument::fromJson(ReadWorkspaceValue(key)).array();
}

void WriteWorkspaceList(std::string_view key, const QJsonArray& list) {
    WriteWorkspaceValue(key, QJsonDocument(list).toJson(QJsonDocument::Compact));
}

}  // namespace tkw
