#include "ui/ToolbarCustomizer.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QJsonArray>
#include <QJsonObject>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTimer>
#include <QToolBar>

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "ui/CustomizeDialog.h"
#include "ui/WorkspaceValues.h"

namespace tkw {
namespace {

constexpr std::string_view kToolBarsKey = "ToolBars";

// Menu commands that do what a toolbar button does show that button's image.
unsigned ButtonTwin(unsigned command) {
    switch (command) {
        case 32841:
            return 343;
        case 32840:
            return 33;
        case 32842:
            return 66;
        case 32844:
            return 11;
        default:
            return 0;
    }
}

void CollectMenu(const QMenu* menu, QList<QAction*>& out) {
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            CollectMenu(action->menu(), out);
        } else if (!action->isSeparator() && CommandNumber(action) != 0) {
            out.append(action);
        }
    }
}

}  // namespace

CToolbarCustomizer::CToolbarCustomizer(QMainWindow& frame, QToolBar& standard)
    : QObject(&frame),
      m_frame(frame),
      m_customize(new QAction(QStringLiteral("Customize..."), this)) {
    m_customize->setObjectName(QStringLiteral("CustomizeAction"));
    m_customize->setIconText(m_customize->text());
    SetCommandNumber(m_customize, kCustomizeCommand);
    m_customize->setStatusTip(QStringLiteral("Customize the toolbars"));
    connect(m_customize, &QAction::triggered, this, &CToolbarCustomizer::Customize);

    Bar bar{&standard, {}};
    for (QAction* action : standard.actions()) {
        if (const unsigned command = CommandNumber(action); command != 0) {
            bar.buttons.append(command);
            m_buttonActions.insert(command, action);
        }
    }
    m_bars.insert(kStandardToolBarId, bar);
    CollectCommands();
    standard.setAcceptDrops(true);
    standard.installEventFilter(this);
    Rebuild(kStandardToolBarId);
}

void CToolbarCustomizer::CollectCommands() {
    QList<QAction*> actions;
    for (QAction* top : m_frame.menuBar()->actions()) {
        if (top->menu() != nullptr) {
            CollectMenu(top->menu(), actions);
        }
    }
    // The toolbar's own commands, so that a removed button can come back.
    for (QAction* action : m_bars.value(kStandardToolBarId).widget->actions()) {
        if (CommandNumber(action) != 0 && action != m_customize) {
            actions.append(action);
        }
    }
    for (QAction* action : actions) {
        const unsigned number = CommandNumber(action);
        const bool known = std::any_of(m_commands.cbegin(), m_commands.cend(),
                                       [&](const Command& c) { return c.number == number; });
        if (!known) {
            m_commands.append({number, PlainLabel(action->text()), action});
        }
    }
}

QString CToolbarCustomizer::LabelOf(unsigned command) const {
    for (const Command& c : m_commands) {
        if (c.number == command) {
            return c.label;
        }
    }
    return {};
}

QList<unsigned> CToolbarCustomizer::ToolBarIds() const {
    return m_bars.keys();  // sorted: 0xE800 comes before the user identifiers
}

QToolBar* CToolbarCustomizer::ToolBar(unsigned id) const {
    return m_bars.value(id).widget;
}

QString CToolbarCustomizer::NameOf(unsigned id) const {
    const QToolBar* bar = ToolBar(id);
    return bar ? bar->windowTitle() : QString();
}

QList<unsigned> CToolbarCustomizer::ButtonsOf(unsigned id) const {
    return m_bars.value(id).buttons;
}

QAction* CToolbarCustomizer::ButtonAction(unsigned command) {
    if (QAction* action = m_buttonActions.value(command)) {
        return action;
    }
    const auto found = std::find_if(m_commands.cbegin(), m_commands.cend(),
                                    [&](const Command& c) { return c.number == command; });
    if (found == m_commands.cend()) {
        return nullptr;
    }
    QAction* source = found->source;
    // A button of its own, so that the menu's label with its shortcut text stays in the menu.
    // Its shortcut in brackets is left to the tooltip; a command without an image shows its text
    // alone.
    QString text = found->label;
    text.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)$")));
    auto* button = new QAction(text, this);
    button->setToolTip(found->label);
    SetCommandNumber(button, command);
    if (QAction* twin = m_buttonActions.value(ButtonTwin(command))) {
        button->setIcon(twin->icon());
    } else {
        button->setIcon(source->icon());
    }
    button->setStatusTip(source->statusTip());
    button->setCheckable(source->isCheckable());
    const auto follow = [button, source] {
        button->setEnabled(source->isEnabled());
        button->setChecked(source->isChecked());
    };
    follow();
    connect(source, &QAction::changed, button, follow);
    connect(button, &QAction::triggered, source, [source, follow] {
        source->trigger();
        follow();
    });
    m_buttonActions.insert(command, button);
    return button;
}

