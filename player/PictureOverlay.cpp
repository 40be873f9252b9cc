#include "player/PictureOverlay.h"

void PictureOverlay::showBanner(const Banner &banner, qint64 nowMs) {
    m_banner = banner;
    m_bannerUntilMs = nowMs + kBannerMs;
}

void PictureOverlay::showNotice(const QString &text, qint64 nowMs, qint64 durationMs) {
    m_notice = text;
    m_noticeUntilMs = nowMs + durationMs;
}

void PictureOverlay::showFacts(const QStringList &lines, qint64 nowMs) {
    m_facts = lines;
    m_factsUntilMs = nowMs + kFactsMs;
}

QStringList PictureOverlay::facts(qint64 nowMs) const {
    return nowMs < m_factsUntilMs ? m_facts : QStringList();
}

std::optional<PictureOverlay::Banner> PictureOverlay::banner(qint64 nowMs) const {
    if (nowMs >= m_bannerUntilMs)
        return std::nullopt;
    return m_banner;
}

QString PictureOverlay::notice(qint64 nowMs) const {
    return nowMs < m_noticeUntilMs ? m_notice : QString();
}

qint64 PictureOverlay::nextExpiryMs(qint64 nowMs) const {
    qint64 next = -1;
    for (const qint64 until : {m_bannerUntilMs, m_noticeUntilMs, m_factsUntilMs}) {
        if (until > nowMs && (next < 0 || until < next))
            next = until;
    }
    return next;
}
