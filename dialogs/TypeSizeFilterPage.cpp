#include "dialogs/TypeSizeFilterPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "components/utils/BitConv.h"
#include "dialogs/DialogButtons.h"
#include "dialogs/FileTypesDialog.h"
#include "dialogs/FilterControls.h"
#include "engine/TextRules.h"
#include "shell/profile/FileTypeList.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {
namespace {

constexpr int kSizeBetween = 2;

QLineEdit* SizeField(const QString& name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14);
    return field;
}

}  // namespace

CBackupOptions_B_B::CBackupOptions_B_B(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("BackupOptions_B_B"));

    auto* typeGroup = new QGroupBox(QStringLiteral("File type"), this);
    m_typeIncludeOrExclude =
        IncludeOrExcludeList(QStringLiteral("IncludeOrExcludeFileType"), typeGroup);
    m_types = new QLineEdit(typeGroup);
    m_types->setObjectName(QStringLiteral("FileTypes"));
    m_types->setReadOnly(true);
    auto* modify =
        NamedButton<QPushButton>(QStringLiteral("Modify"), QStringLiteral("Modify"), typeGroup);
    auto* typeLayout = new QGridLayout(typeGroup);
    typeLayout->addWidget(m_typeIncludeOrExclude, 0, 0);
    typeLayout->addWidget(new QLabel(QStringLiteral("files with types"), typeGroup), 0, 1);
    typeLayout->addWidget(m_types, 1, 0, 1, 2);
    typeLayout->addWidget(modify, 1, 2);
    typeLayout->setColumnStretch(1, 1);

    auto* sizeGroup = new QGroupBox(QStringLiteral("File size"), this);
    m_sizeIncludeOrExclude =
        IncludeOrExcludeList(QStringLiteral("IncludeOrExcludeFileSize"), sizeGroup);
    m_comparison = ChoiceList(
        {QStringLiteral("At least"), QStringLiteral("At most"), QStringLiteral("Between")},
        QStringLiteral("AtLeastAtMostBetween"), sizeGroup);
    m_sizes = {SizeField(QStringLiteral("Size0"), sizeGroup),
               SizeField(QStringLiteral("Size1"), sizeGroup)};
    m_and = new QLabel(QStringLiteral("and"), sizeGroup);
    m_and->setObjectName(QStringLiteral("SizeAnd"));
    m_unit = ChoiceList({QStringLiteral("Bytes"), QStringLiteral("KBytes"),
                         QStringLiteral("MBytes"), QStringLiteral("GBytes")},
                        QStringLiteral("SizeUnit"), sizeGroup);
    m_and->hide();
    m_sizes[1]->hide();
    auto* sizeLayout = new QHBoxLayout(sizeGroup);
    sizeLayout->addWidget(m_sizeIncludeOrExclude);
    sizeLayout->addWidget(new QLabel(QStringLiteral("files"), sizeGroup));
    sizeLayout->addWidget(m_comparison);
    sizeLayout->addWidget(m_sizes[0]);
    sizeLayout->addWidget(m_and);
    sizeLayout->addWidget(m_sizes[1]);
    sizeLayout->addWidget(m_unit);
    sizeLayout->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(typeGroup);
    layout->addWidget(sizeGroup);
    layout->addStretch();
    Load();
    // Connected after loading, so that loading the unit is not taken for a change.
    connect(m_comparison, &QComboBox::currentIndexChanged, this,
            [this](int index) { ShowSecondSize(index == kSizeBetween); });
    connect(m_unit, &QComboBox::currentIndexChanged, this, &CBackupOptions_B_B::ChangeUnit);
    connect(modify, &QPushButton::clicked, this, &CBackupOptions_B_B::ModifyFileTypes);
}

void CBackupOptions_B_B::Load() {
    LoadIndex(m_typeIncludeOrExclude, profile::kIncludeOrExcludeFileType);
    LoadIndex(m_sizeIncludeOrExclude, profile::kIncludeOrExcludeFileSize);
    LoadIndex(m_comparison, profile::kAtLeastAtMostBetween);
    ShowSecondSize(m_comparison->currentIndex() == kSizeBetween);
    m_sizes[0]->setText(QString::fromStdString(GetProfileString(profile::kSize0)));
    m_sizes[1]->setText(QString::fromStdString(GetProfileString(profile::kSize1)));
    LoadIndex(m_unit, profile::kSizeUnit);
    ShowFileTypes();
}

void CBackupOptions_B_B::ShowFileTypes() {
    QStringList types;
    for (const std::string& type : ReadFileTypeList()) {
        types.append(QString::fromStdString(type));
    }
    m_types->setText(types.join(QStringLiteral(" , ")));
    m_types->setCursorPosition(0);
}

void CBackupOptions_B_B::ModifyFileTypes() {
    CFileTypes dialog(this);
    if (dialog.exec() == QDialog::Accepted) {
        ShowFileTypes();
    }
}

void CBackupOptions_B_B::ShowSecondSize(bool between) {
    m_and->setVisible(between);
    m_sizes[1]->setVisible(between);
}

void CBackupOptions_B_B::ChangeUnit(int unit) {
    if (unit < 0) {
        return;
    }
    // The old unit is the stored one; the page shows megabytes when none is stored.
    const int old = GetProfileInt(profile::kSizeUnit);
    WriteProfileInt(profile::kSizeUnit, unit);
    if (unit == old) {
        return;
    }
    for (QLineEdit* field : m_sizes) {
        if (field->text().isEmpty()) {
            continue;
        }
        const std::int64_t value = ParseLeadingInt64(field->text().toStdString());
        field->setText(QString::number(CBitConv::Convert(value, old, unit)));
    }
}

void CBackupOptions_B_B::Save() const {
    SaveIndex(m_typeIncludeOrExclude, profile::kIncludeOrExcludeFileType);
    SaveIndex(m_sizeIncludeOrExclude, profile::kIncludeOrExcludeFileSize);
    SaveIndex(m_comparison, profile::kAtLeastAtMostBetween);
    WriteProfileString(profile::kSize0, m_sizes[0]->text().toStdString());
    WriteProfileString(profile::kSize1, m_sizes[1]->text().toStdString());
    SaveIndex(m_unit, profile::kSizeUnit);
}

}  // namespace tkw
