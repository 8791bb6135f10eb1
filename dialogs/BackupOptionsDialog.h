#pragma once

#include <QDialog>
#include <QWidget>

namespace tkw {

class CBackupOptions_A;
class CBackupOptions_B_A;
class CBackupOptions_B_B;
class CBackupOptions_B_C;

// The filters page: the date/time, file type and size, and keywords pages under tabs of their
// own. It has no save step; the options dialog saves its three pages.
class CBackupOptions_B : public QWidget {
    Q_OBJECT
public:
    explicit CBackupOptions_B(QWidget* parent);
    CBackupOptions_B_A* DateTimePage() const { return m_dateTime; }
    CBackupOptions_B_B* TypeSizePage() const { return m_typeSize; }
    CBackupOptions_B_C* KeywordsPage() const { return m_keywords; }

private:
    CBackupOptions_B_A* m_dateTime;
    CBackupOptions_B_B* m_typeSize;
    CBackupOptions_B_C* m_keywords;
};

// "Backup Options": the general page and the filters page under two tabs. Every page loads when
// the dialog opens; OK saves them all, Cancel, Escape and the close box nothing (what the file
// types dialog and a unit change store at once stays stored).
class CBackupOptions : public QDialog {
    Q_OBJECT
public:
    explicit CBackupOptions(QWidget* parent);
    void accept() override;
    CBackupOptions_A* GeneralPage() const { return m_general; }

private:
    CBackupOptions_A* m_general;
    CBackupOptions_B* m_filters;
};

}  // namespace tkw
