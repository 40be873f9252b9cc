#pragma once

#include "programmes/FetchSchedule.h"
#include "programmes/FetchThread.h"
#include "programmes/GuideProgramme.h"

#include <QObject>
#include <QTimer>
#include <limits>
#include <memory>

// The programme guide named by the playlist: fetched (http, https or a file) and read on a thread
// of its own, and handed to the UI thread whole, in one swap; fetched again every six hours, and
// after a failure within minutes (see FetchSchedule). A guide that cannot be had is logged
// (halcyon.guide) and the last good one is kept. Going away never waits long for a fetch.
class ProgrammeGuide : public QObject {
    Q_OBJECT
public:
    // Every programme of the guide is kept, whenever it is: a grid of the days ahead and a recording
    // set from it need more than the banner's now and next. The reader's limits still bound it.
    static constexpr qint64 kKeepFrom = std::numeric_limits<qint64>::min();
    static constexpr qint64 kKeepUntil = std::numeric_limits<qint64>::max();
    // The first fetch waits this long, so that it does not compete with the first picture.
    static constexpr int kFirstFetchDelayMs = 1000;

    explicit ProgrammeGuide(QObject *parent = nullptr);
    ~ProgrammeGuide() override;

    // Fetches from address shortly, and again as the schedule says; an empty address fetches nothing.
    void start(const QString &address);
    // Fetches again now (unless a fetch is under way).
    void refresh();

    bool hasGuide() const { return m_data != nullptr; }
    // The channel's programmes in order; empty when the guide does not know it.
    ChannelProgrammes programmes(const QString &channelId) const;
    // Those of them that end after from and start before to: what a view of a few hours needs, made
    // without the rest of the channel's days.
    ChannelProgrammes programmes(const QString &channelId, qint64 from, qint64 to) const;
    // The guide as read, shared: it never changes once handed (a new guide replaces it whole).
    std::shared_ptr<const GuideStore> store() const { return m_data; }
    // A fetch or a reading is under way.
    bool isBusy() const { return m_fetch.isBusy(); }
    // The wait before the next fetch, set when the last one ended; -1 before any ended.
    qint64 nextFetchDelayMs() const { return m_nextDelayMs; }

signals:
    // A new guide replaced the one before.
    void changed();
    // A fetch ended without a guide (logged already); the guide before is kept.
    void failed(const QString &why);

private:
    void fetched(const GuideLoad &load);
    void scheduleNext(qint64 delayMs);

    QString m_address;
    QTimer m_next;
    FetchSchedule m_schedule;
    qint64 m_nextDelayMs = -1;
    std::shared_ptr<const GuideStore> m_data;
    FetchThread m_fetch;
};
