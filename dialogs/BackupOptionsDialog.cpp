#include "dialogs/BackupOptionsDialog.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialogs/BackupOptionsGeneralPage.h"
#include "dialogs/DateTimeFilterPage.h"
#include "dialogs/DialogButtons.h"
#include "dialogs/KeywordsFilterPage.h"
#include "dialogs/TypeSizeFilterPage.h"

namespace tkw {

CBackupOptions_B::CBackupOptions_B(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("BackupOptions_B"));
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("FilterTabs"));
    m_dateTime = new CBackupOptions_B_A(tabs);
    m_typeSize = new CBackupOptions_B_B(tabs);
    m_keywords = new CBackupOptions_B_C(tabs);
    tabs->addTab(m_dateTime, QStringLiteral("Date/Time"));
    tabs->addTab(m_typeSize, QStringLiteral("File type and size"));
    tabs->addTab(m_keywords, QStringLiteral("Keywords"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
}

CBackupOptions::CBackupOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("BackupOptions"));
    setWindowTitle(QStringLiteral("Backup Options"));
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("OptionTabs"));
    m_general = new CBackupOptions_A(tabs);
    m_filters = new CBackupOptions_B(tabs);
    tabs->addTab(m_general, QStringLiteral("General Settings"));
    tabs->addTab(m_filters, QStringLiteral("Backup Filters"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(OkCancelButtons(this));
}

void CBackupOptions::accept() {
    m_general->Save();
    m_filters->DateTimePage()->Save();
    m_filters->TypeSizePage()->Save();
    m_filters->KeywordsPage()->Save();
    QDialog::accept();
}

}  // namespace tkw
