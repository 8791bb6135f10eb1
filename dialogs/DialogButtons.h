#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;
class QWidget;

namespace tkw {

// The "OK" (default) and "Cancel" buttons of a settings dialog, named "OK" and "Cancel" for tests,
// accepting and rejecting the dialog.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

// A check box, radio button or push button with its label, named `name` so that tests can find it.
template <typename Button>
Button* NamedButton(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new Button(text, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace tkw
