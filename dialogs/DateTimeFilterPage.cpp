#include "dialogs/DateTimeFilterPage.h"
#include "dialogs/DialogButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <limits>

#include "components/utils/ReportError.h"
#include "dialogs/FilterControls.h"
#include "shell/profile/Stamp.h"

namespace tkw {
namespace {

constexpr int kBetween = 1;

QDateTime ToQt(const LocalDateTime& local) {
    return QDateTime(QDate(local.year, local.month, local.day),
                     QTime(local.hour, local.minute, local.second), Qt::LocalTime);
}

LocalDateTime FromQt(const QDateTime& shown) {
    const QDate date = shown.date();
    const QTime time = shown.time();
    return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

// The user's short date, with the year in full: the pickers reach from 1901 to 2038, which two
// digits cannot tell apart.
QString ShortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy"))) {
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    }
    return format;
}

}  // namespace

CBackupOptions_B_A::Row CBackupOptions_B_A::MakeRow(const QString& name, const QString& format,
                                                    bool calendar) {
    Row row;
    row.check = NamedButton<QCheckBox>(name, name + QStringLiteral("CheckButton"), this);
    row.condition =
        ChoiceList({QStringLiteral("Before"), QStringLiteral("Between"), QStringLiteral("After")},
                   name + QStringLiteral("BeforeBetweenAfter"), this);
    for (int i = 0; i < 2; ++i) {
        auto* picker = new QDateTimeEdit(this);
        picker->setObjectName(name + QStringLiteral("Picker") + QString::number(i));
        // The dates a stamp can hold. Set before the format: a picker that shows only a time
        // keeps its date within this range.
        picker->setMinimumDateTime(
            QDateTime::fromSecsSinceEpoch(std::numeric_limits<std::int32_t>::min()));
        picker->setMaximumDateTime(
            QDateTime::fromSecsSinceEpoch(std::numeric_limits<std::int32_t>::max()));
        picker->setDisplayFormat(format);
        picker->setCalendarPopup(calendar);
        row.pickers[i] = picker;
    }
    row.andLabel = new QLabel(QStringLiteral("and"), this);
    row.andLabel->setObjectName(name + QStringLiteral("And"));
    row.andLabel->hide();
    row.pickers[1]->hide();
    connect(row.check, &QCheckBox::clicked, this,
            [row](bool ticked) { SetRowEnabled(row, ticked); });
    connect(row.condition, &QComboBox::currentIndexChanged, this,
            [row](int index) { ShowSecondValue(row, index == kBetween); });
    return row;
}

CBackupOptions_B_A::CBackupOptions_B_A(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("BackupOptions_B_A"));
    m_includeOrExclude = IncludeOrExcludeList(QStringLiteral("IncludeOrExclude"), this);
    m_date = MakeRow(QStringLiteral("Date"), ShortDateFormat(), true);
    m_time = MakeRow(QStringLiteral("Time"), QStringLiteral("HH:mm:ss"), false);

    auto* first = new QHBoxLayout();
    first->addWidget(m_includeOrExclude);
    first->addWidget(
        new QLabel(QStringLiteral("files created within specified time period"), this));
    first->addStretch();
    auto* grid = new QGridLayout();
    int line = 0;
    for (const Row* row : {&m_date, &m_time}) {
        grid->addWidget(row->check, line, 0);
        grid->addWidget(row->condition, line, 1);
        grid->addWidget(row->pickers[0], line, 2);
        grid->addWidget(row->andLabel, line, 3);
        grid->addWidget(row->pickers[1], line, 4);
        ++line;
    }
    grid->setColumnStretch(5, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(first);
    layout->addLayout(grid);
    layout->addStretch();
    Load();
}

