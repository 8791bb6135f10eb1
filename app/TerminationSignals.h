#pragma once

#include <QObject>

class QSocketNotifier;

namespace tkw {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so that a session logout or
// `kill` closes the window the normal way and the log gets its end lines.
class CTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit CTerminationSignals(QObject* parent = nullptr);
    ~CTerminationSignals() override;

signals:
    void terminationRequested();

private:
    void OnSignalByte();

    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace tkw
