#pragma once

#include "programmes/GuideFile.h"
#include "programmes/GuideProgramme.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

// The programme guide named by the playlist: fetched (http, https or a file) at start and every
// six hours, read on a thread of its own, and handed to the UI thread whole, in one swap. A guide
// that cannot be had is logged (halcyon.guide) and the last good one is kept.
class ProgrammeGuide : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 6 * 3600 * 1000;
    // What is kept around the time of reading: the banner shows now and next, a day is plenty.
    static constexpr qint64 kKeepBeforeSecs = 3600;
    static constexpr qint64 kKeepAfterSecs = 24 * 3600;
    // The first fetch waits this long, so that it does not compete with the first picture.
    static constexpr int kFirstFetchDelayMs = 1000;
    // A download bigger than this is abandoned.
    static constexpr qint64 kMaxDownloadBytes = 256LL * 1024 * 1024;

    explicit ProgrammeGuide(QObject *parent = nullptr);
    ~ProgrammeGuide() override;

    // Fetches from address shortly and every kRefreshMs; an empty address fetches nothing.
    void start(const QString &address);
    // Fetches again now (unless a fetch is under way).
    void refresh();

    bool hasGuide() const { return m_data != nullptr; }
    // The channel's programmes in order; empty when the guide does not know it.
    ChannelProgrammes programmes(const QString &channelId) const;
    // A fetch or a reading is under way.
    bool isBusy() const { return m_busy; }

signals:
    // A new guide replaced the one before.
    void changed();
    // A fetch ended without a guide (logged already); the guide before is kept.
    void failed(const QString &why);

private:
    void download(const QUrl &url);
    void downloadFinished();
    void readInBackground(const QString &path);
    void readFinished(const GuideLoad &load);
    void fail(const QString &why);

    QString m_address;
    QTimer m_refresh;
    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    std::unique_ptr<QTemporaryFile> m_download;
    qint64 m_downloaded = 0;
    std::shared_ptr<const GuideData> m_data;
    bool m_busy = false;
    std::shared_ptr<std::atomic_bool> m_cancelled = std::make_shared<std::atomic_bool>(false);
    // Last, so it is waited for first: a reading still under way never outlives the guide.
    QThreadPool m_reading;
};
