#include "dialogs/FilterControls.h"

#include <QComboBox>

namespace tkw {

QComboBox* ChoiceList(const QStringList& items, const QString& name, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    return list;
}

QComboBox* IncludeOrExcludeList(const QString& name, QWidget* parent) {
    return ChoiceList({QStringLiteral("Include only"), QStringLiteral("Exclude")}, name, parent);
}

void LoadIndex(QComboBox* list, const profile::ProfileKey& key) {
    const std::int32_t index = GetProfileInt(key);
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

void SaveIndex(const QComboBox* list, const profile::ProfileKey& key) {
    if (list->currentIndex() >= 0) {
        WriteProfileInt(key, list->currentIndex());
    }
}

}  // namespace tkw
