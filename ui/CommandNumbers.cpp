#include "ui/CommandNumbers.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <utility>

#include "ui/ApplicationLook.h"

namespace tkw {
namespace {

constexpr const char* kCommandProperty = "command";

// The labels of the menu entries and the toolbar buttons with their command numbers.
const std::pair<const char*, unsigned> kLabels[] = {
    {"&New Backup         (Ctrl+N)\tCtrl+N", 32841},
    {"&Open Backup       (Ctrl+O)\tCtrl+O", 32840},
    {"E&xit", 57665},
    {"&Status Bar", 59393},
    {"&Refresh Content (F5)", 32842},
    {"&Backup Options         (Ctrl+Shift+B)", 32822},
    {"&Restore Options         (Ctrl+Shift+R)", 32823},
    {"&Preferences                  (Ctrl+Shift+P)", 32807},
    {"&Help F1", 32844},
    {"&Check For New Version ...", 32849},
    {"Send Feedback", 32850},
    {"&Visit Website", 32851},
    {"&About Tarnwick...", 57664},
    {"&Donate", 32853},
};

const std::pair<const char*, unsigned> kButtons[] = {
    {"New", 343}, {"Open", 33}, {"Backup", 88}, {"Restore", 99}, {"Refresh", 66}, {"Help", 11},
};

template <std::size_t N>
void Attach(const QList<QAction*>& actions, const std::pair<const char*, unsigned> (&table)[N]) {
    for (QAction* action : actions) {
        if (action->isSeparator() || action->menu() != nullptr || CommandNumber(action) != 0) {
            continue;
        }
        for (const auto& [label, command] : table) {
            if (action->text() == QString::fromLatin1(label)) {
                SetCommandNumber(action, command);
                break;
            }
        }
    }
}

void AttachToMenu(QMenu* menu) {
    Attach(menu->actions(), kLabels);
    // The looks carry their numbers as their data already.
    for (QAction* action : menu->actions()) {
        if (const unsigned look = action->data().toUInt();
            CommandNumber(action) == 0 && IsApplicationLook(look)) {
            SetCommandNumber(action, look);
        }
    }
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            AttachToMenu(action->menu());
        }
    }
}

}  // namespace

void AttachCommandNumbers(QMainWindow& frame) {
    for (QAction* action : frame.menuBar()->actions()) {
        if (action->menu() != nullptr) {
            AttachToMenu(action->menu());
        }
    }
    if (auto* standard = frame.findChild<QToolBar*>(QStringLiteral("StandardToolBar"))) {
        Attach(standard->actions(), kButtons);
    }
}

void SetCommandNumber(QAction* action, unsigned command) {
    action->setProperty(kCommandProperty, command);
}

unsigned CommandNumber(const QAction* action) {
    return action->property(kCommandProperty).toUInt();
}

const QList<unsigned>& BasicCommands() {
    static const QList<unsigned> commands = {57665, 99,    343,   32841, 33,    32840, 32823, 32822,
                                             66,    32842, 11,    32844, 32849, 32850, 57664, 32851,
                                             32807, 59393, 59392, 208,   209,   215,   217,   216,
                                             218,   219,   205,   206,   207,   210};
    return commands;
}

QString PlainLabel(const QString& label) {
    QString text = label.section(u'\t', 0, 0);
    text.remove(u'&');
    return text.simplified();
}

}  // namespace tkw
