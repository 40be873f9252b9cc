#include "playlist/PlaylistLines.h"

#include <cstring>

PlaylistLines::PlaylistLines(QByteArrayView text) {
    const char *const begin = text.data();
    const char *end = begin + text.size();
    if (const void *zero = std::memchr(begin, '\0', size_t(text.size())))
        end = static_cast<const char *>(zero);

    // A playlist is mostly short lines: a rough guess saves the list's regrowth on large files.
    m_lines.reserve((end - begin) / 32 + 1);
    const char *start = begin;
    const char *p = begin;
    while (p != end) {
        const char c = *p;
        if (c != '\r' && c != '\n') {
            ++p;
            continue;
        }
        m_lines.append(QByteArray(start, p - start));
        ++p;
        if (c == '\r' && p != end && *p == '\n')
            ++p;
        start = p;
    }
    if (start != end)
        m_lines.append(QByteArray(start, end - start));
    m_lines.squeeze();
}
