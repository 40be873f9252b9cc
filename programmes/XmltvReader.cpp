#include "programmes/XmltvReader.h"

#include "programmes/XmltvTime.h"

#include <QIODevice>
#include <QXmlStreamReader>
#include <algorithm>

namespace {

// How often, in tokens, the cancel flag is looked at.
constexpr int kCheckEvery = 1024;
// A programme without a stop ends where the next one starts; one that starts this long before the
// window might still reach into it.
constexpr qint64 kLongestOpenProgramme = 24 * 3600;
// An entity that expands to more than this is refused (the "billion laughs").
constexpr int kEntityExpansionLimit = 1024;
constexpr qint64 kBlockBytes = 64 * 1024;
// The longest marker of a place to start again, and the character after it.
constexpr qsizetype kHeldBack = sizeof("<programme");

bool isFrench(QStringView language) {
    return language.size() >= 2 && language.first(2).compare(u"fr", Qt::CaseInsensitive) == 0 &&
           (language.size() == 2 || language[2] == u'-' || language[2] == u'_');
}

bool endsName(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/';
}

// Where the next programme starts, or the root ends, at or after from: the places where the reading
// can start again after a fault. Only markers whose next character is in bytes are found.
qsizetype nextBoundary(QByteArrayView bytes, qsizetype from) {
    while (true) {
        const qsizetype at = bytes.indexOf('<', from);
        if (at < 0)
            return -1;
        const QByteArrayView rest = bytes.sliced(at);
        for (const QByteArrayView marker : {QByteArrayView("<programme"), QByteArrayView("</tv")}) {
            if (rest.size() > marker.size() && rest.startsWith(marker) && endsName(rest[marker.size()]))
                return at;
        }
        from = at + 1;
    }
}

} // namespace

XmltvReader::XmltvReader(qint64 from, qint64 to, Limits limits) : m_from(from), m_to(to), m_limits(limits) {}

XmltvReader::~XmltvReader() = default;

bool XmltvReader::refuse(const QString &why) {
    m_error = why;
    m_guide.reset();
    m_builder.reset();
    m_kept = 0;
    return false;
}

bool XmltvReader::read(QIODevice &device) {
    m_guide.reset();
    m_builder = std::make_unique<GuideBuilder>(GuideBuilder::Limits{
        m_limits.maxProgrammes, m_limits.maxChannels, m_limits.maxTextBytes, m_limits.maxDescriptionBytes});
    m_kept = m_wellFormed = m_skipped = m_cut = m_droppedDescriptions = 0;
    m_error.clear();
    m_pending = Pending();
    m_rootSeen = m_rootClosed = m_skipping = false;
    m_encoding.clear();
    m_depth = m_tokens = 0;
    m_xml = std::make_unique<QXmlStreamReader>();
    m_xml->setNamespaceProcessing(false);
    m_xml->setEntityExpansionLimit(kEntityExpansionLimit);

    // The bytes are handed to the XML reader a programme at a time, so that after a fault it can be
    // started again at the next one. The last few bytes wait for the next block: they may be the
    // start of a marker.
    QByteArray waiting;
    QByteArray block(kBlockBytes, Qt::Uninitialized);
    qsizetype searchFrom = 0;
    bool ended = false;
    while (!ended && !m_rootClosed) {
        // Looked at here too: bytes skipped after a fault make no tokens.
        if (m_cancelled && m_cancelled->load(std::memory_order_relaxed))
            return refuse(QStringLiteral("reading cancelled"));
        const qint64 n = device.read(block.data(), kBlockBytes);
        if (n > 0)
            waiting.append(block.constData(), n);
        ended = n <= 0;
        qsizetype fed = 0;
        for (qsizetype at = nextBoundary(waiting, searchFrom); at >= 0; at = nextBoundary(waiting, at + 1)) {
            if (!feed(QByteArrayView(waiting).sliced(fed, at - fed)) || !atBoundary())
                return false;
            fed = at;
            searchFrom = at + 1;
        }
        const qsizetype upTo = ended ? waiting.size() : std::max(fed, waiting.size() - kHeldBack);
        if (!feed(QByteArrayView(waiting).sliced(fed, upTo - fed)))
            return false;
        waiting.remove(0, upTo);
        searchFrom = std::max<qsizetype>(searchFrom - upTo, 0);
    }
    return finish();
}

