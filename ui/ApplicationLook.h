#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <vector>

class QApplication;

namespace tkw {

// The application looks: each is a Qt style with a palette of the program's own, in the colours of
// the visual style it is named after. Numbered by their command numbers 205 to 219.
struct ApplicationLook {
    unsigned command;
    QString label;      // the menu entry ("" for 219, which has none)
    bool inOffice2007;  // listed in the "Office 200&7" submenu
};

const std::vector<ApplicationLook>& ApplicationLooks();
bool IsApplicationLook(unsigned command);
// The colours of a look. Every text role keeps a contrast ratio of at least 4.5:1 on the role it is
// drawn on (3:1 for disabled texts).
QPalette ApplicationLookPalette(unsigned command);
// Sets the style and palette of the whole application.
void ApplyApplicationLook(unsigned command);

// The contrast ratio of two colours as the Web Content Accessibility Guidelines define it, from
// 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor& first, const QColor& second);

}  // namespace tkw
