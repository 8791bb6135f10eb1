#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tkw {

// The keywords filter page: words in file names and in the contents of text files, each with
// include or exclude and case sensitivity. The words are stored exactly as typed.
class CBackupOptions_B_C : public QWidget {
    Q_OBJECT
public:
    explicit CBackupOptions_B_C(QWidget* parent);
    void Save() const;

private:
    void Load();

    QComboBox* m_namesIncludeOrExclude;
    QLineEdit* m_nameWords;
    QCheckBox* m_namesCaseSensitive;
    QComboBox* m_contentIncludeOrExclude;
    QLineEdit* m_contentWords;
    QCheckBox* m_contentCaseSensitive;
};

}  // namespace tkw
