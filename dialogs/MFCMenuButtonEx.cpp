#include "dialogs/MFCMenuButtonEx.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionToolButton>

namespace tkw {

CMFCMenuButtonEx::CMFCMenuButtonEx(const QString& text, QMenu* menu, QWidget* parent)
    : QToolButton(parent) {
    setText(text);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    // The style draws the arrow part only for a button that has a menu; the menu itself is opened
    // here, never by the base class, so it can open to the right.
    setMenu(menu);
    setPopupMode(QToolButton::MenuButtonPopup);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CMFCMenuButtonEx::mousePressEvent(QMouseEvent* event) {
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const QRect arrow =
        style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, this);
    if (event->button() == Qt::LeftButton && arrow.contains(event->position().toPoint())) {
        event->accept();
        OpenMenu();
        return;
    }
    QToolButton::mousePressEvent(event);
}

void CMFCMenuButtonEx::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F4 ||
        (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier))) {
        event->accept();
        OpenMenu();
        return;
    }
    QToolButton::keyPressEvent(event);
}

void CMFCMenuButtonEx::OpenMenu() {
    if (menu() == nullptr) {
        return;
    }
    setDown(true);
    QAction* chosen = menu()->exec(mapToGlobal(QPoint(width(), 0)));
    setDown(false);
    if (chosen != nullptr) {
        emit menuChosen(chosen);
    }
}

}  // namespace tkw
