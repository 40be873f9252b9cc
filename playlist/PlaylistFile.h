#pragma once

#include <QByteArray>
#include <QString>

// Reads the playlist file whole, as bytes, refusing it while another program has it open for
// writing (a half-written playlist would list half the channels). Throws EFOpenError.
class PlaylistFile {
public:
    static QByteArray readAll(const QString &fileName);
};
