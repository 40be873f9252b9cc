#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <memory>
#include <vector>

// The guide's texts kept as UTF-8, each text once (a title repeated every day is kept once), in
// blocks that never move, so that half a million programmes cost a few bytes of reference each
// rather than a string apiece. A text is named by a 32-bit reference; 0 is the empty text.
class TextPool {
public:
    // The longest text kept, in UTF-8 bytes (the length is kept in two bytes before it).
    static constexpr qsizetype kMaxTextBytes = 0xffff;

    TextPool();

    // The reference of text, added unless the pool holds it already; 0 for an empty text, and -1
    // when adding it would take the pool past maxBytes (nothing is added then).
    qint64 add(QStringView text, qint64 maxBytes);
    QString text(quint32 reference) const;
    // Bytes held in blocks.
    qint64 bytes() const { return qint64(m_blocks.size()) * kBlockBytes; }
    // Bytes of text written (less than bytes(): the last block is not full).
    qint64 usedBytes() const { return m_used; }
    // Forgets what finds a text again: once reading is over, only the texts are needed.
    void stopAdding();

private:
    static constexpr qsizetype kBlockBytes = 1 << 20;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    // Where the next text goes in the last block.
    qsizetype m_at = kBlockBytes;
    qint64 m_used = 0;
    QHash<QByteArrayView, quint32> m_known;
    QByteArray m_utf8;
};
