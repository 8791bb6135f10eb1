#include "app/GuiMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "components/utils/ReportError.h"
#include "ui/GuiThread.h"

namespace tkw {
namespace {

bool MessageBoxesSwitchedOff() {
    return qEnvironmentVariableIntValue("TARNWICK_NO_MESSAGE_BOXES") == 1;
}

void ShowOnGuiThread(const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, QStringLiteral("Tarnwick"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

}  // namespace

void ShowMessage(const QString& text, QMessageBox::Icon icon) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    if (MessageBoxesSwitchedOff() || QApplication::instance() == nullptr) {
        return;
    }
    RunOnGuiThread(QApplication::instance(), [&text, icon] { ShowOnGuiThread(text, icon); });
}

bool AskYesNo(QWidget* parent, const QString& question, bool unattendedAnswer,
              QMessageBox::Icon icon) {
    std::fprintf(stderr, "%s\n", question.toLocal8Bit().constData());
    std::fflush(stderr);
    if (MessageBoxesSwitchedOff() || QApplication::instance() == nullptr) {
        return unattendedAnswer;
    }
    bool yes = false;
    const auto ask = [&] {
        QMessageBox box(icon, QStringLiteral("Tarnwick"), question,
                        QMessageBox::Yes | QMessageBox::No, parent);
        yes = box.exec() == QMessageBox::Yes;
    };
    RunOnGuiThread(QApplication::instance(), ask);
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
