#pragma once

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
// Sets the style and palette of the whole application.
void ApplyApplicationLook(unsigned command);

}  // namespace tkw