// Starts a new XML reader where the last one stopped on a fault, inside the root as before.
void XmltvReader::restart() {
    m_xml = std::make_unique<QXmlStreamReader>();
    m_xml->setNamespaceProcessing(false);
    m_xml->setEntityExpansionLimit(kEntityExpansionLimit);
    const QByteArray declaration =
        m_encoding.isEmpty() ? QByteArray() : "<?xml version=\"1.0\" encoding=\"" + m_encoding + "\"?>";
    m_xml->addData(declaration + "<tv>");
    m_depth = 0;
    m_pending = Pending();
    m_skipping = false;
}

bool XmltvReader::feed(QByteArrayView bytes) {
    if (m_skipping || m_rootClosed || bytes.isEmpty())
        return true;
    m_xml->addData(bytes.toByteArray());
    return drain();
}

// Reads every token the bytes so far hold; false once the guide is refused.
bool XmltvReader::drain() {
    while (!m_rootClosed) {
        const QXmlStreamReader::TokenType type = m_xml->readNext();
        if (type == QXmlStreamReader::Invalid) {
            if (m_xml->error() == QXmlStreamReader::PrematureEndOfDocumentError)
                return true;
            return brokenXml();
        }
        if (++m_tokens == kCheckEvery) {
            m_tokens = 0;
            if (m_cancelled && m_cancelled->load(std::memory_order_relaxed))
                return refuse(QStringLiteral("reading cancelled"));
        }
        if (!token())
            return false;
    }
    return true;
}

// A fault outside any programme refuses the guide; inside one, that programme is dropped.
bool XmltvReader::brokenXml() {
    if (!m_rootSeen)
        return refuse(QStringLiteral("line %1: %2").arg(m_xml->lineNumber()).arg(m_xml->errorString()));
    if (m_pending.open)
        ++m_skipped;
    m_pending = Pending();
    m_skipping = true;
    return true;
}

// At the start of a programme (or the root's end): the one before must have ended, else it is
// dropped and the reading starts again here.
bool XmltvReader::atBoundary() {
    if (m_rootClosed || (!m_skipping && m_depth == 1))
        return true;
    if (!m_rootSeen)
        return refuse(QStringLiteral("not an XMLTV guide (no <tv> before the first programme)"));
    if (m_pending.open)
        ++m_skipped;
    restart();
    return drain();
}

bool XmltvReader::token() {
    switch (m_xml->tokenType()) {
    case QXmlStreamReader::StartDocument:
        m_encoding = m_xml->documentEncoding().toLatin1();
        break;
    case QXmlStreamReader::StartElement:
        if (++m_depth > m_limits.maxDepth)
            return refuse(QStringLiteral("elements nested deeper than %1").arg(m_limits.maxDepth));
        if (m_depth == 1 && m_xml->name() != u"tv")
            return refuse(QStringLiteral("not an XMLTV guide (root element <%1>)").arg(m_xml->name()));
        m_rootSeen = true;
        if (m_depth == 2 && m_xml->name() == u"programme")
            startProgramme();
        else if (m_depth == 3 && m_pending.wanted)
            startText();
        break;
    case QXmlStreamReader::Characters:
        if (Localised *text = collecting()) {
            const int most = text == &m_pending.title         ? m_limits.maxTitleCharacters
                             : text == &m_pending.description ? m_limits.maxDescriptionCharacters
                                                              : m_limits.maxCategoryCharacters;
            text->append(m_xml->text(), most);
        }
        break;
    case QXmlStreamReader::EndElement:
        if (m_depth == 3) {
            if (Localised *text = collecting())
                text->close();
        } else if (m_depth == 2 && m_pending.open) {
            endProgramme();
        } else if (m_depth == 1) {
            m_rootClosed = true;
        }
        --m_depth;
        break;
    default:
        break;
    }
    return true;
}

