// The looks' colours read well and tell the looks apart; the panes open at a size that shows
// their contents and keep the user's.
#include <QCalendarWidget>
#include <QDockWidget>
#include <QTest>
#include <QTextCharFormat>
#include <array>
#include <cmath>

#include "tests/support/TestProfile.h"
#include "ui/ApplicationLook.h"
#include "ui/CalendarBar.h"
#include "ui/MainFrame.h"

namespace tkw {

class LooksTest : public QObject {
    Q_OBJECT

private slots:
    void contrastRatiosAreThoseOfTheGuidelines() {
        QCOMPARE(ContrastRatio(Qt::black, Qt::white), 21.0);
        QCOMPARE(ContrastRatio(Qt::white, Qt::white), 1.0);
        QVERIFY(std::abs(ContrastRatio(QColor(118, 118, 118), Qt::white) - 4.54) < 0.01);
        QCOMPARE(ContrastRatio(Qt::red, Qt::blue), ContrastRatio(Qt::blue, Qt::red));
    }

    void everyTextOfEveryLookReadsOnWhatItIsDrawnOn() {
        struct Pair {
            QPalette::ColorGroup group;
            QPalette::ColorRole text;
            QPalette::ColorRole on;
            double least;
        };
        const Pair pairs[] = {
            {QPalette::Active, QPalette::WindowText, QPalette::Window, 4.5},
            {QPalette::Active, QPalette::Text, QPalette::Base, 4.5},
            {QPalette::Active, QPalette::Text, QPalette::AlternateBase, 4.5},
            {QPalette::Active, QPalette::ButtonText, QPalette::Button, 4.5},
            {QPalette::Active, QPalette::HighlightedText, QPalette::Highlight, 4.5},
            {QPalette::Inactive, QPalette::HighlightedText, QPalette::Highlight, 4.5},
            {QPalette::Active, QPalette::ToolTipText, QPalette::ToolTipBase, 4.5},
            {QPalette::Active, QPalette::PlaceholderText, QPalette::Base, 4.5},
            {QPalette::Active, QPalette::Link, QPalette::Base, 4.5},
            {QPalette::Active, QPalette::LinkVisited, QPalette::Base, 4.5},
            {QPalette::Active, QPalette::BrightText, QPalette::Base, 4.5},
            {QPalette::Disabled, QPalette::Text, QPalette::Base, 3.0},
            {QPalette::Disabled, QPalette::WindowText, QPalette::Window, 3.0},
            {QPalette::Disabled, QPalette::ButtonText, QPalette::Button, 3.0},
        };
        for (const ApplicationLook& look : ApplicationLooks()) {
            const QPalette palette = ApplicationLookPalette(look.command);
            for (const Pair& pair : pairs) {
                const double ratio = ContrastRatio(palette.color(pair.group, pair.text),
                                                   palette.color(pair.group, pair.on));
                QVERIFY2(ratio >= pair.least,
                         qPrintable(QStringLiteral("look %1, role %2 on %3: %4")
                                        .arg(look.command)
                                        .arg(pair.text)
                                        .arg(pair.on)
                                        .arg(ratio)));
            }
        }
    }

    void everyLookIsRecognisablyItsOwn() {
        // The window, button and selection colours together, as a distance in RGB.
        const auto signature = [](unsigned command) {
            const QPalette palette = ApplicationLookPalette(command);
            return std::array{palette.color(QPalette::Window), palette.color(QPalette::Button),
                              palette.color(QPalette::Highlight)};
        };
        const std::vector<ApplicationLook>& looks = ApplicationLooks();
        for (std::size_t a = 0; a < looks.size(); ++a) {
            for (std::size_t b = a + 1; b < looks.size(); ++b) {
                double squares = 0;
                const auto first = signature(looks[a].command);
                const auto second = signature(looks[b].command);
                for (std::size_t i = 0; i < first.size(); ++i) {
                    squares += std::pow(first[i].red() - second[i].red(), 2) +
                               std::pow(first[i].green() - second[i].green(), 2) +
                               std::pow(first[i].blue() - second[i].blue(), 2);
                }
                QVERIFY2(std::sqrt(squares) >= 50,
                         qPrintable(QStringLiteral("looks %1 and %2 differ by a faint tint only")
                                        .arg(looks[a].command)
                                        .arg(looks[b].command)));
            }
        }
    }

    void theCalendarsDayNamesAreNeverCut_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("format");
        QTest::newRow("a narrow pane") << 200 << int(QCalendarWidget::SingleLetterDayNames);
        QTest::newRow("a wide pane") << 600 << int(QCalendarWidget::ShortDayNames);
    }

    void theCalendarsDayNamesAreNeverCut() {
        QFETCH(int, width);
        QFETCH(int, format);
        CCalendarBar page;
        page.resize(width, 400);
        page.show();
        QCOMPARE(int(page.Calendar()->horizontalHeaderFormat()), format);
    }

    void weekendsReadOnTheCalendarInEveryLook() {
        for (const ApplicationLook& look : ApplicationLooks()) {
            CCalendarBar page;
            page.setPalette(ApplicationLookPalette(look.command));
            const QColor weekend =
                page.Calendar()->weekdayTextFormat(Qt::Sunday).foreground().color();
            const double ratio = ContrastRatio(weekend, page.palette().color(QPalette::Base));
            QVERIFY2(ratio >= 4.5,
                     qPrintable(QStringLiteral("look %1: %2").arg(look.command).arg(ratio)));
        }
    }

    void theFoldersPaneShowsTypicalNamesAndKeepsTheUsersWidth() {
        test::TestProfile profile;
        {
            CMainFrame frame;
            frame.resize(1200, 800);
            frame.show();
            auto* pane = frame.findChild<QDockWidget*>(QStringLiteral("ShortcutsPane"));
            QVERIFY(pane);
            QVERIFY(pane->width() >= 320);
            frame.resizeDocks({pane}, {460}, Qt::Horizontal);
            QTRY_COMPARE(pane->width(), 460);
            frame.close();  // the layout is saved as the window closes
        }
        CMainFrame again;
        again.RestoreLayout();
        again.show();
        QTRY_COMPARE(again.findChild<QDockWidget*>(QStringLiteral("ShortcutsPane"))->width(), 460);
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::LooksTest)
#include "LooksTest.moc"
