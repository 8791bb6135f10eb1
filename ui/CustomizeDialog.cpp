#include "ui/CustomizeDialog.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/ToolbarCustomizer.h"

namespace tkw {
namespace {

QPushButton* NamedButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

constexpr int kListIcon = 16;

// An empty image for a command without one keeps the labels of a list in line.
QIcon EvenIcon(const QIcon& icon) {
    if (!icon.isNull()) {
        return icon;
    }
    QPixmap blank(kListIcon, kListIcon);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

}  // namespace

CCustomizeDialog::CCustomizeDialog(CToolbarCustomizer& toolbars, QWidget* parent)
    : QDialog(parent),
      m_toolbars(toolbars),
      m_toolbarChoice(new QComboBox(this)),
      m_name(new QLineEdit(this)),
      m_new(NamedButton(QStringLiteral("&New"), "NewToolBar", this)),
      m_rename(NamedButton(QStringLiteral("Re&name"), "RenameToolBar", this)),
      m_delete(NamedButton(QStringLiteral("&Delete"), "DeleteToolBar", this)),
      m_limit(new QLabel(QStringLiteral("No more toolbars can be created: 10 is the most."), this)),
      m_commands(new QListWidget(this)),
      m_buttons(new QListWidget(this)),
      m_add(NamedButton(QStringLiteral("&Add >>"), "AddButton", this)),
      m_remove(NamedButton(QStringLiteral("<< &Remove"), "RemoveButton", this)),
      m_up(NamedButton(QStringLiteral("Move &Up"), "MoveUp", this)),
      m_down(NamedButton(QStringLiteral("Move Do&wn"), "MoveDown", this)) {
    setObjectName(QStringLiteral("CustomizeDialog"));
    setWindowTitle(QStringLiteral("Customize"));
    m_toolbarChoice->setObjectName(QStringLiteral("ToolBars"));
    m_name->setObjectName(QStringLiteral("ToolBarName"));
    m_limit->setObjectName(QStringLiteral("ToolBarLimit"));
    m_commands->setObjectName(QStringLiteral("Commands"));
    m_buttons->setObjectName(QStringLiteral("Buttons"));
    for (QListWidget* list : {m_commands, m_buttons}) {
        list->setIconSize(QSize(kListIcon, kListIcon));
    }

    for (const CToolbarCustomizer::Command& command : m_toolbars.Commands()) {
        auto* item =
            new QListWidgetItem(EvenIcon(command.source->icon()), command.label, m_commands);
        item->setData(Qt::UserRole, command.number);
    }

    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Co&mmands:"), this), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("&Buttons of the toolbar:"), this), 0, 2);
    lists->addWidget(m_commands, 1, 0);
    lists->addWidget(CreateButtonColumn(), 1, 1);
    lists->addWidget(m_buttons, 1, 2);
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(2, 1);
    static_cast<QLabel*>(lists->itemAtPosition(0, 0)->widget())->setBuddy(m_commands);
    static_cast<QLabel*>(lists->itemAtPosition(0, 2)->widget())->setBuddy(m_buttons);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("Close"));
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateToolBarRow());
    layout->addLayout(lists, 1);
    layout->addWidget(close);
    resize(620, 460);

