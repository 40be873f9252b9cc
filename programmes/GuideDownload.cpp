#include "programmes/GuideDownload.h"

#include "programmes/AnonymousFile.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// How soon a cancelled download notices.
constexpr int kCancelCheckMs = 50;

} // namespace

std::unique_ptr<QFile> GuideDownload::fetch(const QUrl &url, const std::atomic_bool &cancelled, QString *why,
                                            qint64 maxBytes) {
    std::unique_ptr<QFile> file = AnonymousFile::create(why);
    if (!file)
        return nullptr;
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(kStallTimeoutMs);
    QNetworkReply *reply = network.get(request);
    QEventLoop loop;
    qint64 received = 0;
    QString failure;
    const auto stop = [&](const QString &reason) {
        if (failure.isEmpty())
            failure = reason;
        reply->abort();
    };
    const auto keep = [&] {
        const QByteArray block = reply->readAll();
        received += block.size();
        if (received > maxBytes)
            stop(QStringLiteral("guide at %1 is larger than %2 bytes").arg(url.toString()).arg(maxBytes));
        else if (file->write(block) != block.size())
            stop(QStringLiteral("cannot keep the guide: %1").arg(file->errorString()));
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, keep);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer cancelCheck;
    QObject::connect(&cancelCheck, &QTimer::timeout, &loop, [&] {
        if (cancelled.load())
            stop(QStringLiteral("fetch cancelled"));
    });
    cancelCheck.start(kCancelCheckMs);
    if (!reply->isFinished())
        loop.exec();
    if (failure.isEmpty() && reply->error() == QNetworkReply::NoError)
        keep();
    if (failure.isEmpty() && reply->error() != QNetworkReply::NoError)
        failure =
            QStringLiteral("cannot fetch the guide at %1: %2").arg(url.toString(), reply->errorString());
    delete reply;
    if (!failure.isEmpty()) {
        *why = failure;
        return nullptr;
    }
    if (!file->flush() || !file->seek(0)) {
        *why = QStringLiteral("cannot keep the guide: %1").arg(file->errorString());
        return nullptr;
    }
    return file;
}