void CBackupOptions_B_A::Load() {
    const QDateTime now = QDateTime::currentDateTime();
    LoadIndex(m_includeOrExclude, profile::kDateTimeIncludeOrExclude);
    m_date.check->setChecked(GetProfileInt(profile::kDateCheckButton) == 1);
    SetRowEnabled(m_date, m_date.check->isChecked());
    LoadPickers(m_date, profile::kDateInteger0, profile::kDateInteger1, now);
    m_time.check->setChecked(GetProfileInt(profile::kTimeCheckButton) == 1);
    SetRowEnabled(m_time, m_time.check->isChecked());
    LoadPickers(m_time, profile::kTimeInteger0, profile::kTimeInteger1, now);
    // Selecting index 0 on a list that already shows it changes nothing, so each row is set
    // explicitly after the selection.
    LoadIndex(m_date.condition, profile::kDateBeforeBetweenAfter);
    ShowSecondValue(m_date, m_date.condition->currentIndex() == kBetween);
    LoadIndex(m_time.condition, profile::kTimeBeforeBetweenAfter);
    ShowSecondValue(m_time, m_time.condition->currentIndex() == kBetween);
    // A row that is not ticked keeps its second value disabled whatever its condition.
    SetRowEnabled(m_date, m_date.check->isChecked());
    SetRowEnabled(m_time, m_time.check->isChecked());
}

void CBackupOptions_B_A::LoadPickers(const Row& row, const profile::ProfileKey& first,
                                     const profile::ProfileKey& second, const QDateTime& now) {
    const profile::ProfileKey* keys[] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        const std::int32_t stamp = GetProfileInt(*keys[i]);
        if (stamp == kStampNotSet) {
            row.pickers[i]->setDateTime(now);
        } else if (const auto local = LocalFromStamp(stamp)) {
            row.pickers[i]->setDateTime(ToQt(*local));
        }
    }
}

void CBackupOptions_B_A::SetRowEnabled(const Row& row, bool enabled) {
    row.condition->setEnabled(enabled);
    row.pickers[0]->setEnabled(enabled);
    row.andLabel->setEnabled(enabled && row.condition->currentIndex() == kBetween);
    row.pickers[1]->setEnabled(enabled && row.condition->currentIndex() == kBetween);
}

void CBackupOptions_B_A::ShowSecondValue(const Row& row, bool between) {
    const bool enabled = between && row.check->isChecked();
    row.andLabel->setVisible(between);
    row.pickers[1]->setVisible(between);
    row.andLabel->setEnabled(enabled);
    row.pickers[1]->setEnabled(enabled);
}

void CBackupOptions_B_A::SavePicker(const QDateTimeEdit* picker, const profile::ProfileKey& key,
                                    const char* notSet) {
    // A value the stamp cannot hold (a time late on the last day it reaches) would wrap around
    // to another date: it is stored as not set, and the user told.
    const QDateTime shown = picker->dateTime();
    const std::optional<std::time_t> seconds =
        shown.isValid() ? ToTimeT(FromQt(shown)) : std::nullopt;
    if (!seconds || *seconds < std::numeric_limits<std::int32_t>::min() ||
        *seconds > std::numeric_limits<std::int32_t>::max()) {
        ReportError(notSet, 0);
        WriteProfileInt(key, kStampNotSet);
        return;
    }
    WriteProfileInt(key, StampFromLocal(FromQt(shown)));
}

void CBackupOptions_B_A::Save() const {
    SaveIndex(m_includeOrExclude, profile::kDateTimeIncludeOrExclude);
    WriteProfileInt(profile::kTimeCheckButton, m_time.check->isChecked() ? 1 : 0);
    SavePicker(m_date.pickers[0], profile::kDateInteger0, "date not set!");
    SavePicker(m_date.pickers[1], profile::kDateInteger1, "date not set!");
    WriteProfileInt(profile::kDateCheckButton, m_date.check->isChecked() ? 1 : 0);
    SavePicker(m_time.pickers[0], profile::kTimeInteger0, "time not set!");
    SavePicker(m_time.pickers[1], profile::kTimeInteger1, "time not set!");
    SaveIndex(m_date.condition, profile::kDateBeforeBetweenAfter);
    SaveIndex(m_time.condition, profile::kTimeBeforeBetweenAfter);
}

}  // namespace tkw
