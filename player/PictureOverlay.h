#pragma once

#include "programmes/GuideProgramme.h"

#include <QString>
#include <QStringList>
#include <optional>

// What is shown over the picture besides the picture itself: the channel banner, a short notice
// (the volume, a channel number not found) and the digits being typed. Times are the caller's
// clock, in milliseconds.
class PictureOverlay {
public:
    static constexpr qint64 kBannerMs = 4000;
    static constexpr qint64 kNoticeMs = 2000;
    static constexpr qint64 kFactsMs = 5000;

    struct Banner {
        QString number;
        QString name;
        // The channel's programmes from the guide, in order; empty without one. Now and next are
        // picked from them when drawn, so a banner up across a programme's end follows it.
        ChannelProgrammes programmes;
        // The starts of those marked for recording: their titles carry a red dot.
        QList<qint64> markedStarts = {};
    };

    void showBanner(const Banner &banner, qint64 nowMs);
    void showNotice(const QString &text, qint64 nowMs, qint64 durationMs = kNoticeMs);
    // The stream's facts, a title line then one line each.
    void showFacts(const QStringList &lines, qint64 nowMs);
    // Shown until replaced or cleared with an empty text.
    void setTypedDigits(const QString &digits) { m_digits = digits; }

    std::optional<Banner> banner(qint64 nowMs) const;
    QString notice(qint64 nowMs) const;
    QStringList facts(qint64 nowMs) const;
    QString typedDigits() const { return m_digits; }
    // When something shown now goes away by itself; -1 when nothing will.
    qint64 nextExpiryMs(qint64 nowMs) const;

private:
    Banner m_banner;
    qint64 m_bannerUntilMs = -1;
    QString m_notice;
    qint64 m_noticeUntilMs = -1;
    QString m_digits;
    QStringList m_facts;
    qint64 m_factsUntilMs = -1;
};
