#include "ui/CalendarBar.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QTextCharFormat>

namespace tkw {

CCalendarBar::CCalendarBar(QWidget* parent)
    : QWidget(parent), m_calendar(new QCalendarWidget(this)) {
    setObjectName(QStringLiteral("CalendarBar"));
    setMinimumHeight(260);
    ColourWeekends();
}

void CCalendarBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_calendar->setGeometry(10, 10, std::max(0, width() - 20), std::max(0, height() - 100));
    m_captionTop = height() - 70;
    FitDayNames();
}

void CCalendarBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        ColourWeekends();
    }
    if (event->type() == QEvent::FontChange) {
        FitDayNames();
    }
}

void CCalendarBar::ColourWeekends() {
    const bool dark = palette().color(QPalette::Base).lightness() < 128;
    QTextCharFormat weekend;
    weekend.setForeground(dark ? QColor(255, 150, 150) : QColor(176, 0, 0));
    for (const Qt::DayOfWeek day : {Qt::Saturday, Qt::Sunday}) {
        m_calendar->setWeekdayTextFormat(day, weekend);
    }
}

void CCalendarBar::FitDayNames() {
    // Seven day columns and the week numbers share the width; a name wider than its column is
    // cut to "M…", which reads worse than "M".
    const int column = m_calendar->width() / 8;
    const QFontMetrics metrics(m_calendar->font());
    int widest = 0;
    for (int day = Qt::Monday; day <= Qt::Sunday; ++day) {
        widest = std::max(widest, metrics.horizontalAdvance(
                                      m_calendar->locale().dayName(day, QLocale::ShortFormat)));
    }
    m_calendar->setHorizontalHeaderFormat(widest + 8 <= column
                                              ? QCalendarWidget::ShortDayNames
                                              : QCalendarWidget::SingleLetterDayNames);
}

void CCalendarBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (height() <= m_captionTop) {
        return;
    }
    const int h = fontMetrics().height();
    const QRect caption(0, m_captionTop, width(), h * 3 / 2);
    painter.fillRect(caption, palette().button());
    painter.setPen(palette().mid().color());
    painter.drawLine(caption.left() - 1, caption.top(), caption.right(), caption.top());
    painter.setPen(Qt::black);
    painter.drawLine(caption.left() - 1, caption.bottom(), caption.right(), caption.bottom());
    painter.setPen(palette().buttonText().color());
    painter.drawText(caption.adjusted(10, 0, -10, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("My Calendars"));
    QRect entry(0, caption.bottom() + 5, width(), h * 3 / 2 - 5);
    painter.fillRect(entry, QColor(255, 255, 213));
    entry.adjust(20, 0, -20, 0);
    style()
        ->standardIcon(QStyle::SP_FileDialogDetailedView)
        .paint(&painter, QRect(entry.topLeft(), QSize(16, 16)));
    entry.setLeft(entry.left() + 20);
    // The entry's pale yellow stays in every look, so its text does too.
    painter.setPen(QColor(0, 0, 160));
    painter.drawText(entry, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Calendar"));
}

}  // namespace tkw
