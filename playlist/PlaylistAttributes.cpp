#include "playlist/PlaylistAttributes.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

QByteArray attributeValue(QByteArrayView text, QByteArrayView name) {
    if (name.isEmpty())
        return {};
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype at = text.indexOf(name, from);
        if (at < 0)
            return {};
        from = at + 1;
        const qsizetype equals = at + name.size();
        if ((at > 0 && !isBlank(text.at(at - 1))) || equals >= text.size() || text.at(equals) != '=')
            continue;
        const qsizetype start = equals + 1;
        if (start < text.size() && (text.at(start) == '"' || text.at(start) == '\'')) {
            const qsizetype close = text.indexOf(text.at(start), start + 1);
            const qsizetype end = close < 0 ? text.size() : close;
            return text.sliced(start + 1, end - start - 1).toByteArray();
        }
        qsizetype end = start;
        while (end < text.size() && !isBlank(text.at(end)))
            ++end;
        return text.sliced(start, end - start).toByteArray();
    }
    return {};
}

QByteArrayView entryAttributes(QByteArrayView entryLine) {
    const qsizetype comma = entryLine.indexOf(',');
    return comma < 0 ? entryLine : entryLine.first(comma);
}