QToolBar* CToolbarCustomizer::NewToolBarWidget(unsigned id, const QString& name) {
    auto* bar = new QToolBar(name, &m_frame);
    bar->setObjectName(QStringLiteral("UserToolBar") + QString::number(id, 16).toUpper());
    const QToolBar* standard = ToolBar(kStandardToolBarId);
    bar->setToolButtonStyle(standard->toolButtonStyle());
    bar->setIconSize(standard->iconSize());
    bar->setAcceptDrops(true);
    bar->installEventFilter(this);
    // A row of its own: beside the wide standard toolbar its buttons would be squeezed.
    m_frame.addToolBarBreak(Qt::TopToolBarArea);
    m_frame.addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

void CToolbarCustomizer::Rebuild(unsigned id) {
    QToolBar* bar = ToolBar(id);
    if (bar == nullptr) {
        return;
    }
    for (QAction* action : bar->actions()) {
        bar->removeAction(action);
        if (action->isSeparator() && action->parent() == bar) {
            delete action;
        }
    }
    const QList<unsigned>& buttons = m_bars[id].buttons;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (QAction* action = ButtonAction(buttons[i])) {
            bar->addAction(action);
            bar->addSeparator();
            if (QWidget* widget = bar->widgetForAction(action)) {
                widget->setMinimumSize(80, 61);
                widget->installEventFilter(this);
            }
        }
    }
    bar->addAction(m_customize);
    emit toolBarsChanged();
}

unsigned CToolbarCustomizer::CreateToolBar(const QString& name) {
    for (unsigned id = kFirstUserToolBarId; id <= kLastUserToolBarId; ++id) {
        if (!m_bars.contains(id)) {
            const QString title =
                name.trimmed().isEmpty()
                    ? QStringLiteral("Custom %1").arg(id - kFirstUserToolBarId + 1)
                    : name.trimmed();
            m_bars.insert(id, {NewToolBarWidget(id, title), {}});
            Rebuild(id);
            ToolBar(id)->show();
            return id;
        }
    }
    return 0;
}

bool CToolbarCustomizer::RenameToolBar(unsigned id, const QString& name) {
    if (!IsUserToolBar(id) || !m_bars.contains(id) || name.trimmed().isEmpty()) {
        return false;
    }
    ToolBar(id)->setWindowTitle(name.trimmed());
    emit toolBarsChanged();
    return true;
}

bool CToolbarCustomizer::DeleteToolBar(unsigned id) {
    if (!IsUserToolBar(id) || !m_bars.contains(id)) {
        return false;
    }
    QToolBar* bar = m_bars.take(id).widget;
    m_frame.removeToolBar(bar);
    bar->deleteLater();
    emit toolBarsChanged();
    return true;
}

bool CToolbarCustomizer::AddButton(unsigned id, unsigned command, int index) {
    if (!m_bars.contains(id) || m_bars[id].buttons.contains(command) ||
        ButtonAction(command) == nullptr) {
        return false;
    }
    QList<unsigned>& buttons = m_bars[id].buttons;
    buttons.insert(index < 0 || index > buttons.size() ? buttons.size() : index, command);
    Rebuild(id);
    return true;
}

bool CToolbarCustomizer::RemoveButton(unsigned id, unsigned command) {
    if (!m_bars.contains(id) || !m_bars[id].buttons.removeOne(command)) {
        return false;
    }
    Rebuild(id);
    return true;
}

bool CToolbarCustomizer::MoveButton(unsigned from, unsigned command, unsigned to, int index) {
    if (!m_bars.contains(from) || !m_bars.contains(to)) {
        return false;
    }
    const qsizetype at = m_bars[from].buttons.indexOf(command);
    if (at < 0 || (from != to && m_bars[to].buttons.contains(command))) {
        return false;
    }
    if (from == to && index > at) {
        --index;  // the button leaves its place first
    }
    m_bars[from].buttons.remove(at);
    if (from != to) {
        Rebuild(from);
    }
    return AddButton(to, command, index);
}

void CToolbarCustomizer::AppendCustomizeEntry(QMenu* paneMenu) const {
    paneMenu->addSeparator();
    paneMenu->addAction(m_customize);
}

void CToolbarCustomizer::Customize() {
    // Run from the event loop, not from the clicked button: the dialog rebuilds and deletes
    // toolbars, the one whose button was clicked among them.
    QTimer::singleShot(0, this, [this] {
        CCustomizeDialog dialog(*this, &m_frame);
        dialog.exec();
    });
}

