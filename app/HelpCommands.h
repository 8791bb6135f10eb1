#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>

namespace tkw {

class CMainFrame;

// The Help menu's commands: the help file, the check for a newer version, mail to support, the
// vendor's web site, the donation page and the about box. Each runs on the GUI thread and ends
// before it returns. How addresses are opened, how the user is told and asked, where the program
// lives and how long the version check waits can be replaced, so tests see what the commands do.
class CHelpCommands : public QObject {
    Q_OBJECT
public:
    using UrlOpener = std::function<void(const QUrl&)>;
    using Messenger = std::function<void(const QString& text, QMessageBox::Icon icon)>;
    using Question = std::function<bool(const QString& question)>;

    // The longest the version check waits for the vendor's site.
    static constexpr std::chrono::milliseconds kFetchTimeout{10000};

    // Opens addresses through the desktop, and shows messages and questions on `window`;
    // a question nobody can answer (message boxes switched off) is taken as No.
    explicit CHelpCommands(QWidget* window);

    // Carries out the frame's Help menu entries, its Help button and F1.
    void ConnectTo(CMainFrame& frame);

    void SetUrlOpener(UrlOpener opener) { m_open = std::move(opener); }
    void SetMessenger(Messenger messenger) { m_message = std::move(messenger); }
    void SetQuestion(Question question) { m_question = std::move(question); }
    void SetProgramFolder(const QString& folder) { m_programFolder = folder; }
    void SetFetchTimeout(std::chrono::milliseconds timeout) { m_fetchTimeout = timeout; }

    void Help();
    void CheckForNewVersion();
    void SendFeedback();
    void VisitWebsite();
    void Donate();
    void About();

    // help.chm in the program's folder.
    QString HelpFilePath() const;
    // A mail to support whose subject names the program and its version.
    static QUrl FeedbackMailUrl();

private:
    QPointer<QWidget> m_window;
    UrlOpener m_open;
    Messenger m_message;
    Question m_question;
    QString m_programFolder;
    std::chrono::milliseconds m_fetchTimeout = kFetchTimeout;
    bool m_checking = false;
};

}  // namespace tkw
