#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The lines of the playlist file, as bytes, without their breaks.
//
// CR, LF and CR LF each end a line; LF CR and CR CR are two breaks with an empty line between.
// A break at the very end adds no line, and a zero byte ends the text (what precedes it on its
// line is still a line).
class PlaylistLines {
public:
    PlaylistLines() = default;
    explicit PlaylistLines(QByteArrayView text);

    qsizetype count() const { return m_lines.size(); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    const QByteArray &at(qsizetype i) const { return m_lines.at(i); }
    const QList<QByteArray> &lines() const { return m_lines; }

private:
    QList<QByteArray> m_lines;
};
