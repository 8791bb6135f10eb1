#include "dialogs/KeywordsFilterPage.h"
#include "dialogs/DialogButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/FilterControls.h"
#include "shell/profile/ProfileKeys.h"

namespace tkw {
namespace {

// One group: the include/exclude list and its label, the words, and "Case sensitive".
QGroupBox* WordsGroup(const QString& title, const QString& label, const QString& name,
                      QComboBox*& list, QLineEdit*& words, QCheckBox*& caseSensitive,
                      QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    list = IncludeOrExcludeList(QStringLiteral("IncludeOrExclude") + name, group);
    words = new QLineEdit(group);
    words->setObjectName(QStringLiteral("AllStringToFindIn") + name);
    caseSensitive = NamedButton<QCheckBox>(QStringLiteral("Case sensitive"),
                                           QStringLiteral("CaseSensitive") + name, group);
    auto* text = new QLabel(label, group);
    text->setWordWrap(true);
    auto* grid = new QGridLayout(group);
    grid->addWidget(list, 0, 0);
    grid->addWidget(text, 0, 1);
    grid->addWidget(words, 1, 0, 1, 2);
    grid->addWidget(caseSensitive, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    return group;
}

}  // namespace

CBackupOptions_B_C::CBackupOptions_B_C(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("BackupOptions_B_C"));
    QGroupBox* names = WordsGroup(
        QStringLiteral("Filenames"),
        QStringLiteral("files that contain in filename one or more of the folowing words:"),
        QStringLiteral("FileName"), m_namesIncludeOrExclude, m_nameWords, m_namesCaseSensitive,
        this);
    QGroupBox* content =
        WordsGroup(QStringLiteral("Content"),
                   QStringLiteral("files that contain one or more of the folowing words:"),
                   QStringLiteral("Content"), m_contentIncludeOrExclude, m_contentWords,
                   m_contentCaseSensitive, this);
    auto* onlyText =
        new QLabel(QStringLiteral("Only .txt files will be searched for this text"), content);
    static_cast<QGridLayout*>(content->layout())->addWidget(onlyText, 3, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(names);
    layout->addWidget(content);
    layout->addStretch();
    Load();
}

void CBackupOptions_B_C::Load() {
    LoadIndex(m_namesIncludeOrExclude, profile::kIncludeOrExcludeFileNames);
    m_nameWords->setText(
        QString::fromStdString(GetProfileString(profile::kAllStringToFindInFileName)));
    m_namesCaseSensitive->setChecked(GetProfileInt(profile::kCaseSensitiveFilenames) == 1);
    LoadIndex(m_contentIncludeOrExclude, profile::kIncludeOrExcludeContent);
    m_contentWords->setText(
        QString::fromStdString(GetProfileString(profile::kAllStringToFindInContent)));
    m_contentCaseSensitive->setChecked(GetProfileInt(profile::kCaseSensitiveContent) == 1);
}

void CBackupOptions_B_C::Save() const {
    SaveIndex(m_namesIncludeOrExclude, profile::kIncludeOrExcludeFileNames);
    WriteProfileString(profile::kAllStringToFindInFileName, m_nameWords->text().toStdString());
    WriteProfileInt(profile::kCaseSensitiveFilenames, m_namesCaseSensitive->isChecked() ? 1 : 0);
    SaveIndex(m_contentIncludeOrExclude, profile::kIncludeOrExcludeContent);
    WriteProfileString(profile::kAllStringToFindInContent, m_contentWords->text().toStdString());
    WriteProfileInt(profile::kCaseSensitiveContent, m_contentCaseSensitive->isChecked() ? 1 : 0);
}

}  // namespace tkw
