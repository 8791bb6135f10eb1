#pragma once

#include <QString>
#include <QUrl>
#include <chrono>

namespace tkw {

// The document at `url` as text (UTF-8), or an empty text when it cannot be had in `timeout`: no
// answer, an error status, or a connection that stalls. Waits in a local event loop, so the
// windows keep painting meanwhile; the user's input waits until the fetch has ended.
QString GetUrlFileAsText(const QUrl& url, std::chrono::milliseconds timeout);

}  // namespace tkw
