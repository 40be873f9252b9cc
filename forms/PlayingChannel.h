#pragma once

#include <QObject>
#include <QString>

// The channel that plays: the last row chosen whose address was found and tuned. The list's
// highlight may rest on a row that failed (one without an address) while the channel before it
// goes on playing; whatever names the picture (the banner, the desktop's media controls) names
// this one.
class PlayingChannel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void choose(int row, const QString &rowText);
    bool isKnown() const { return m_row >= 0; }
    // -1 before a channel of the list was chosen (the start-up stream plays).
    int row() const { return m_row; }
    // The row as the list shows it: "201 - Une".
    QString rowText() const { return m_rowText; }

signals:
    void changed();

private:
    int m_row = -1;
    QString m_rowText;
};
