// The Help menu's commands: the help file, the version check against a site served from loopback,
// the web links, the about box and the status-bar prompts.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <memory>
#include <optional>

#include "app/AboutDlg.h"
#include "app/HelpCommands.h"
#include "tests/support/TestProfile.h"
#include "ui/MainFrame.h"

namespace tkw {
namespace {

// A web site on a loopback port that serves one document at /tkw/info.txt, answers other paths
// with 404, or (stalled) takes connections and never answers.
class LoopbackSite : public QObject {
public:
    explicit LoopbackSite(QByteArray information, int status = 200, bool stalled = false)
        : m_information(std::move(information)), m_status(status), m_stalled(stalled) {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, &LoopbackSite::Accept);
        qputenv("TARNWICK_WEBSITE", Address().toUtf8());
    }
    ~LoopbackSite() override { qunsetenv("TARNWICK_WEBSITE"); }

    QString Address() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    int Connections() const { return m_connections; }

private:
    void Accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            socket->setParent(this);
            if (!m_stalled) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
            }
        }
    }

    void Answer(QTcpSocket* socket) {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        const QByteArray path = request.split(' ').value(1);
        const bool found = path == "/tkw/info.txt" && m_status == 200;
        const QByteArray body = found ? m_information : QByteArray("LatestVersion=9.9.9.9\n");
        const QByteArray status =
            found ? QByteArray("200 OK") : QByteArray::number(m_status) + QByteArray(" Not Found");
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_information;
    int m_status;
    bool m_stalled;
    int m_connections = 0;
    std::map<QTcpSocket*, QByteArray> m_requests;
};

// What the commands did: the addresses opened, the messages shown, the questions asked.
struct Outcome {
    QList<QUrl> opened;
    QStringList messages;
    QList<QMessageBox::Icon> icons;
    QStringList questions;
};

void Observe(CHelpCommands& commands, Outcome& outcome, std::optional<bool> answer) {
    commands.SetUrlOpener([&outcome](const QUrl& url) { outcome.opened.append(url); });
    commands.SetMessenger([&outcome](const QString& text, QMessageBox::Icon icon) {
        outcome.messages.append(text);
        outcome.icons.append(icon);
    });
    if (answer) {
        commands.SetQuestion([&outcome, yes = *answer](const QString& question) {
            outcome.questions.append(question);
            return yes;
        });
    }
}

QString NewerVersionQuestion(const QString& published, const QString& site) {
    return QStringLiteral("You are using version 1.2.0.1 but version ") + published +
           QStringLiteral(" is available! You can as always download the new version at ") + site +
           QStringLiteral("/download.php - do you want to visit this website now ?");
}

// Acts on the about box from a timer, once the box is up and modal.
void WhenAboutBoxIsUp(const std::function<void(QDialog&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(about != nullptr);
        act(*about);
    });
}

}  // namespace

class HelpCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void helpOpensTheFileBesideTheProgram() {
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("help.chm")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QWidget window;
        CHelpCommands commands(&window);
        Outcome outcome;
        Observe(commands, outcome, false);
        commands.SetProgramFolder(folder.path());
        commands.Help();
        QCOMPARE(outcome.opened, QList<QUrl>{QUrl::fromLocalFile(file.fileName())});
        QVERIFY(outcome.messages.isEmpty());
    }

    void helpWithoutTheFileNamesTheFullPathLookedFor() {
        QTemporaryDir folder;
        QWidget window;
        CHelpCommands commands(&window);
        Outcome outcome;
        Observe(commands, outcome, false);
        commands.SetProgramFolder(folder.path());
        commands.Help();
        QVERIFY(outcome.opened.isEmpty());
        QCOMPARE(outcome.messages,
                 QStringList{QStringLiteral("The ") + folder.path() +
                             QStringLiteral("/help.chm file was not found, reinstalling the "
                                            "application may fix the problem!")});
        QCOMPARE(outcome.icons.value(0), QMessageBox::Critical);
    }

    void versionCheckTellsWhatThePublishedVersionMeans_data() {
        QTest::addColumn<QByteArray>("information");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("newer");  // the published version the question names
        QTest::addColumn<bool>("downloadOpened");

        const QString latest = QStringLiteral("You have already the latest version installed!");
        const int none = QMessageBox::NoIcon;
        QTest::newRow("same") << QByteArray("LatestVersion=1.2.0.1\n") << 200 << true << latest
                              << none << QString() << false;
        QTest::newRow("revision up, Yes")
            << QByteArray("[Tarnwick]\r\nLatestVersion = 1.2.0.2 \r\n") << 200 << true << QString()
            << none << QStringLiteral("1.2.0.2") << true;
        QTest::newRow("revision up, No") << QByteArray("LatestVersion=1.2.0.2") << 200 << false
                                         << QString() << none << QStringLiteral("1.2.0.2") << false;
        QTest::newRow("major up") << QByteArray("LatestVersion=2.0.0.0") << 200 << false
                                  << QString() << none << QStringLiteral("2.0.0.0") << false;
        QTest::newRow("older with a greater build") << QByteArray("LatestVersion=1.1.5.0") << 200
                                                    << true << latest << none << QString() << false;
        QTest::newRow("parts are numbers, not text")
            << QByteArray("LatestVersion=1.10.0.0") << 200 << false << QString() << none
            << QStringLiteral("1.10.0.0") << false;
        QTest::newRow("three parts") << QByteArray("LatestVersion=1.2.0") << 200 << true << latest
                                     << none << QString() << false;
        QTest::newRow("runs of full stops")
            << QByteArray("LatestVersion=.1..2.0...3") << 200 << false << QString() << none
            << QStringLiteral(".1..2.0...3") << false;
        QTest::newRow("two parts")
            << QByteArray("LatestVersion=1.2") << 200 << true << QStringLiteral("Invalid argument")
            << int(QMessageBox::Critical) << QString() << false;
        QTest::newRow("comments and other keys first")
            << QByteArray(
                   "; LatestVersion=9.0.0.0\n# LatestVersion=9.0.0.0\n[Other]\n"
                   "Latest=9.0.0.0\nLatestVersion=1.0.0.0\nLatestVersion=9.0.0.0\n")
            << 200 << true << latest << none << QString() << false;
        QTest::newRow("no such key") << QByteArray("Version=9.0.0.0\n") << 200 << true << QString()
                                     << none << QString() << false;
        QTest::newRow("empty value") << QByteArray("LatestVersion=  \n") << 200 << true << QString()
                                     << none << QString() << false;
        // An error page is not the information file, whatever it says.
        QTest::newRow("not found")
            << QByteArray() << 404 << true << QString() << none << QString() << false;
    }

    void versionCheckTellsWhatThePublishedVersionMeans() {
        QFETCH(QByteArray, information);
        QFETCH(int, status);
        QFETCH(bool, yes);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(QString, newer);
        QFETCH(bool, downloadOpened);

        LoopbackSite site(information, status);
        QWidget window;
        CHelpCommands commands(&window);
        Outcome outcome;
        Observe(commands, outcome, yes);
        commands.CheckForNewVersion();

        QCOMPARE(site.Connections(), 1);
        QCOMPARE(outcome.messages, message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty()) {
            QCOMPARE(int(outcome.icons.value(0)), icon);
        }
        QCOMPARE(outcome.questions, newer.isEmpty()
                                        ? QStringList()
                                        : QStringList{NewerVersionQuestion(newer, site.Address())});
        QCOMPARE(outcome.opened,
                 downloadOpened
                     ? QList<QUrl>{QUrl(site.Address() + QStringLiteral("/download.php"))}
                     : QList<QUrl>());
    }

    void aQuestionNobodyCanAnswerIsTakenAsNo() {
        QCOMPARE(qgetenv("TARNWICK_NO_MESSAGE_BOXES"), QByteArray("1"));
        LoopbackSite site("LatestVersion=3.0.0.0\n");
        QWidget window;
        CHelpCommands commands(&window);
        Outcome outcome;
        Observe(commands, outcome, std::nullopt);  // the program's own question
        commands.CheckForNewVersion();
        QCOMPARE(site.Connections(), 1);
        QVERIFY(outcome.opened.isEmpty());
    }

    void aSiteThatDoesNotAnswerEndsTheCheckSilently_data() {
        QTest::addColumn<bool>("listening");
        QTest::newRow("stalls") << true;
        QTest::newRow("refuses") << false;
    }

    void aSiteThatDoesNotAnswerEndsTheCheckSilently() {
        QFETCH(bool, listening);
        std::unique_ptr<LoopbackSite> site = std::make_unique<LoopbackSite>("", 200, true);
        if (!listening) {
            const QString address = site->Address();
            site.reset();  // the port is free again: the connection is refused
            qputenv("TARNWICK_WEBSITE", address.toUtf8());
        }
        QWidget window;
        CHelpCommands commands(&window);
        commands.SetFetchTimeout(std::chrono::milliseconds(50));
        Outcome outcome;
        Observe(commands, outcome, true);
        // The window's own events go on while the check waits.
        bool eventsRan = false;
        QTimer::singleShot(0, [&eventsRan] { eventsRan = true; });
        commands.CheckForNewVersion();
        qunsetenv("TARNWICK_WEBSITE");

        QVERIFY(eventsRan);
        if (listening) {
            QCOMPARE(site->Connections(), 1);
        }
        QVERIFY(outcome.messages.isEmpty());
        QVERIFY(outcome.questions.isEmpty());
        QVERIFY(outcome.opened.isEmpty());
        QVERIFY(CHelpCommands::kFetchTimeout <= std::chrono::seconds(10));
    }

    void feedbackIsAMailToSupportNamingTheProgram() {
        QWidget window;
        CHelpCommands commands(&window);
        Outcome outcome;
        Observe(commands, outcome, false);
        commands.SendFeedback();
        QCOMPARE(outcome.opened.size(), 1);
        const QUrl mail = outcome.opened.first();
        QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
        QCOMPARE(mail.path(), QStringLiteral("support@quorvane-software.example"));
        QCOMPARE(QUrlQuery(mail).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
                 QStringLiteral("Tarnwick 1.2.0.1"));
        QVERIFY(mail.toString(QUrl::FullyEncoded)
                    .startsWith(QStringLiteral(
                        "mailto:support@quorvane-software.example?subject=Tarnwick")));
    }

    void theAboutBoxShowsTheProgramAndItsSite() {
        QList<QUrl> opened;
        CAboutDlg about(nullptr, [&opened](const QUrl& url) { opened.append(url); });
        QCOMPARE(about.windowTitle(), QStringLiteral("About Tarnwick"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("AboutText"))->text(),
                 QStringLiteral("Tarnwick, Version 1.2"));
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("AboutIcon"))->pixmap().isNull());
        auto* link = about.findChild<QLabel*>(QStringLiteral("AboutLink"));
        QVERIFY(link->text().contains(QStringLiteral(">http://www.quorvane-software.example</a>")));
        emit link->linkActivated(QStringLiteral("http://www.quorvane-software.example"));
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://www.quorvane-software.example"))});
        QPushButton* ok = nullptr;
        for (QPushButton* button : about.findChildren<QPushButton*>()) {
            ok = button->text() == QStringLiteral("OK") ? button : ok;
        }
        QVERIFY(ok && ok->isDefault());
    }

    void theAboutBoxClosesWithOkEscapeAndItsCloseBox_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("OK") << QStringLiteral("OK");
        QTest::newRow("Escape") << QStringLiteral("Escape");
        QTest::newRow("close box") << QStringLiteral("close");
    }

    void theAboutBoxClosesWithOkEscapeAndItsCloseBox() {
        QFETCH(QString, way);
        QWidget window;
        CHelpCommands commands(&window);
        Outcome outcome;
        Observe(commands, outcome, false);
        bool acted = false;
        WhenAboutBoxIsUp([&](QDialog& about) {
            acted = true;
            if (way == QStringLiteral("OK")) {
                QTest::keyClick(&about, Qt::Key_Return);  // the default button
            } else if (way == QStringLiteral("Escape")) {
                QTest::keyClick(&about, Qt::Key_Escape);
            } else {
                about.close();
            }
        });
        commands.About();  // returns once the box has closed
        QVERIFY(acted);
        QVERIFY(outcome.opened.isEmpty());
    }

    void donateInTheAboutBoxOpensTheDownloadPageAndKeepsTheBoxOpen() {
        QWidget window;
        CHelpCommands commands(&window);
        Outcome outcome;
        Observe(commands, outcome, false);
        bool stayedOpen = false;
        WhenAboutBoxIsUp([&](QDialog& about) {
            about.findChild<QPushButton*>(QStringLiteral("DonateButton"))->click();
            stayedOpen = about.isVisible() && QApplication::activeModalWidget() == &about;
            about.accept();
        });
        commands.About();
        QVERIFY(stayedOpen);
        QCOMPARE(
            outcome.opened,
            QList<QUrl>{QUrl(QStringLiteral("http://www.quorvane-software.example/download.php"))});
    }

    void theHelpEntriesPromptAndReachTheirCommands_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("opens");
        // A closed loopback port, so the version check ends at once.
        const QString site = QStringLiteral("http://127.0.0.1:1");
        QTest::newRow("help") << QStringLiteral("HelpMenuAction") << QStringLiteral("Display help")
                              << QStringLiteral("help.chm");
        QTest::newRow("toolbar help")
            << QStringLiteral("HelpAction") << QStringLiteral("Display help")
            << QStringLiteral("help.chm");
        QTest::newRow("check") << QStringLiteral("CheckForNewVersionAction")
                               << QStringLiteral("Check For New Versions ...") << QString();
        QTest::newRow("feedback") << QStringLiteral("SendFeedbackAction")
                                  << QStringLiteral("Send a emails to us, report a bug ...")
                                  << QStringLiteral("mailto:support@quorvane-software.example");
        QTest::newRow("website") << QStringLiteral("VisitWebsiteAction")
                                 << QStringLiteral("Open our site") << site;
        QTest::newRow("donate") << QStringLiteral("DonateAction")
                                << QStringLiteral("Donate me some money")
                                << site + QStringLiteral("/download.php");
    }

    void theHelpEntriesPromptAndReachTheirCommands() {
        QFETCH(QString, action);
        QFETCH(QString, prompt);
        QFETCH(QString, opens);
        test::TestProfile profile;
        CMainFrame frame;
        CHelpCommands commands(&frame);
        commands.ConnectTo(frame);
        Outcome outcome;
        Observe(commands, outcome, false);
        QTemporaryDir folder;
        QFile(folder.filePath(QStringLiteral("help.chm"))).open(QIODevice::WriteOnly);
        commands.SetProgramFolder(folder.path());
        commands.SetFetchTimeout(std::chrono::milliseconds(50));
        qputenv("TARNWICK_WEBSITE", "http://127.0.0.1:1/");

        auto* entry = frame.findChild<QAction*>(action);
        QVERIFY(entry != nullptr);
        QVERIFY(entry->isEnabled());
        QCOMPARE(entry->statusTip(), prompt);
        entry->trigger();
        qunsetenv("TARNWICK_WEBSITE");
        if (opens.isEmpty()) {
            QVERIFY(outcome.opened.isEmpty());
        } else {
            QCOMPARE(outcome.opened.size(), 1);
            const QString url = outcome.opened.first().toString();
            QVERIFY2(opens.startsWith(QStringLiteral("http"))
                         ? url == opens
                         : url.startsWith(opens) || url.endsWith(opens),
                     qPrintable(url));
        }
        QVERIFY(outcome.messages.isEmpty());
    }

    void f1AsksForHelp() {
        test::TestProfile profile;
        CMainFrame frame;
        QSignalSpy help(&frame, &CMainFrame::helpRequested);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame, Qt::Key_F1);
        QCOMPARE(help.count(), 1);
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::HelpCommandsTest)
#include "HelpCommandsTest.moc"
