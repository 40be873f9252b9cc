#include "programmes/TextPool.h"

#include <cstring>

TextPool::TextPool() {
    // Reference 0 is the empty text: a length of 0 at the very start.
    m_blocks.push_back(std::make_unique<char[]>(kBlockBytes));
    m_at = 2;
    m_used = 2;
}

qint64 TextPool::add(QStringView text, qint64 maxBytes) {
    if (text.isEmpty())
        return 0;
    m_utf8 = text.toUtf8();
    if (m_utf8.size() > kMaxTextBytes)
        m_utf8.truncate(kMaxTextBytes);
    const auto known = m_known.constFind(QByteArrayView(m_utf8));
    if (known != m_known.cend())
        return *known;
    const qsizetype size = m_utf8.size() + 2;
    if (m_at + size > kBlockBytes) {
        if (bytes() + kBlockBytes > maxBytes)
            return -1;
        m_blocks.push_back(std::make_unique<char[]>(kBlockBytes));
        m_at = 0;
    }
    char *to = m_blocks.back().get() + m_at;
    to[0] = char(m_utf8.size() & 0xff);
    to[1] = char(m_utf8.size() >> 8);
    std::memcpy(to + 2, m_utf8.constData(), size_t(m_utf8.size()));
    const quint32 reference = quint32((m_blocks.size() - 1) * kBlockBytes + m_at);
    m_known.insert(QByteArrayView(to + 2, m_utf8.size()), reference);
    m_at += size;
    m_used += size;
    return reference;
}

QString TextPool::text(quint32 reference) const {
    const size_t block = reference / kBlockBytes;
    if (reference == 0 || block >= m_blocks.size())
        return QString();
    const auto *at = reinterpret_cast<const unsigned char *>(m_blocks[block].get() + reference % kBlockBytes);
    const qsizetype size = at[0] | (at[1] << 8);
    return QString::fromUtf8(reinterpret_cast<const char *>(at + 2), size);
}

void TextPool::stopAdding() {
    m_known = {};
    m_utf8 = {};
}
