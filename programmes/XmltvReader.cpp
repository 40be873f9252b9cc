#include "programmes/XmltvReader.h"

#include "programmes/XmltvTime.h"

#include <QIODevice>
#include <QXmlStreamReader>
#include <algorithm>

namespace {

// How often, in tokens, the cancel flag and the size are looked at.
constexpr int kCheckEvery = 1024;
// A programme without a stop ends where the next one starts; one that starts this long before the
// window might still reach into it.
constexpr qint64 kLongestOpenProgramme = 24 * 3600;
// An entity that expands to more than this is refused (the "billion laughs").
constexpr int kEntityExpansionLimit = 1024;

} // namespace

XmltvReader::XmltvReader(qint64 from, qint64 to, Limits limits) : m_from(from), m_to(to), m_limits(limits) {}

bool XmltvReader::refuse(const QString &why) {
    m_error = why;
    m_data.clear();
    m_kept = 0;
    return false;
}

bool XmltvReader::read(QIODevice &device) {
    m_data.clear();
    m_kept = 0;
    m_error.clear();
    m_pending = Pending();
    QXmlStreamReader xml(&device);
    xml.setNamespaceProcessing(false);
    xml.setEntityExpansionLimit(kEntityExpansionLimit);
    int depth = 0;
    int tokens = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (++tokens == kCheckEvery) {
            tokens = 0;
            if (m_cancelled && m_cancelled->load(std::memory_order_relaxed))
                return refuse(QStringLiteral("reading cancelled"));
        }
        switch (token) {
        case QXmlStreamReader::StartElement:
            if (++depth > m_limits.maxDepth)
                return refuse(QStringLiteral("elements nested deeper than %1").arg(m_limits.maxDepth));
            if (depth == 1 && xml.name() != u"tv")
                return refuse(QStringLiteral("not an XMLTV guide (root element <%1>)").arg(xml.name()));
            if (depth == 2 && xml.name() == u"programme")
                startProgramme(xml);
            else if (depth == 3 && m_pending.open && m_pending.wanted && !m_pending.hasTitle &&
                     xml.name() == u"title")
                m_pending.inTitle = true;
            break;
        case QXmlStreamReader::Characters:
            if (m_pending.inTitle && m_pending.title.size() < m_limits.maxTitleCharacters)
                m_pending.title += xml.text().left(m_limits.maxTitleCharacters - m_pending.title.size());
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 3 && m_pending.inTitle) {
                m_pending.inTitle = false;
                m_pending.hasTitle = true;
            } else if (depth == 2 && m_pending.open) {
                endProgramme();
            }
            --depth;
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        return refuse(QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString()));
    finish();
    return true;
}

void XmltvReader::startProgramme(const QXmlStreamReader &xml) {
    m_pending = Pending();
    m_pending.open = true;
    const QXmlStreamAttributes attributes = xml.attributes();
    const std::optional<qint64> start = parseXmltvTime(attributes.value(QLatin1StringView("start")));
    const QStringView channel = attributes.value(QLatin1StringView("channel"));
    if (!start || channel.isEmpty() || m_kept >= m_limits.maxProgrammes)
        return;
    const QStringView stopText = attributes.value(QLatin1StringView("stop"));
    const std::optional<qint64> stop = stopText.isEmpty() ? std::optional<qint64>(-1) : parseXmltvTime(stopText);
    if (!stop || (*stop >= 0 && *stop <= *start))
        return;
    const qint64 reach = *stop >= 0 ? *stop : *start + kLongestOpenProgramme;
    if (reach <= m_from || *start >= m_to)
        return;
    m_pending.wanted = true;
    m_pending.channel = channel.toString();
    m_pending.start = *start;
    m_pending.stop = *stop;
}

void XmltvReader::endProgramme() {
    if (m_pending.wanted) {
        m_data[m_pending.channel].append(
            GuideProgramme{m_pending.start, m_pending.stop, m_pending.title.simplified()});
        ++m_kept;
    }
    m_pending = Pending();
}

// Puts each channel's programmes in order, ends the open ones where the next starts, and drops
// what still falls outside the window.
void XmltvReader::finish() {
    m_kept = 0;
    for (auto it = m_data.begin(); it != m_data.end();) {
        ChannelProgrammes &programmes = it.value();
        std::stable_sort(programmes.begin(), programmes.end(),
                         [](const GuideProgramme &a, const GuideProgramme &b) { return a.start < b.start; });
        for (qsizetype i = 0; i < programmes.size(); ++i) {
            if (programmes[i].stop < 0)
                programmes[i].stop = i + 1 < programmes.size() ? programmes[i + 1].start : programmes[i].start;
        }
        programmes.removeIf([this](const GuideProgramme &p) { return p.stop <= m_from || p.stop <= p.start; });
        programmes.squeeze();
        m_kept += int(programmes.size());
        it = programmes.isEmpty() ? m_data.erase(it) : std::next(it);
    }
    m_data.squeeze();
}
