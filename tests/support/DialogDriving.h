#pragma once

// Driving a dialog as a person would in QtTest tests, and reading what it stored.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

#include "shell/profile/ProfileKeys.h"
#include "tests/support/TestProfile.h"

namespace tkw {

// A stored value as the INI file holds it; nothing when the key was never written.
inline std::optional<QString> StoredText(test::TestProfile& profile,
                                         const profile::ProfileKey& key) {
    QSettings file(profile.FileName(), QSettings::IniFormat);
    const QString path = QString::fromUtf8(key.section.data(), key.section.size()) + u'/' +
                         QString::fromUtf8(key.name.data(), key.name.size());
    if (!file.contains(path)) {
        return std::nullopt;
    }
    return file.value(path).toString();
}

inline std::optional<int> StoredInt(test::TestProfile& profile, const profile::ProfileKey& key) {
    const std::optional<QString> text = StoredText(profile, key);
    return text ? std::optional<int>(text->toInt()) : std::nullopt;
}

// Clicks a radio button or a check box on its indicator, where a person aims; a push button in
// its middle.
inline void Click(QAbstractButton* button) {
    QVERIFY(button != nullptr);
    const bool indicator =
        qobject_cast<QRadioButton*>(button) != nullptr || qobject_cast<QCheckBox*>(button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                      indicator ? QPoint(6, button->height() / 2) : QPoint());
}

template <typename T>
T* Child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

// How a person leaves a dialog.
enum class Leave { Ok, Cancel, Escape, CloseBox };

inline void LeaveBy(QDialog& dialog, Leave how) {
    switch (how) {
        case Leave::Ok:
            Click(Child<QPushButton>(dialog, "OK"));
            break;
        case Leave::Cancel:
            Click(Child<QPushButton>(dialog, "Cancel"));
            break;
        case Leave::Escape:
            QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape);
            break;
        case Leave::CloseBox:
            dialog.close();
            break;
    }
}

// Runs `answer` on the first modal dialog that comes up; start it before the click that opens one.
class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(std::function<void(QWidget*)> answer) : m_answer(std::move(answer)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != m_ignore) {
                m_timer.stop();
                m_answer(modal);
            }
        });
        m_ignore = QApplication::activeModalWidget();
        m_timer.start(10);
    }

private:
    std::function<void(QWidget*)> m_answer;
    QWidget* m_ignore = nullptr;
    QTimer m_timer;
};

}  // namespace tkw

Q_DECLARE_METATYPE(tkw::Leave)
