#pragma once

#include <QToolButton>

class QAction;
class QMenu;

namespace tkw {

// A button with a menu that opens only from the arrow at its right end, to the right of the
// button; a click on the rest of the button chooses nothing. A right-click shows no context menu.
// F4 or Alt+Down opens the menu from the keyboard.
class CMFCMenuButtonEx : public QToolButton {
    Q_OBJECT
public:
    CMFCMenuButtonEx(const QString& text, QMenu* menu, QWidget* parent);

signals:
    // An entry of the menu was chosen.
    void menuChosen(QAction* action);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenMenu();
};

}  // namespace tkw
