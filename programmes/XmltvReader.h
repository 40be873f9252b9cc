#pragma once

#include "programmes/GuideBuilder.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>

class QIODevice;
class QXmlStreamReader;

// Reads an XMLTV guide from a device, keeping of each programme only its channel, times, title,
// description and category (of each, the first given, or the first in French when there are
// several languages), and only the programmes that overlap the window asked for. A programme that is not
// well-formed (a control character, a stray '&', a tag left open) or whose times cannot be read is
// skipped, and the reading goes on at the next programme; a document that is not an XMLTV guide, or
// that ends before its end, is refused. Whatever the input, the reading stays within the limits
// (the input's size is the device's to bound: see readGuide()).
class XmltvReader {
public:
    struct Limits {
        // XMLTV needs five levels or so; far more is someone trying the reader's stack.
        int maxDepth = 32;
        // Guides of 2,000 channels over 14 days have some 500,000 programmes; past twice that, or
        // past the room for texts, the guide is cut. All in, the kept guide stays under 200 MB.
        int maxProgrammes = 1'000'000;
        int maxChannels = 20'000;
        int maxChannelIdCharacters = 256;
        int maxTitleCharacters = 200;
        int maxCategoryCharacters = 100;
        int maxDescriptionCharacters = 4000;
        qint64 maxTextBytes = 160LL * 1024 * 1024;
        // Descriptions are most of a guide's text; past this they are left out, titles kept.
        qint64 maxDescriptionBytes = 128LL * 1024 * 1024;
    };

    // Keeps the programmes that end after from and start before to (seconds since the epoch).
    XmltvReader(qint64 from, qint64 to, Limits limits);
    XmltvReader(qint64 from, qint64 to) : XmltvReader(from, to, Limits()) {}
    ~XmltvReader();

    // Reading stops, refused, soon after *cancelled becomes true.
    void setCancelFlag(const std::atomic_bool *cancelled) { m_cancelled = cancelled; }

    // True with the guide in data(); false with the reason in error().
    bool read(QIODevice &device);

    std::shared_ptr<const GuideStore> takeGuide() { return std::move(m_guide); }
    QString error() const { return m_error; }
    // Programmes kept.
    int programmeCount() const { return m_kept; }
    // Programmes left out because they were malformed or their times unreadable.
    int skippedCount() const { return m_skipped; }
    // Programmes left out, or kept without their description, for want of room.
    int cutCount() const { return m_cut; }
    int droppedDescriptionCount() const { return m_droppedDescriptions; }

private:
    // One of a programme's texts that may be given in several languages.
    struct Localised {
        QString text;
        bool collecting = false;
        bool given = false;
        bool french = false;
        // At its element's start: collects this one if it is the first, or the first French.
        void open(QStringView language);
        void append(QStringView characters, int maxCharacters);
        void close();
    };

    struct Pending {
        bool open = false;
        // Its times or channel cannot be read: counted as skipped once it ends.
        bool unreadable = false;
        bool wanted = false;
        QString channel;
        qint64 start = 0;
        qint64 stop = -1;
        Localised title;
        Localised description;
        Localised category;
    };

    bool refuse(const QString &why);
    void restart();
    bool feed(QByteArrayView bytes);
    bool drain();
    bool atBoundary();
    bool brokenXml();
    bool token();
    void startProgramme();
    void startText();
    Localised *collecting();
    void endProgramme();
    bool finish();

    const qint64 m_from;
    const qint64 m_to;
    const Limits m_limits;
    const std::atomic_bool *m_cancelled = nullptr;
    std::unique_ptr<QXmlStreamReader> m_xml;
    std::unique_ptr<GuideBuilder> m_builder;
    std::shared_ptr<const GuideStore> m_guide;
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
    int m_cut = 0;
    int m_droppedDescriptions = 0;
    QString m_error;
};
