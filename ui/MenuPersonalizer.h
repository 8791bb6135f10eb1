#pragma once

#include <QMap>
#include <QObject>
#include <QSet>

class QAction;
class QMenu;
class QMenuBar;

namespace tkw {

// Personalised menus: a menu first shows its basic commands and those the user has chosen
// before, with an entry at its end that shows the rest. A command once chosen stays shown; the
// chosen ones are kept in the workspace.
class CMenuPersonalizer : public QObject {
    Q_OBJECT
public:
    explicit CMenuPersonalizer(QMenuBar& menus);

    bool IsShown(unsigned command) const;
    // The entry at the end of a menu that shows all of it; nullptr for a menu of basic commands.
    QAction* ExpandEntry(const QMenu* menu) const { return m_expand.value(menu); }
    // Shows every entry of the menu while it stays open.
    void Expand(QMenu* menu);

    void Save() const;
    void Restore();

private:
    void Personalize(QMenu* menu);
    void Prepare(QMenu* menu);
    bool eventFilter(QObject* watched, QEvent* event) override;

    QMap<const QMenu*, QAction*> m_expand;
    QSet<const QMenu*> m_expanded;
    QSet<unsigned> m_used;
};

}  // namespace tkw
