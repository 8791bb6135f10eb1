#include "ui/ProgramKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace tkw {

CProgramKeys::CProgramKeys(QObject* parent) : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);
}

CProgramKeys::~CProgramKeys() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool CProgramKeys::eventFilter(QObject* watched, QEvent* event) {
    // A key press reaches its top-level window first, then the widgets on the way to the focus;
    // the window's turn is the one that is counted, so each press counts once.
    if (event->type() != QEvent::KeyPress || !watched->isWindowType()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat()) {
        return false;
    }
    if (key->key() == Qt::Key_F5) {
        emit refreshPressed();
        return false;
    }
    const Qt::KeyboardModifiers held = key->modifiers();
    if (!held.testFlag(Qt::ControlModifier) || !held.testFlag(Qt::ShiftModifier)) {
        return false;
    }
    switch (key->key()) {
        case Qt::Key_N:
        case Qt::Key_O:
        case Qt::Key_B:
        case Qt::Key_R:
        case Qt::Key_P:
            emit letterPressed(QChar(key->key()));
            break;
        default:
            break;
    }
    return false;
}

}  // namespace tkw
