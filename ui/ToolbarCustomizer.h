#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include "ui/CommandNumbers.h"

class QAction;
class QMainWindow;
class QMenu;
class QMimeData;
class QToolBar;

namespace tkw {

// The frame's toolbars as the user arranges them: the "Standard" toolbar and up to ten toolbars
// of their own (0xE828 to 0xE831), each a list of commands ending with "Customize...". Buttons
// are added, removed and moved in the customisation dialog or by dragging them with Alt held.
// The arrangement is kept in the workspace and put back at the next start.
class CToolbarCustomizer : public QObject {
    Q_OBJECT
public:
    // One command that may be put on a toolbar.
    struct Command {
        unsigned number;
        QString label;
        QAction* source;
    };

    // Takes the standard toolbar as it was built and the commands of the frame's menus.
    CToolbarCustomizer(QMainWindow& frame, QToolBar& standard);

    const QList<Command>& Commands() const { return m_commands; }
    QString LabelOf(unsigned command) const;

    // The standard toolbar first, then the user toolbars by identifier.
    QList<unsigned> ToolBarIds() const;
    QToolBar* ToolBar(unsigned id) const;
    QString NameOf(unsigned id) const;
    QList<unsigned> ButtonsOf(unsigned id) const;
    static bool IsUserToolBar(unsigned id) {
        return id >= kFirstUserToolBarId && id <= kLastUserToolBarId;
    }

    // A new toolbar under the first free identifier; 0 when all ten exist.
    unsigned CreateToolBar(const QString& name);
    bool RenameToolBar(unsigned id, const QString& name);
    bool DeleteToolBar(unsigned id);

    // Puts a command on a toolbar before the button at `index` (at the end when out of range);
    // false when the toolbar has it already.
    bool AddButton(unsigned id, unsigned command, int index = -1);
    bool RemoveButton(unsigned id, unsigned command);
    // Moves a button to `index` of the toolbar `to` (the same or another one).
    bool MoveButton(unsigned from, unsigned command, unsigned to, int index);

    // What a button dragged with Alt held carries: "toolbar command", both decimal.
    static QString ButtonMimeType() {
        return QStringLiteral("application/x-tarnwick-toolbar-button");
    }

    // A button dropped on a toolbar at `at` (the toolbar's coordinates) lands before or after the
    // button there, or at the end; its drag carries ButtonMimeType(). False for a foreign drop.
    bool DropButton(QToolBar* bar, const QMimeData& mime, QPoint at);

    // The entry that opens the customisation dialog, at the end of every toolbar and of the pane
    // menu.
    QAction* CustomizeAction() const { return m_customize; }
    void AppendCustomizeEntry(QMenu* paneMenu) const;
    // Opens the customisation dialog, modal on the frame, once the event loop runs again.
    void Customize();

    void Save() const;
    // Puts back what Save kept: the user toolbars are created again, so that the window's saved
    // state can place them.
    void Restore();

signals:
    void toolBarsChanged();

private:
    struct Bar {
        QPointer<QToolBar> widget;
        QList<unsigned> buttons;
    };

    void CollectCommands();
    QAction* ButtonAction(unsigned command);
    QToolBar* NewToolBarWidget(unsigned id, const QString& name);
    void Rebuild(unsigned id);
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool StartQuickDrag(QToolBar* bar, QAction* action);
    bool DropOn(QToolBar* bar, QEvent* event);

    QMainWindow& m_frame;
    QList<Command> m_commands;
    QMap<unsigned, QAction*> m_buttonActions;
    QMap<unsigned, Bar> m_bars;
    QAction* m_customize;
};

}  // namespace tkw
