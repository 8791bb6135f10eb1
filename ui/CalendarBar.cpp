#include "ui/CalendarBar.h"

#include <QCalendarWidget>
#include <QPainter>
#include <QStyle>

namespace tkw {

CCalendarBar::CCalendarBar(QWidget* parent)
    : QWidget(parent), m_calendar(new QCalendarWidget(this)) {
    setObjectName(QStringLiteral("CalendarBar"));
    setMinimumHeight(260);
}

void CCalendarBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_calendar->setGeometry(10, 10, std::max(0, width() - 20), std::max(0, height() - 100));
    m_captionTop = height() - 70;
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
    painter.setPen(palette().link().color());
    painter.drawText(entry, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Calendar"));
}

}  // namespace tkw
