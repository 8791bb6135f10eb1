#include "app/HelpCommands.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QUrlQuery>
#include <cerrno>

#include "app/AboutDlg.h"
#include "app/GuiMessages.h"
#include "app/UrlFile.h"
#include "components/utils/FileVersionInfo.h"
#include "components/utils/IniFile.h"
#include "components/utils/ReportError.h"
#include "components/utils/VersionText.h"
#include "shell/VendorAddresses.h"
#include "ui/MainFrame.h"

namespace tkw {
namespace {

VersionNumbers InstalledVersion() {
    const CFileVersionInfo version;
    return {version.GetFileVersionMajor(), version.GetFileVersionMinor(),
            version.GetFileVersionBuild(), version.GetFileVersionRevision()};
}

QString VersionText(const VersionNumbers& version) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(version[0])
        .arg(version[1])
        .arg(version[2])
        .arg(version[3]);
}

QUrl Address(const std::string& text) {
    return QUrl(QString::fromStdString(text));
}

}  // namespace

CHelpCommands::CHelpCommands(QWidget* window)
    : QObject(window),
      m_window(window),
      m_open([](const QUrl& url) { QDesktopServices::openUrl(url); }),
      m_message([](const QString& text, QMessageBox::Icon icon) { ShowMessage(text, icon); }),
      m_question([this](const QString& question) {
          return AskYesNo(m_window, question, false, QMessageBox::Warning);
      }),
      m_programFolder(QCoreApplication::applicationDirPath()) {}

void CHelpCommands::ConnectTo(CMainFrame& frame) {
    connect(&frame, &CMainFrame::helpRequested, this, &CHelpCommands::Help);
    connect(&frame, &CMainFrame::checkForNewVersionRequested, this,
            &CHelpCommands::CheckForNewVersion);
    connect(&frame, &CMainFrame::sendFeedbackRequested, this, &CHelpCommands::SendFeedback);
    connect(&frame, &CMainFrame::visitWebsiteRequested, this, &CHelpCommands::VisitWebsite);
    connect(&frame, &CMainFrame::aboutRequested, this, &CHelpCommands::About);
    connect(&frame, &CMainFrame::donateRequested, this, &CHelpCommands::Donate);
}

QString CHelpCommands::HelpFilePath() const {
    return m_programFolder + QStringLiteral("/help.chm");
}

void CHelpCommands::Help() {
    const QString path = HelpFilePath();
    if (QFileInfo(path).isFile()) {
        m_open(QUrl::fromLocalFile(path));
        return;
    }
    m_message(QStringLiteral("The ") + path +
                  QStringLiteral(" file was not found, reinstalling the application may fix the "
                                 "problem!"),
              QMessageBox::Critical);
}

void CHelpCommands::CheckForNewVersion() {
    // The wait keeps the window painting; a second check asked for meanwhile is not started.
    if (m_checking) {
        return;
    }
    m_checking = true;
    const QString text = GetUrlFileAsText(Address(UpdateInformationAddress()), m_fetchTimeout);
    m_checking = false;

    CIniFile information;
    information.SetIniFile(text.toStdString());
    const std::string latest = information.GetProfileStringW("LatestVersion");
    CFileVersionInfo program;
    if (!program.Open(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString())) {
        ReportError("Cannot get info about exe file !", errno);
        return;
    }
    if (latest.empty()) {
        return;  // the site did not answer or announces nothing
    }
    const auto published = SplitVersion(latest);
    if (!published) {
        m_message(QString::fromStdString(SystemErrorText(EINVAL)), QMessageBox::Critical);
        return;
    }
    const VersionNumbers installed = InstalledVersion();
    if (!IsNewerVersion(*published, installed)) {
        m_message(QStringLiteral("You have already the latest version installed!"),
                  QMessageBox::NoIcon);
        return;
    }
    const QString downloadPage = QString::fromStdString(DownloadPage());
    const QString question =
        QStringLiteral("You are using version ") + VersionText(installed) +
        QStringLiteral(" but version ") + QString::fromStdString(latest) +
        QStringLiteral(" is available! You can as always download the new version at ") +
        downloadPage + QStringLiteral(" - do you want to visit this website now ?");
    if (m_question(question)) {
        m_open(QUrl(downloadPage));
    }
}

QUrl CHelpCommands::FeedbackMailUrl() {
    QUrl mail;
    mail.setScheme(QStringLiteral("mailto"));
    mail.setPath(QString::fromStdString(SupportAddress()));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
                       QStringLiteral("Tarnwick ") + VersionText(InstalledVersion()));
    mail.setQuery(query);
    return mail;
}

void CHelpCommands::SendFeedback() {
    m_open(FeedbackMailUrl());
}

void CHelpCommands::VisitWebsite() {
    m_open(Address(VendorWebsite()));
}

void CHelpCommands::Donate() {
    m_open(Address(DownloadPage()));
}

void CHelpCommands::About() {
    CAboutDlg about(m_window, m_open);
    about.exec();
}

}  // namespace tkw
