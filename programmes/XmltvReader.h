#pragma once

#include "programmes/GuideProgramme.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>

class QIODevice;
class QXmlStreamReader;

// Reads an XMLTV guide from a device, keeping of each programme only its channel, times and first
// title, and only the programmes that overlap the window asked for. A programme that is not
// well-formed (a control character, a stray '&', a tag left open) or whose times cannot be read is
// skipped, and the reading goes on at the next programme; a document that is not an XMLTV guide, or
// that ends before its end, is refused. Whatever the input, the reading stays within the limits
// (the input's size is the device's to bound: see readGuide()).
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
    ~XmltvReader();

    // Reading stops, refused, soon after *cancelled becomes true.
    void setCancelFlag(const std::atomic_bool *cancelled) { m_cancelled = cancelled; }

    // True with the guide in data(); false with the reason in error().
    bool read(QIODevice &device);

    GuideData takeData() { return std::move(m_data); }
    const GuideData &data() const { return m_data; }
    QString error() const { return m_error; }
    // Programmes kept.
    int programmeCount() const { return m_kept; }
    // Programmes left out because they were malformed or their times unreadable.
    int skippedCount() const { return m_skipped; }

private:
    struct Pending {
        bool open = false;
        // Its times or channel cannot be read: counted as skipped once it ends.
        bool unreadable = false;
        bool wanted = false;
        bool inTitle = false;
        bool hasTitle = false;
        QString channel;
        qint64 start = 0;
        qint64 stop = -1;
        QString title;
    };

    bool refuse(const QString &why);
    void restart();
    bool feed(QByteArrayView bytes);
    bool drain();
    bool atBoundary();
    bool brokenXml();
    bool token();
    void startProgramme();
    void endProgramme();
    bool finish();

    const qint64 m_from;
    const qint64 m_to;
    const Limits m_limits;
    const std::atomic_bool *m_cancelled = nullptr;
    std::unique_ptr<QXmlStreamReader> m_xml;
    GuideData m_data;
    Pending m_pending;
    int m_depth = 0;
    int m_tokens = 0;
    // The root <tv> was opened, and closed: after it nothing more is read.
    bool m_rootSeen = false;
    bool m_rootClosed = false;
    // Past a fault: what follows is dropped up to the next programme.
    bool m_skipping = false;
    QByteArray m_encoding;
    int m_kept = 0;
    int m_wellFormed = 0;
    int m_skipped = 0;
    QString m_error;
};
