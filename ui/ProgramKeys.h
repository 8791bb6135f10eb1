#pragma once

#include <QChar>
#include <QObject>

class QEvent;

namespace tkw {

// The program's own keys, recognised for the whole application: while a modal dialog (a prompt,
// the progress dialog, a status dialog) is open too, where a window's shortcuts are blocked. The
// keys are only watched, never taken: every key press goes on to its widget as usual.
// F5 alone asks for a refresh; N, O, B, R and P count only while both Ctrl and Shift are down.
class CProgramKeys : public QObject {
    Q_OBJECT
public:
    // Watches the application's key presses for as long as the object lives.
    explicit CProgramKeys(QObject* parent);
    ~CProgramKeys() override;

signals:
    void refreshPressed();
    void letterPressed(QChar letter);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tkw
