#include "app/AboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "components/utils/FileVersionInfo.h"
#include "shell/VendorAddresses.h"

namespace tkw {
namespace {

QIcon ApplicationIcon() {
    const QIcon own = QApplication::windowIcon();
    return own.isNull() ? QIcon(QStringLiteral(":/icons/backup-48.png")) : own;
}

QString NameAndVersion() {
    const CFileVersionInfo version;
    return QStringLiteral("Tarnwick, Version %1.%2")
        .arg(version.GetFileVersionMajor())
        .arg(version.GetFileVersionMinor());
}

// The dark looks keep the standard dark-blue link colour, which can hardly be read on their
// background; there the link is drawn light blue.
QString LinkTo(const QString& address, const QPalette& palette) {
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    const QString style = dark ? QStringLiteral(" style=\"color: #7fb8ff;\"") : QString();
    return QStringLiteral("<a href=\"%1\"%2>%1</a>").arg(address.toHtmlEscaped(), style);
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent, std::function<void(const QUrl&)> navigate)
    : QDialog(parent), m_navigate(std::move(navigate)) {
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("About Tarnwick"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("AboutIcon"));
    icon->setPixmap(ApplicationIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(NameAndVersion(), this);
    name->setObjectName(QStringLiteral("AboutText"));

    const QString site = QString::fromStdString(VendorWebsite());
    auto* link = new QLabel(LinkTo(site, palette()), this);
    link->setObjectName(QStringLiteral("AboutLink"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link, &QLabel::linkActivated, this,
            [this](const QString& address) { m_navigate(QUrl(address)); });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setDefault(true);
    QPushButton* donate =
        buttons->addButton(QStringLiteral("Donate"), QDialogButtonBox::ActionRole);
    donate->setObjectName(QStringLiteral("DonateButton"));
    donate->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(donate, &QPushButton::clicked, this,
            [this] { m_navigate(QUrl(QString::fromStdString(DownloadPage()))); });

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->setHorizontalSpacing(20);
    layout->setVerticalSpacing(10);
    layout->addWidget(icon, 0, 0, 2, 1);
    layout->addWidget(name, 0, 1);
    layout->addWidget(link, 1, 1);
    layout->setRowMinimumHeight(2, 8);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tkw
