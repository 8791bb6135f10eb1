#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

namespace tkw {

// The about box: the program's icon, name and version, a link to the vendor's web site and a
// Donate button. OK, Escape and the close box close it; Donate opens the download page and leaves
// the box open. Addresses are opened with `navigate`.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(QWidget* parent, std::function<void(const QUrl&)> navigate);

private:
    std::function<void(const QUrl&)> m_navigate;
};

}  // namespace tkw
