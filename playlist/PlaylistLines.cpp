#include "playlist/PlaylistLines.h"

#include <cstring>

PlaylistLines::PlaylistLines(QByteArray text) : m_text(std::move(text)) {
    if (const void *zero = std::memchr(m_text.constData(), '\0', size_t(m_text.size())))
        m_text.truncate(static_cast<const char *>(zero) - m_text.constData());

    const char *const begin = m_text.constData();
    const char *const end = begin + m_text.size();
    // A playlist is mostly short lines: a rough guess saves the list's regrowth on large files.
    m_spans.reserve(m_text.size() / 32 + 1);
    const char *start = begin;
    const char *p = begin;
    while (p != end) {
        const char c = *p;
        if (c != '\r' && c != '\n') {
            ++p;
            continue;
        }
        m_spans.append(Span{start - begin, p - start});
        ++p;
        if (c == '\r' && p != end && *p == '\n')
            ++p;
        start = p;
    }
    if (start != end)
        m_spans.append(Span{start - begin, end - start});
    m_spans.squeeze();
}

QList<QByteArray> PlaylistLines::lines() const {
    QList<QByteArray> out;
    out.reserve(count());
    for (qsizetype i = 0; i < count(); ++i)
        out.append(at(i));
    return out;
}