void XmltvReader::Localised::open(QStringView language) {
    const bool inFrench = isFrench(language);
    if (given && (french || !inFrench))
        return;
    text.clear();
    collecting = true;
    french = inFrench;
}

void XmltvReader::Localised::append(QStringView characters, int maxCharacters) {
    if (text.size() < maxCharacters)
        text += characters.left(maxCharacters - text.size());
}

void XmltvReader::Localised::close() {
    collecting = false;
    given = true;
}

void XmltvReader::startText() {
    const QStringView name = m_xml->name();
    Localised *text = name == u"title"      ? &m_pending.title
                      : name == u"desc"     ? &m_pending.description
                      : name == u"category" ? &m_pending.category
                                            : nullptr;
    if (text)
        text->open(m_xml->attributes().value(QLatin1StringView("lang")));
}

XmltvReader::Localised *XmltvReader::collecting() {
    for (Localised *text : {&m_pending.title, &m_pending.description, &m_pending.category}) {
        if (text->collecting)
            return text;
    }
    return nullptr;
}

void XmltvReader::startProgramme() {
    m_pending = Pending();
    m_pending.open = true;
    const QXmlStreamAttributes attributes = m_xml->attributes();
    const std::optional<qint64> start = parseXmltvTime(attributes.value(QLatin1StringView("start")));
    const QStringView channel = attributes.value(QLatin1StringView("channel"));
    const QStringView stopText = attributes.value(QLatin1StringView("stop"));
    const std::optional<qint64> stop =
        stopText.isEmpty() ? std::optional<qint64>(-1) : parseXmltvTime(stopText);
    if (!start || !stop || channel.isEmpty() || channel.size() > m_limits.maxChannelIdCharacters ||
        (*stop >= 0 && *stop <= *start)) {
        m_pending.unreadable = true;
        return;
    }
    const qint64 reach = *stop >= 0 ? *stop : *start + kLongestOpenProgramme;
    if (reach <= m_from || *start >= m_to)
        return;
    if (m_builder->isFull()) {
        ++m_cut;
        return;
    }
    m_pending.wanted = true;
    m_pending.channel = channel.toString();
    m_pending.start = *start;
    m_pending.stop = *stop;
}

void XmltvReader::endProgramme() {
    if (m_pending.unreadable) {
        ++m_skipped;
    } else {
        ++m_wellFormed;
    }
    if (m_pending.wanted) {
        const bool kept = m_builder->add(
            m_pending.channel, m_pending.start, m_pending.stop, m_pending.title.text.simplified(),
            m_pending.description.text.simplified(), m_pending.category.text.simplified());
        ++(kept ? m_kept : m_cut);
    }
    m_pending = Pending();
}

bool XmltvReader::finish() {
    if (!m_rootSeen) {
        const bool broken =
            m_xml->hasError() && m_xml->error() != QXmlStreamReader::PrematureEndOfDocumentError;
        return refuse(broken
                          ? QStringLiteral("line %1: %2").arg(m_xml->lineNumber()).arg(m_xml->errorString())
                          : QStringLiteral("no XMLTV guide in the input"));
    }
    if (!m_rootClosed)
        return refuse(QStringLiteral("the guide ends before </tv>: cut short"));
    if (m_wellFormed == 0 && m_skipped > 0)
        return refuse(QStringLiteral("none of its %1 programmes could be read").arg(m_skipped));
    m_droppedDescriptions = m_builder->droppedDescriptions();
    m_guide = m_builder->finish(m_from);
    m_builder.reset();
    m_kept = int(m_guide->programmeCount());
    return true;
}
