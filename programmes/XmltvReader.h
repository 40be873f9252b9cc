#pragma once

#include "programmes/GuideProgramme.h"

#include <QString>
#include <atomic>

class QIODevice;
class QXmlStreamReader;

// Reads an XMLTV guide from a device, keeping of each programme only its channel, times and first
// title, and only the programmes that overlap the window: a two-week guide shrinks to the day the
// banner can show. Whatever the input, the reading stays within the limits and ends with either
// the guide or the reason it was refused (the input's size is the device's to bound: see
// readGuide()).
class XmltvReader {
public:
    struct Limits {
        // XMLTV needs five levels or so; far more is someone trying the reader's stack.
        int maxDepth = 32;
        int maxProgrammes = 200'000;
        int maxTitleCharacters = 200;
    };

    // Keeps the programmes that end after from and start before to (seconds since the epoch).
    XmltvReader(qint64 from, qint64 to, Limits limits);
    XmltvReader(qint64 from, qint64 to) : XmltvReader(from, to, Limits()) {}

    // Reading stops, refused, soon after *cancelled becomes true.
    void setCancelFlag(const std::atomic_bool *cancelled) { m_cancelled = cancelled; }

    // True with the guide in data(); false with the reason in error().
    bool read(QIODevice &device);

    GuideData takeData() { return std::move(m_data); }
    const GuideData &data() const { return m_data; }
    QString error() const { return m_error; }
    // Programmes kept.
    int programmeCount() const { return m_kept; }

private:
    struct Pending {
        bool open = false;
        bool wanted = false;
        bool inTitle = false;
        bool hasTitle = false;
        QString channel;
        qint64 start = 0;
        qint64 stop = -1;
        QString title;
    };

    bool refuse(const QString &why);
    void startProgramme(const QXmlStreamReader &xml);
    void endProgramme();
    void finish();

    const qint64 m_from;
    const qint64 m_to;
    const Limits m_limits;
    const std::atomic_bool *m_cancelled = nullptr;
    GuideData m_data;
    Pending m_pending;
    int m_kept = 0;
    QString m_error;
};
