#pragma once

#include <QList>
#include <QString>

class QAction;
class QMainWindow;

namespace tkw {

// Every command of the menus and the toolbar has a number, kept in its action's "command"
// property. The
// customisation reads it to list, place, remember and personalise commands.
inline constexpr unsigned kCustomizeCommand = 126;
inline constexpr unsigned kStandardToolBarId = 0xE800;
inline constexpr unsigned kFirstUserToolBarId = 0xE828;
inline constexpr unsigned kLastUserToolBarId = 0xE831;

// Gives the frame's menu and toolbar actions their numbers, found by their labels; actions that
// carry one already keep it.
void AttachCommandNumbers(QMainWindow& frame);

// The number an action carries; 0 for none.
unsigned CommandNumber(const QAction* action);
void SetCommandNumber(QAction* action, unsigned command);

// The commands a menu shows before it is expanded.
const QList<unsigned>& BasicCommands();

// A menu label as a button or a list shows it: no access-key marks, no shortcut text.
QString PlainLabel(const QString& label);

}  // namespace tkw
