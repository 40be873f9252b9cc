#include "playlist/PlaylistLines.h"

namespace {

// Editors on Windows start UTF-8 files with one; it is no part of the first line.
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

} // namespace

PlaylistLines::PlaylistLines(QByteArray text) : m_text(std::move(text)) {
    const char *const begin = m_text.constData() + (m_text.startsWith(kUtf8ByteOrderMark) ? 3 : 0);
    const char *const base = m_text.constData();
    const char *const end = base + m_text.size();
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
        m_spans.append(Span{start - base, p - start});
        ++p;
        if (c == '\r' && p != end && *p == '\n')
            ++p;
        start = p;
    }
    if (start != end)
        m_spans.append(Span{start - base, end - start});
    m_spans.squeeze();
}

QList<QByteArray> PlaylistLines::lines() const {
    QList<QByteArray> out;
    out.reserve(count());
    for (qsizetype i = 0; i < count(); ++i)
        out.append(at(i));
    return out;
}
