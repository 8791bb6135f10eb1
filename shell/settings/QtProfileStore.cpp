#include "shell/settings/QtProfileStore.h"

#include <QByteArray>
#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <limits>
#include <memory>
#include <mutex>

namespace tkw {
namespace {

std::atomic<std::uint64_t> g_nextStoreId{1};

// One QSettings per thread and store: a QSettings object may only be used by one thread, and
// creating one per read costs eighty times as much as reusing it.
struct ThreadSettings {
    std::uint64_t storeId = 0;
    std::unique_ptr<QSettings> settings;
};
thread_local ThreadSettings t_settings;

// Threads make their QSettings one at a time: making one reads the time zone (tzset), whose own
// lock the thread sanitizer cannot see, and the backup's workers make theirs all at once.
std::mutex g_creation;

QString KeyPath(std::string_view section, std::string_view key) {
    return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + u'/' +
           QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

std::optional<std::int32_t> ToInt32(qlonglong value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

CQtProfileStore::CQtProfileStore() : m_id(g_nextStoreId.fetch_add(1)) {}

QSettings& CQtProfileStore::Settings() {
    if (t_settings.storeId != m_id || !t_settings.settings) {
        const std::lock_guard lock(g_creation);
        t_settings.settings = std::make_unique<QSettings>(QStringLiteral("Quorvane Software"),
                                                          QStringLiteral("Tarnwick"));
        t_settings.storeId = m_id;
    }
    return *t_settings.settings;
}

QString CQtProfileStore::Location() {
    return Settings().fileName();
}

std::optional<std::int32_t> CQtProfileStore::ReadInt(std::string_view section,
                                                     std::string_view key) {
    const QVariant value = Settings().value(KeyPath(section, key));
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            if (value.typeId() == QMetaType::ULongLong &&
                value.toULongLong() > std::numeric_limits<std::uint32_t>::max()) {
                return std::nullopt;
            }
            return ToInt32(value.toLongLong());
        case QMetaType::QString: {
            // The INI file holds text; anything but a decimal 32-bit number is not an int value.
            bool ok = false;
            const qlonglong number = value.toString().toLongLong(&ok, 10);
            return ok ? ToInt32(number) : std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

std::optional<std::string> CQtProfileStore::ReadString(std::string_view section,
                                                       std::string_view key) {
    const QVariant value = Settings().value(KeyPath(section, key));
    if (!value.isValid()) {
        return std::nullopt;
    }
    // An unquoted INI value with commas reads back as a list; give the text as it stands.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    }
    return value.toString().toStdString();
}

std::optional<std::vector<std::uint8_t>> CQtProfileStore::ReadBinary(std::string_view section,
                                                                     std::string_view key) {
    const QVariant value = Settings().value(KeyPath(section, key));
    if (value.typeId() != QMetaType::QByteArray) {
        return std::nullopt;
    }
    const QByteArray bytes = value.toByteArray();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void CQtProfileStore::WriteInt(std::string_view section, std::string_view key, std::int32_t value) {
    QSettings& settings = Settings();
    settings.setValue(KeyPath(section, key), value);
    settings.sync();
}

void CQtProfileStore::WriteString(std::string_view section, std::string_view key,
                                  std::string_view text) {
    QSettings& settings = Settings();
    settings.setValue(KeyPath(section, key),
                      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    settings.sync();
}

void CQtProfileStore::WriteBinary(std::string_view section, std::string_view key,
                                  std::span<const std::uint8_t> bytes) {
    QSettings& settings = Settings();
    settings.setValue(KeyPath(section, key), QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<qsizetype>(bytes.size())));
    settings.sync();
}

}  // namespace tkw
