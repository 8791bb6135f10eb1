#include "ui/ApplicationLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <cmath>

namespace tkw {
namespace {

struct Colours {
    QColor window, base, button, text, highlight;
};

// Each look's own tint: the window, the fields, the buttons, the text and the selection. Light
// looks differ in hue enough to be told apart at a glance.
Colours ColoursOf(unsigned command) {
    switch (command) {
        case 205:  // Windows 2000: classic grey, navy selection
            return {QColor(212, 208, 200), Qt::white, QColor(212, 208, 200), Qt::black,
                    QColor(10, 36, 106)};
        case 206:  // Office XP: lavender
            return {QColor(232, 229, 240), Qt::white, QColor(212, 208, 226), Qt::black,
                    QColor(182, 189, 210)};
        case 207:  // Windows XP: beige, blue selection
            return {QColor(236, 233, 216), Qt::white, QColor(226, 222, 200), Qt::black,
                    QColor(49, 106, 197)};
        case 208:  // Office 2003: light blue, orange selection
            return {QColor(222, 234, 250), Qt::white, QColor(186, 208, 240), Qt::black,
                    QColor(255, 196, 100)};
        case 209:  // Visual Studio 2005: khaki
            return {QColor(228, 226, 208), Qt::white, QColor(214, 211, 188), Qt::black,
                    QColor(193, 210, 238)};
        case 210:  // Visual Studio 2008: blue-grey
            return {QColor(206, 216, 230), Qt::white, QColor(188, 201, 218), Qt::black,
                    QColor(51, 153, 255)};
        case 215:  // Office 2007 blue
            return {QColor(191, 219, 255), Qt::white, QColor(160, 196, 246), Qt::black,
                    QColor(255, 231, 162)};
        case 216:  // Office 2007 black
            return {QColor(45, 45, 48), QColor(68, 68, 72), QColor(62, 62, 66),
                    QColor(230, 230, 230), QColor(255, 190, 80)};
        case 217:  // Office 2007 silver
            return {QColor(208, 212, 221), Qt::white, QColor(190, 195, 206), Qt::black,
                    QColor(255, 231, 162)};
        case 218:  // Office 2007 aqua
            return {QColor(176, 226, 218), Qt::white, QColor(150, 210, 200), Qt::black,
                    QColor(255, 231, 162)};
        default:  // the system's look: neutral grey
            return {QColor(240, 240, 240), Qt::white, QColor(225, 225, 225), Qt::black,
                    QColor(51, 153, 255)};
    }
}

// Black or white, whichever reads better on `background`.
QColor ReadableOn(const QColor& background) {
    return ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background)
               ? QColor(Qt::black)
               : QColor(Qt::white);
}

// `text` moved towards `towards` as far as it can go while keeping `ratio` against every one of
// `backgrounds`: the softer colour of placeholders and disabled texts.
QColor Softened(const QColor& text, const QColor& towards,
                std::initializer_list<QColor> backgrounds, double ratio) {
    QColor best = text;
    for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        const QColor mixed = QColor::fromRgbF(
            static_cast<float>(text.redF() + (towards.redF() - text.redF()) * t),
            static_cast<float>(text.greenF() + (towards.greenF() - text.greenF()) * t),
            static_cast<float>(text.blueF() + (towards.blueF() - text.blueF()) * t));
        for (const QColor& background : backgrounds) {
            if (ContrastRatio(mixed, background) < ratio) {
                return best;
            }
        }
        best = mixed;
    }
    return best;
}

}  // namespace

double ContrastRatio(const QColor& first, const QColor& second) {
    const auto luminance = [](const QColor& colour) {
        const auto channel = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
               0.0722 * channel(colour.blueF());
    };
    const double a = luminance(first) + 0.05;
    const double b = luminance(second) + 0.05;
    return a > b ? a / b : b / a;
}

const std::vector<ApplicationLook>& ApplicationLooks() {
    static const std::vector<ApplicationLook> looks = {
        {205, QStringLiteral("Windows &2000"), false},
        {206, QStringLiteral("Office &XP"), false},
        {207, QStringLiteral("&Windows XP"), false},
        {208, QStringLiteral("Office 200&3"), false},
        {209, QStringLiteral("Visual Studio 200&5"), false},
        {210, QStringLiteral("Visual Studio 200&8"), false},
        {215, QStringLiteral("&Blue Style"), true},
        {216, QStringLiteral("B&lack Style"), true},
        {217, QStringLiteral("&Silver Style"), true},
        {218, QStringLiteral("&Aqua Style"), true},
        {219, QString(), false},
    };
    return looks;
}

bool IsApplicationLook(unsigned command) {
    for (const ApplicationLook& look : ApplicationLooks()) {
        if (look.command == command) {
            return true;
        }
    }
    return false;
}

QPalette ApplicationLookPalette(unsigned command) {
    const Colours colours = ColoursOf(command);
    // Built from the button and window colours, so that the shades of frames and bevels (light,
    // mid, dark, shadow) follow the look too.
    QPalette palette(colours.button, colours.window);
    palette.setColor(QPalette::Base, colours.base);
    palette.setColor(QPalette::AlternateBase, colours.window);
    palette.setColor(QPalette::ToolTipBase, colours.base);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                            QPalette::ToolTipText, QPalette::BrightText}) {
        palette.setColor(role, colours.text);
    }
    palette.setColor(QPalette::Highlight, colours.highlight);
    palette.setColor(QPalette::HighlightedText, ReadableOn(colours.highlight));
    const bool dark = colours.base.lightness() < 128;
    palette.setColor(QPalette::Link, dark ? QColor(130, 185, 255) : QColor(0, 0, 192));
    palette.setColor(QPalette::LinkVisited, dark ? QColor(200, 160, 255) : QColor(100, 0, 160));
    palette.setColor(QPalette::PlaceholderText,
                     Softened(colours.text, colours.base, {colours.base}, 4.5));
    // Disabled texts are meant to recede, but stay legible on whatever they are drawn on.
    const QColor disabled =
        Softened(colours.text, colours.button, {colours.base, colours.button, colours.window}, 3.0);
    for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabled);
    }
    return palette;
}

void ApplyApplicationLook(unsigned command) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(ApplicationLookPalette(command));
}

}  // namespace tkw
