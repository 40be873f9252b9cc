#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The lines of the playlist file, as bytes, without their breaks.
//
// CR, LF and CR LF each end a line; LF CR and CR CR are two breaks with an empty line between.
// A break at the very end adds no line. A UTF-8 byte-order mark opening the text is skipped; a zero
// byte is an ordinary byte of its line.
//
// The text is kept whole and the lines are spans of it: a list of hundreds of thousands of
// channels would otherwise cost one allocation per line.
class PlaylistLines {
public:
    PlaylistLines() = default;
    explicit PlaylistLines(QByteArray text);

    qsizetype count() const { return m_spans.size(); }
    bool isEmpty() const { return m_spans.isEmpty(); }
    // Valid while this object lives; not zero-terminated.
    QByteArrayView view(qsizetype i) const {
        const Span &s = m_spans.at(i);
        return QByteArrayView(m_text.constData() + s.start, s.length);
    }
    QByteArray at(qsizetype i) const { return view(i).toByteArray(); }
    QList<QByteArray> lines() const;

private:
    struct Span {
        qsizetype start;
        qsizetype length;
    };

    QByteArray m_text;
    QList<Span> m_spans;
};
