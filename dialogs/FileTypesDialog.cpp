#include "dialogs/FileTypesDialog.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "dialogs/MFCMenuButtonEx.h"
#include "dialogs/VSListBoxEx.h"
#include "shell/profile/FileTypeList.h"

namespace tkw {
namespace {

constexpr int kAllEntries = -1;

QStringList Entries(std::initializer_list<const char*> entries) {
    QStringList list;
    for (const char* entry : entries) {
        list.append(QString::fromLatin1(entry));
    }
    return list;
}

}  // namespace

const QStringList& CFileTypes::CategoryEntries(int category) {
    static const std::array<QStringList, kCategories> lists = {
        Entries({".3g2", ".3gp", ".asf", ".asx", ".avi", ".flv", ".mov", ".mp4", ".mpg", ".rm",
                 ".swf", ".vob", ".wmv"}),
        Entries({".aac", ".aif", ".iff", ".m3u", ".mid", ".mp3", ".mpa", ".ra", ".wav", ".wma"}),
        Entries({".3dm", ".ai",   ".bmp", ".drw", ".eps", ".gif", ".indd", ".jpg",
                 ".pct", ".pdf",  ".pln", ".png", ".ps",  ".psd", ".psp",  ".qxd",
                 ".qxp", ".rels", ".svg", ".thm", ".tif", ".yuv"}),
        Entries({".doc", ".docx", ".log", ".msg", ".pages", ".rtf", ".txt", ".wpd"}),
        Entries({".app", ".bat", ".cgi", ".com", ".exe", ".pif", ".vb", ".ws"}),
    };
    return lists.at(static_cast<std::size_t>(category));
}

CFileTypes::CFileTypes(QWidget* parent) : QDialog(parent), m_list(new CVSListBoxEx(this)) {
    setObjectName(QStringLiteral("FileTypes"));
    setWindowTitle(QStringLiteral("File types list"));
    m_list->setObjectName(QStringLiteral("FileTypesList"));
    // Room for a dozen entries, so a whole category can be checked without scrolling much.
    m_list->setMinimumSize(fontMetrics().averageCharWidth() * 28, fontMetrics().lineSpacing() * 12);

    static const std::array<const char*, kCategories> captions = {
        "Insert video file types", "Insert audio file types", "Insert picture file types",
        "Insert text file types", "Insert executable file types"};
    auto* buttons = new QVBoxLayout();
    for (int category = 0; category < kCategories; ++category) {
        auto* menu = new QMenu(this);
        menu->addAction(QStringLiteral("all"))->setData(kAllEntries);
        menu->addSeparator();
        const QStringList& entries = CategoryEntries(category);
        for (int position = 0; position < entries.size(); ++position) {
            menu->addAction(entries.at(position))->setData(position);
        }
        auto* button = new CMFCMenuButtonEx(
            QString::fromLatin1(captions.at(static_cast<std::size_t>(category))), menu, this);
        connect(button, &CMFCMenuButtonEx::menuChosen, this,
                [this, category](QAction* action) { OnMenuChosen(category, action); });
        m_menus.at(static_cast<std::size_t>(category)) = menu;
        m_buttons.at(static_cast<std::size_t>(category)) = button;
        buttons->addWidget(button);
    }
    buttons->addStretch();

    // Through the add operation, so an entry stored twice is shown once.
    for (const std::string& entry : ReadFileTypeList()) {
        m_list->AddItem(QString::fromStdString(entry));
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    connect(ok, &QPushButton::clicked, this, &CFileTypes::accept);
    connect(cancel, &QPushButton::clicked, this, &CFileTypes::reject);

    auto* top = new QHBoxLayout();
    top->addLayout(buttons);
    top->addWidget(m_list, 1);
    auto* bottom = new QHBoxLayout();
    bottom->addStretch();
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
}

void CFileTypes::OnMenuChosen(int category, QAction* action) {
    const QStringList& entries = CategoryEntries(category);
    const int position = action->data().toInt();
    if (position == kAllEntries) {
        for (const QString& entry : entries) {
            m_list->AddItem(entry);
        }
    } else if (position >= 0 && position < entries.size()) {
        m_list->AddItem(entries.at(position));
    }
}

void CFileTypes::accept() {
    m_list->FinishEditing();
    std::vector<std::string> entries;
    for (const QString& entry : m_list->Entries()) {
        entries.push_back(entry.toStdString());
    }
    WriteFileTypeList(entries);
    QDialog::accept();
}

}  // namespace tkw
