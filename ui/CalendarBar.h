#pragma once

#include <QWidget>

class QCalendarWidget;

namespace tkw {

// The navigation bar's "Calendar" page: a month calendar above a "My Calendars" caption with one
// "Calendar" entry. It only shows dates.
class CCalendarBar : public QWidget {
    Q_OBJECT
public:
    explicit CCalendarBar(QWidget* parent = nullptr);

    QCalendarWidget* Calendar() const { return m_calendar; }
    int CaptionTop() const { return m_captionTop; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Weekend days in a red that reads on the look's background.
    void ColourWeekends();
    // Day names as short as the width needs, so that none is cut.
    void FitDayNames();

    QCalendarWidget* m_calendar;
    int m_captionTop = 0;
};

}  // namespace tkw
