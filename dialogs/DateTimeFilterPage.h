#pragma once

#include <QDateTime>
#include <QWidget>
#include <array>

#include "shell/profile/ProfileKeys.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;

namespace tkw {

// The date/time filter page: include or exclude files created before, between or after given
// dates and times of day. Each picker holds a full date and time, which is what its stamp stores.
class CBackupOptions_B_A : public QWidget {
    Q_OBJECT
public:
    explicit CBackupOptions_B_A(QWidget* parent);
    void Save() const;

private:
    // One row: "Date" or "Time", its condition list, two pickers and the "and" between them.
    struct Row {
        QCheckBox* check = nullptr;
        QComboBox* condition = nullptr;
        std::array<QDateTimeEdit*, 2> pickers{};
        QLabel* andLabel = nullptr;
    };

    Row MakeRow(const QString& name, const QString& format, bool calendar);
    void Load();
    static void LoadPickers(const Row& row, const profile::ProfileKey& first,
                            const profile::ProfileKey& second, const QDateTime& now);
    static void SetRowEnabled(const Row& row, bool enabled);
    static void ShowSecondValue(const Row& row, bool between);
    static void SavePicker(const QDateTimeEdit* picker, const profile::ProfileKey& key,
                           const char* notSet);

    QComboBox* m_includeOrExclude;
    Row m_date;
    Row m_time;
};

}  // namespace tkw
