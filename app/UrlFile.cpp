#include "app/UrlFile.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

namespace tkw {
namespace {

// An information file is a few lines; anything far larger is not one.
constexpr qint64 kLargestDocument = 1024 * 1024;

}  // namespace

QString GetUrlFileAsText(const QUrl& url, std::chrono::milliseconds timeout) {
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(network.get(request));

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(),
                     [&reply](qint64 received, qint64) {
                         if (received > kLargestDocument) {
                             reply->abort();
                         }
                     });
    deadline.start(timeout);
    if (!reply->isFinished()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (reply->error() != QNetworkReply::NoError) {
        return {};
    }
    return QString::fromUtf8(reply->readAll());
}

}  // namespace tkw