// Quick customisation: a button dragged with Alt held moves to where it is dropped on a toolbar,
// or leaves its toolbar when dropped anywhere else.
bool CToolbarCustomizer::eventFilter(QObject* watched, QEvent* event) {
    if (auto* bar = qobject_cast<QToolBar*>(watched)) {
        return DropOn(bar, event) || QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* bar = widget ? qobject_cast<QToolBar*>(widget->parentWidget()) : nullptr;
        if (bar != nullptr && press->button() == Qt::LeftButton &&
            press->modifiers().testFlag(Qt::AltModifier)) {
            for (QAction* action : bar->actions()) {
                if (bar->widgetForAction(action) == widget && action != m_customize) {
                    return StartQuickDrag(bar, action);
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

bool CToolbarCustomizer::StartQuickDrag(QToolBar* bar, QAction* action) {
    unsigned from = 0;
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
        from = it->widget == bar ? it.key() : from;
    }
    const unsigned command = CommandNumber(action);
    if (from == 0 || command == 0) {
        return false;
    }
    auto* mime = new QMimeData;
    mime->setData(ButtonMimeType(), QByteArray::number(from) + ' ' + QByteArray::number(command));
    auto* drag = new QDrag(bar);
    drag->setMimeData(mime);
    if (QWidget* widget = bar->widgetForAction(action)) {
        drag->setPixmap(widget->grab());
    }
    if (drag->exec(Qt::MoveAction) == Qt::IgnoreAction) {
        // Dropped off every toolbar. The button's widget is still handling this press.
        QTimer::singleShot(0, this, [this, from, command] { RemoveButton(from, command); });
    }
    return true;
}

bool CToolbarCustomizer::DropOn(QToolBar* bar, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData()->hasFormat(ButtonMimeType())) {
        return false;
    }
    drop->setDropAction(Qt::MoveAction);
    drop->accept();
    if (type != QEvent::Drop) {
        return true;
    }
    DropButton(bar, *drop->mimeData(), drop->position().toPoint());
    return true;
}

bool CToolbarCustomizer::DropButton(QToolBar* bar, const QMimeData& mime, QPoint at) {
    const QList<QByteArray> parts = mime.data(ButtonMimeType()).split(' ');
    unsigned to = 0;
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
        to = it->widget == bar ? it.key() : to;
    }
    if (parts.size() != 2 || to == 0) {
        return false;
    }
    const unsigned from = parts[0].toUInt();
    const unsigned command = parts[1].toUInt();
    int index = -1;
    if (QAction* target = bar->actionAt(at); target != nullptr && CommandNumber(target) != 0) {
        index = static_cast<int>(m_bars[to].buttons.indexOf(CommandNumber(target)));
        const QRect place = bar->actionGeometry(target);
        const bool after = bar->orientation() == Qt::Horizontal ? at.x() > place.center().x()
                                                                : at.y() > place.center().y();
        index += (index >= 0 && after) ? 1 : 0;
    }
    // The dragged button's widget is still handling its press; it is replaced afterwards.
    QTimer::singleShot(0, this,
                       [this, from, command, to, index] { MoveButton(from, command, to, index); });
    return true;
}

void CToolbarCustomizer::Save() const {
    QJsonArray bars;
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
        QJsonArray buttons;
        for (const unsigned command : it->buttons) {
            buttons.append(static_cast<qint64>(command));
        }
        bars.append(QJsonObject{{QStringLiteral("id"), static_cast<qint64>(it.key())},
                                {QStringLiteral("name"), NameOf(it.key())},
                                {QStringLiteral("buttons"), buttons}});
    }
    WriteWorkspaceList(kToolBarsKey, bars);
}

void CToolbarCustomizer::Restore() {
    const QJsonArray bars = ReadWorkspaceList(kToolBarsKey);
    for (const QJsonValue& value : bars) {
        const QJsonObject entry = value.toObject();
        const auto id = static_cast<unsigned>(entry.value(QStringLiteral("id")).toInteger());
        if (id != kStandardToolBarId && !IsUserToolBar(id)) {
            continue;  // not a toolbar of ours
        }
        if (IsUserToolBar(id) && !m_bars.contains(id)) {
            m_bars.insert(
                id, {NewToolBarWidget(id, entry.value(QStringLiteral("name")).toString()), {}});
        }
        QList<unsigned> buttons;
        for (const QJsonValue& button : entry.value(QStringLiteral("buttons")).toArray()) {
            const auto command = static_cast<unsigned>(button.toInteger());
            if (!LabelOf(command).isEmpty() && !buttons.contains(command)) {
                buttons.append(command);
            }
        }
        m_bars[id].buttons = buttons;
        Rebuild(id);
    }
}

}  // namespace tkw