    connect(m_toolbarChoice, &QComboBox::currentIndexChanged, this, [this] {
        m_name->setText(m_toolbars.NameOf(CurrentToolBar()));
        FillButtons();
    });
    connect(m_commands, &QListWidget::currentRowChanged, this, &CCustomizeDialog::UpdateButtons);
    connect(m_buttons, &QListWidget::currentRowChanged, this, &CCustomizeDialog::UpdateButtons);
    connect(m_commands, &QListWidget::itemDoubleClicked, this, &CCustomizeDialog::AddCommand);
    connect(m_add, &QPushButton::clicked, this, &CCustomizeDialog::AddCommand);
    connect(m_remove, &QPushButton::clicked, this, &CCustomizeDialog::RemoveCommand);
    connect(m_up, &QPushButton::clicked, this, [this] { MoveCommand(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { MoveCommand(1); });
    connect(m_new, &QPushButton::clicked, this, &CCustomizeDialog::NewToolBar);
    connect(m_rename, &QPushButton::clicked, this, &CCustomizeDialog::RenameToolBar);
    connect(m_delete, &QPushButton::clicked, this, &CCustomizeDialog::DeleteToolBar);
    FillToolBars(kStandardToolBarId);
}

QWidget* CCustomizeDialog::CreateToolBarRow() {
    auto* group = new QGroupBox(QStringLiteral("Toolbars"), this);
    auto* grid = new QGridLayout(group);
    auto* choose = new QLabel(QStringLiteral("&Toolbar:"), group);
    choose->setBuddy(m_toolbarChoice);
    auto* name = new QLabel(QStringLiteral("N&ame:"), group);
    name->setBuddy(m_name);
    grid->addWidget(choose, 0, 0);
    grid->addWidget(m_toolbarChoice, 0, 1);
    grid->addWidget(m_delete, 0, 2);
    grid->addWidget(name, 1, 0);
    grid->addWidget(m_name, 1, 1);
    auto* nameButtons = new QHBoxLayout;
    nameButtons->addWidget(m_new);
    nameButtons->addWidget(m_rename);
    grid->addLayout(nameButtons, 1, 2);
    grid->addWidget(m_limit, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    m_name->setPlaceholderText(QStringLiteral("Name of a new toolbar"));
    return group;
}

QWidget* CCustomizeDialog::CreateButtonColumn() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->addStretch();
    for (QPushButton* button : {m_add, m_remove}) {
        layout->addWidget(button);
    }
    layout->addSpacing(16);
    for (QPushButton* button : {m_up, m_down}) {
        layout->addWidget(button);
    }
    layout->addStretch();
    return column;
}

unsigned CCustomizeDialog::CurrentToolBar() const {
    return m_toolbarChoice->currentData().toUInt();
}

unsigned CCustomizeDialog::SelectedCommand(const QListWidget* list) const {
    const QListWidgetItem* item = list->currentItem();
    return item ? item->data(Qt::UserRole).toUInt() : 0;
}

void CCustomizeDialog::FillToolBars(unsigned select) {
    const QSignalBlocker quiet(m_toolbarChoice);
    m_toolbarChoice->clear();
    for (const unsigned id : m_toolbars.ToolBarIds()) {
        m_toolbarChoice->addItem(m_toolbars.NameOf(id), id);
    }
    m_toolbarChoice->setCurrentIndex(std::max(0, m_toolbarChoice->findData(select)));
    m_name->setText(m_toolbars.NameOf(CurrentToolBar()));
    FillButtons();
}

void CCustomizeDialog::FillButtons(unsigned selectCommand) {
    const QSignalBlocker quiet(m_buttons);
    m_buttons->clear();
    const QToolBar* bar = m_toolbars.ToolBar(CurrentToolBar());
    for (const unsigned command : m_toolbars.ButtonsOf(CurrentToolBar())) {
        QIcon icon;
        for (const QAction* action : bar->actions()) {
            icon = CommandNumber(action) == command ? action->icon() : icon;
        }
        auto* item = new QListWidgetItem(EvenIcon(icon), m_toolbars.LabelOf(command), m_buttons);
        item->setData(Qt::UserRole, command);
        if (command == selectCommand) {
            m_buttons->setCurrentItem(item);
        }
    }
    UpdateButtons();
}

void CCustomizeDialog::UpdateButtons() {
    const unsigned id = CurrentToolBar();
    const QList<unsigned> buttons = m_toolbars.ButtonsOf(id);
    const unsigned chosen = SelectedCommand(m_commands);
    const qsizetype at = buttons.indexOf(SelectedCommand(m_buttons));
    m_add->setEnabled(chosen != 0 && !buttons.contains(chosen));
    m_remove->setEnabled(at >= 0);
    m_up->setEnabled(at > 0);
    m_down->setEnabled(at >= 0 && at + 1 < buttons.size());
    const bool user = CToolbarCustomizer::IsUserToolBar(id);
    m_rename->setEnabled(user);
    m_delete->setEnabled(user);
    const bool full = m_toolbars.ToolBarIds().size() >
                      static_cast<qsizetype>(kLastUserToolBarId - kFirstUserToolBarId + 1);
    m_new->setEnabled(!full);
    m_limit->setVisible(full);
}

void CCustomizeDialog::AddCommand() {
    const unsigned command = SelectedCommand(m_commands);
    // Before the chosen button, or at the end when none is chosen.
    const int before = m_buttons->currentRow();
    if (command != 0 && m_toolbars.AddButton(CurrentToolBar(), command, before)) {
        FillButtons(command);
    }
}

void CCustomizeDialog::RemoveCommand() {
    const int row = m_buttons->currentRow();
    if (m_toolbars.RemoveButton(CurrentToolBar(), SelectedCommand(m_buttons))) {
        const QList<unsigned> buttons = m_toolbars.ButtonsOf(CurrentToolBar());
        FillButtons(buttons.value(std::min<qsizetype>(row, buttons.size() - 1)));
    }
}

void CCustomizeDialog::MoveCommand(int step) {
    const unsigned id = CurrentToolBar();
    const unsigned command = SelectedCommand(m_buttons);
    const auto at = static_cast<int>(m_toolbars.ButtonsOf(id).indexOf(command));
    if (at >= 0 && m_toolbars.MoveButton(id, command, id, step < 0 ? at - 1 : at + 2)) {
        FillButtons(command);
    }
}

void CCustomizeDialog::NewToolBar() {
    QString name = m_name->text();
    if (name == m_toolbars.NameOf(CurrentToolBar())) {
        name.clear();  // the shown name is the current toolbar's, not one typed for a new one
    }
    if (const unsigned id = m_toolbars.CreateToolBar(name); id != 0) {
        FillToolBars(id);
    }
}

void CCustomizeDialog::RenameToolBar() {
    if (m_toolbars.RenameToolBar(CurrentToolBar(), m_name->text())) {
        FillToolBars(CurrentToolBar());
    }
}

void CCustomizeDialog::DeleteToolBar() {
    if (m_toolbars.DeleteToolBar(CurrentToolBar())) {
        FillToolBars(kStandardToolBarId);
    }
}

}  // namespace tkw
