#pragma once

#include <QString>

#include "shell/profile/ProfileKeys.h"

class QComboBox;
class QWidget;

namespace tkw {

// A list of fixed choices named `name` for tests, holding `items` in order; its index is what is
// stored.
QComboBox* ChoiceList(const QStringList& items, const QString& name, QWidget* parent);

// The include/exclude list every filter has: "Include only" (0) and "Exclude" (1).
QComboBox* IncludeOrExcludeList(const QString& name, QWidget* parent);

// Selects the stored index; a stored value the list does not have selects nothing.
void LoadIndex(QComboBox* list, const profile::ProfileKey& key);
// Stores the selected index; with nothing selected the stored value is kept.
void SaveIndex(const QComboBox* list, const profile::ProfileKey& key);

}  // namespace tkw
