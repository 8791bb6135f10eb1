#include "ui/ApplicationLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace tkw {
namespace {

struct Colours {
    QColor window, base, button, text, highlight;
};

Colours ColoursOf(unsigned command) {
    switch (command) {
        case 205:
            return {QColor(212, 208, 200), Qt::white, QColor(212, 208, 200), Qt::black,
                    QColor(10, 36, 106)};
        case 206:
            return {QColor(240, 240, 240), Qt::white, QColor(235, 233, 237), Qt::black,
                    QColor(182, 189, 210)};
        case 207:
            return {QColor(236, 233, 216), Qt::white, QColor(236, 233, 216), Qt::black,
                    QColor(49, 106, 197)};
        case 208:
            return {QColor(222, 235, 252), Qt::white, QColor(196, 219, 249), Qt::black,
                    QColor(255, 213, 140)};
        case 209:
            return {QColor(238, 237, 229), Qt::white, QColor(238, 237, 229), Qt::black,
                    QColor(193, 210, 238)};
        case 210:
            return {QColor(233, 236, 238), Qt::white, QColor(222, 227, 233), Qt::black,
                    QColor(51, 153, 255)};
        case 215:
            return {QColor(191, 219, 255), Qt::white, QColor(213, 228, 242), Qt::black,
                    QColor(255, 231, 162)};
        case 216:
            return {QColor(45, 45, 48), QColor(68, 68, 72), QColor(62, 62, 66),
                    QColor(230, 230, 230), QColor(255, 190, 80)};
        case 217:
            return {QColor(208, 212, 221), Qt::white, QColor(221, 224, 231), Qt::black,
                    QColor(255, 231, 162)};
        case 218:
            return {QColor(196, 215, 230), Qt::white, QColor(210, 225, 238), Qt::black,
                    QColor(255, 231, 162)};
        default:
            return {QColor(240, 240, 240), Qt::white, QColor(225, 230, 240), Qt::black,
                    QColor(51, 153, 255)};
    }
}

}  // namespace

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

void ApplyApplicationLook(unsigned command) {
    const Colours colours = ColoursOf(command);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette;
    palette.setColor(QPalette::Window, colours.window);
    palette.setColor(QPalette::Base, colours.base);
    palette.setColor(QPalette::AlternateBase, colours.window);
    palette.setColor(QPalette::Button, colours.button);
    for (const auto role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText}) {
        palette.setColor(role, colours.text);
    }
    palette.setColor(QPalette::Highlight, colours.highlight);
    palette.setColor(QPalette::HighlightedText,
                     colours.base.lightness() < 128 ? Qt::black : Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     colours.text.lightness() < 128 ? Qt::gray : QColor(120, 120, 120));
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     palette.color(QPalette::Disabled, QPalette::Text));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                     palette.color(QPalette::Disabled, QPalette::Text));
    QApplication::setPalette(palette);
}

}  // namespace tkw
