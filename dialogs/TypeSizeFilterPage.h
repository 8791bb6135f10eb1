#pragma once

#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;

namespace tkw {

// The file type and size filter page. The type list itself is edited in the file types dialog
// behind "Modify", which stores it; a unit change converts the size fields and stores the unit at
// once. Everything else waits for the options dialog's OK.
class CBackupOptions_B_B : public QWidget {
    Q_OBJECT
public:
    explicit CBackupOptions_B_B(QWidget* parent);
    void Save() const;

private:
    void Load();
    void ShowFileTypes();
    void ModifyFileTypes();
    void ShowSecondSize(bool between);
    void ChangeUnit(int unit);

    QComboBox* m_typeIncludeOrExclude;
    QLineEdit* m_types;
    QComboBox* m_sizeIncludeOrExclude;
    QComboBox* m_comparison;
    std::array<QLineEdit*, 2> m_sizes{};
    QLabel* m_and;
    QComboBox* m_unit;
};

}  // namespace tkw
