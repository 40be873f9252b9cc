#include "playlist/ChannelText.h"

namespace {

// 0x80..0x9F; 0xA0..0xFF equal their code points.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

QString decodeWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QString decodeChannelName(QByteArrayView name) {
    // Only the start of a very long name is decoded: the rest would never be seen, and decoding and
    // measuring megabytes of text for every paint freezes the list. Four bytes per character is the
    // most UTF-8 needs; a sequence cut at the end is dropped rather than taken for Windows-1252.
    const bool cut = name.size() > kShownNameBytes;
    QByteArrayView shown = cut ? name.first(kShownNameBytes) : name;
    if (cut) {
        qsizetype keep = shown.size();
        for (int back = 1; back <= 3 && back <= keep; ++back) {
            const auto b = static_cast<unsigned char>(shown.at(keep - back));
            if ((b & 0xC0) == 0xC0) { // a lead byte: drop the sequence it opens
                keep -= back;
                break;
            }
            if ((b & 0x80) == 0)
                break;
        }
        shown = shown.first(keep);
    }
    QString text = shown.isValidUtf8() ? QString::fromUtf8(shown) : decodeWindows1252(shown);
    // A zero byte would end the name wherever it is drawn: show it as the symbol for it.
    text.replace(QChar(u'\0'), QChar(u'\u2400'));
    if (cut || text.size() > kShownNameCharacters) {
        text.truncate(kShownNameCharacters);
        text.append(QChar(u'\u2026'));
    }
    return text;
}

QString channelNumber(const QString &rowText) {
    const qsizetype at = rowText.indexOf(QLatin1String(" -"));
    return at < 0 ? QString() : rowText.left(at + 1);
}

ChannelTitle channelTitle(const QString &rowText) {
    const QLatin1String separator(" - ");
    const qsizetype at = rowText.indexOf(separator);
    if (at < 0)
        return {QString(), rowText.trimmed()};
    return {rowText.left(at).trimmed(), rowText.mid(at + separator.size()).trimmed()};
}

int rowOfChannelNumber(const QStringList &rowTexts, const QString &number) {
    if (number.isEmpty())
        return -1;
    for (qsizetype row = 0; row < rowTexts.size(); ++row) {
        if (channelTitle(rowTexts[row]).number == number)
            return int(row);
    }
    return -1;
}
