#include "ui/MainFrame.h"

#include <QByteArray>
#include <QCloseEvent>

#include "app/profile/ProfileKeys.h"
#include "app/profile/ProfileStore.h"

namespace tkw {
namespace {

constexpr std::string_view kGeometryKey = "MainFrameGeometry";
constexpr std::string_view kStateKey = "MainFrameState";

QByteArray ReadLayoutValue(std::string_view key) {
    const auto bytes = GetProfileBinary(profile::kSectionWorkspace, key);
    if (!bytes) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes->data()),
                      static_cast<qsizetype>(bytes->size()));
}

void WriteLayoutValue(std::string_view key, const QByteArray& value) {
    WriteProfileBinary(profile::kSectionWorkspace, key,
                       {reinterpret_cast<const std::uint8_t*>(value.constData()),
                        static_cast<std::size_t>(value.size())});
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setMinimumSize(640, 480);
}

void CMainFrame::RestoreLayout() {
    restoreGeometry(ReadLayoutValue(kGeometryKey));
    restoreState(ReadLayoutValue(kStateKey));
}

void CMainFrame::SaveLayout() {
    WriteLayoutValue(kGeometryKey, saveGeometry());
    WriteLayoutValue(kStateKey, saveState());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    emit closing();
    SaveLayout();
    QMainWindow::closeEvent(event);
}

}  // namespace tkw
