#include "app/GuiMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

#include "components/utils/ReportError.h"

namespace tkw {
namespace {

bool MessageBoxesSwitchedOff() {
    return qEnvironmentVariableIntValue("TARNWICK_NO_MESSAGE_BOXES") == 1;
}

void ShowOnGuiThread(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tarnwick"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

}  // namespace

void ShowMessage(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    if (MessageBoxesSwitchedOff() || QApplication::instance() == nullptr) {
        return;
    }
    // A blocking call from the GUI thread to itself would never return.
    if (QThread::currentThread() == QApplication::instance()->thread()) {
        ShowOnGuiThread(text);
    } else {
        QMetaObject::invokeMethod(
            QApplication::instance(), [text] { ShowOnGuiThread(text); },
            Qt::BlockingQueuedConnection);
    }
}

bool AskYesNo(QWidget* parent, const QString& question, bool unattendedAnswer) {
    std::fprintf(stderr, "%s\n", question.toLocal8Bit().constData());
    std::fflush(stderr);
    if (MessageBoxesSwitchedOff() || QApplication::instance() == nullptr) {
        return unattendedAnswer;
    }
    bool yes = false;
    const auto ask = [&] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Tarnwick"), question,
                        QMessageBox::Yes | QMessageBox::No, parent);
        yes = box.exec() == QMessageBox::Yes;
    };
    if (QThread::currentThread() == QApplication::instance()->thread()) {
        ask();
    } else {
        QMetaObject::invokeMethod(QApplication::instance(), ask, Qt::BlockingQueuedConnection);
    }
    return yes;
}

void InstallGuiErrorReporter() {
    SetErrorReporter([](const std::string& message, int errorCode) {
        QString text = QString::fromStdString(message);
        if (errorCode != 0) {
            text += QStringLiteral("\n\n") + QString::fromStdString(SystemErrorText(errorCode)) +
                    QStringLiteral(" (error %1)").arg(errorCode);
        }
        ShowMessage(text);
    });
}

}  // namespace tkw
