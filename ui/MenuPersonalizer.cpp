#include "ui/MenuPersonalizer.h"

#include <QAction>
#include <QJsonArray>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "ui/CommandNumbers.h"
#include "ui/WorkspaceValues.h"

namespace tkw {
namespace {

constexpr std::string_view kUsedCommandsKey = "MenuUsedCommands";

// Two chevrons pointing down: there is more of this menu.
QIcon ChevronIcon(const QColor& color) {
    QPixmap image(16, 16);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.6));
    for (const int top : {3, 8}) {
        painter.drawPolyline(QPolygonF({QPointF(4, top), QPointF(8, top + 4), QPointF(12, top)}));
    }
    return QIcon(image);
}

}  // namespace

CMenuPersonalizer::CMenuPersonalizer(QMenuBar& menus) : QObject(&menus) {
    for (QAction* top : menus.actions()) {
        if (top->menu() != nullptr) {
            Personalize(top->menu());
        }
    }
}

void CMenuPersonalizer::Personalize(QMenu* menu) {
    bool hasExtra = false;
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            Personalize(action->menu());
        }
        const unsigned command = CommandNumber(action);
        if (command == 0) {
            continue;
        }
        hasExtra = hasExtra || !BasicCommands().contains(command);
        connect(action, &QAction::triggered, this, [this, command] { m_used.insert(command); });
    }
    if (!hasExtra) {
        return;
    }
    auto* expand = new QAction(QStringLiteral("Show All Commands"), menu);
    expand->setObjectName(QStringLiteral("ExpandMenuAction"));
    expand->setIcon(ChevronIcon(menu->palette().color(QPalette::Text)));
    expand->setToolTip(QStringLiteral("Show the whole menu"));
    menu->addAction(expand);
    m_expand.insert(menu, expand);
    // Chosen with the keyboard or by a program: the menu has closed, so it opens again in full.
    connect(expand, &QAction::triggered, this, [this, menu] {
        const QPoint where = menu->pos();
        m_expanded.insert(menu);
        QTimer::singleShot(0, menu, [menu, where] { menu->popup(where); });
    });
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { Prepare(menu); });
    connect(menu, &QMenu::aboutToHide, this, [this, menu] {
        // The next opening starts short again, unless it is the one that shows the menu in full.
        QTimer::singleShot(0, this, [this, menu] {
            if (!menu->isVisible()) {
                m_expanded.remove(menu);
            }
        });
    });
    menu->installEventFilter(this);
}

bool CMenuPersonalizer::IsShown(unsigned command) const {
    return BasicCommands().contains(command) || m_used.contains(command);
}

void CMenuPersonalizer::Prepare(QMenu* menu) {
    const bool all = m_expanded.contains(menu);
    QAction* expand = m_expand.value(menu);
    bool hidden = false;
    for (QAction* action : menu->actions()) {
        if (const unsigned command = CommandNumber(action); command != 0 && action != expand) {
            action->setVisible(all || IsShown(command));
            hidden = hidden || !action->isVisible();
        }
    }
    expand->setVisible(hidden);
}

void CMenuPersonalizer::Expand(QMenu* menu) {
    m_expanded.insert(menu);
    Prepare(menu);
}

// A click on the expand entry opens the menu in full where it is, as the menu stays open.
bool CMenuPersonalizer::eventFilter(QObject* watched, QEvent* event) {
    auto* menu = qobject_cast<QMenu*>(watched);
    QAction* expand = m_expand.value(menu);
    if (menu == nullptr || expand == nullptr || !expand->isVisible()) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* release = static_cast<QMouseEvent*>(event);
        if (menu->actionAt(release->position().toPoint()) == expand) {
            Expand(menu);
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && menu->activeAction() == expand) {
            Expand(menu);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CMenuPersonalizer::Save() const {
    QJsonArray used;
    for (const unsigned command : m_used) {
        used.append(static_cast<qint64>(command));
    }
    WriteWorkspaceList(kUsedCommandsKey, used);
}

void CMenuPersonalizer::Restore() {
    for (const QJsonValue& command : ReadWorkspaceList(kUsedCommandsKey)) {
        m_used.insert(static_cast<unsigned>(command.toInteger()));
    }
}

}  // namespace tkw
