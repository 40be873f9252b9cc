#include "programmes/ProgrammeGuide.h"

#include "programmes/GuideLog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>

namespace {

constexpr int kTransferTimeoutMs = 60 * 1000;

} // namespace

ProgrammeGuide::ProgrammeGuide(QObject *parent) : QObject(parent) {
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &ProgrammeGuide::refresh);
    m_reading.setMaxThreadCount(1);
}

ProgrammeGuide::~ProgrammeGuide() {
    m_cancelled->store(true);
    // Quietly: a fetch cut short by the end of the program is no failure to log.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    m_reading.waitForDone();
}

void ProgrammeGuide::start(const QString &address) {
    m_address = address.trimmed();
    if (m_address.isEmpty())
        return;
    m_refresh.start();
    QTimer::singleShot(kFirstFetchDelayMs, this, &ProgrammeGuide::refresh);
}

ChannelProgrammes ProgrammeGuide::programmes(const QString &channelId) const {
    if (!m_data || channelId.isEmpty())
        return {};
    return m_data->value(channelId);
}

void ProgrammeGuide::refresh() {
    if (m_busy || m_address.isEmpty())
        return;
    m_busy = true;
    const QUrl url(m_address);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        download(url);
    else if (scheme == QLatin1String("file"))
        readInBackground(url.toLocalFile());
    // No scheme (or a drive-like one letter): a path, relative to the working folder.
    else if (scheme.size() <= 1)
        readInBackground(QFileInfo(m_address).absoluteFilePath());
    else
        fail(QStringLiteral("unsupported guide address %1").arg(m_address));
}

void ProgrammeGuide::download(const QUrl &url) {
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_download = std::make_unique<QTemporaryFile>();
    if (!m_download->open()) {
        fail(QStringLiteral("cannot make a file for the guide: %1").arg(m_download->errorString()));
        return;
    }
    m_downloaded = 0;
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        // Straight to the file: a guide is tens of megabytes and the UI thread only moves bytes.
        const QByteArray block = m_reply->readAll();
        m_downloaded += block.size();
        if (m_downloaded > kMaxDownloadBytes) {
            m_reply->abort();
            return;
        }
        if (m_download->write(block) != block.size())
            m_reply->abort();
    });
    connect(m_reply, &QNetworkReply::finished, this, &ProgrammeGuide::downloadFinished);
}

void ProgrammeGuide::downloadFinished() {
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (m_downloaded > kMaxDownloadBytes) {
        fail(QStringLiteral("guide at %1 is larger than %2 bytes").arg(m_address).arg(kMaxDownloadBytes));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(QStringLiteral("cannot fetch the guide at %1: %2").arg(m_address, reply->errorString()));
        return;
    }
    m_download->write(reply->readAll());
    if (!m_download->flush()) {
        fail(QStringLiteral("cannot keep the guide: %1").arg(m_download->errorString()));
        return;
    }
    readInBackground(m_download->fileName());
}

void ProgrammeGuide::readInBackground(const QString &path) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const std::shared_ptr<std::atomic_bool> cancelled = m_cancelled;
    m_reading.start([this, path, now, cancelled] {
        const GuideLoad load = loadGuideFile(path, now - kKeepBeforeSecs, now + kKeepAfterSecs, cancelled.get());
        if (cancelled->load())
            return;
        // Queued to the guide's thread; dropped with the event if the guide is gone by then.
        QMetaObject::invokeMethod(this, [this, load] { readFinished(load); }, Qt::QueuedConnection);
    });
}

void ProgrammeGuide::readFinished(const GuideLoad &load) {
    m_download.reset();
    if (!load.data) {
        fail(QStringLiteral("cannot read the guide at %1: %2").arg(m_address, load.error));
        return;
    }
    m_busy = false;
    m_data = load.data;
    qCInfo(lcGuide) << "guide read:" << load.programmes << "programmes of" << m_data->size() << "channels";
    emit changed();
}

void ProgrammeGuide::fail(const QString &why) {
    m_download.reset();
    m_busy = false;
    qCWarning(lcGuide).noquote() << why;
    emit failed(why);
}
