#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// What the stream playing is made of and how it arrives, as the decoders and the receiver see it
// now. A field left at its default is not known (yet).
struct StreamFacts {
    // A coded format as GStreamer's caps name it: "video/x-h264", "audio/mpeg" with its version
    // (and layer for MPEG-1 sound).
    struct Codec {
        QString media;
        int version = 0;
        int layer = 0;
    };
    Codec video;
    QSize size;
    // Pictures per second; 0 when the stream does not say.
    double frameRate = 0;
    bool interlaced = false;
    Codec sound;
    int soundChannels = 0;
    int sampleRate = 0;
    // The sound tracks as the menu names them.
    QStringList soundTracks;
    // Over the last few seconds; -1 before a whole second was counted.
    qint64 bitsPerSecond = -1;
    // Packets the receiver counted as lost since the tune; -1 when it does not count them (a file).
    qint64 lostPackets = -1;
    // The address played: the box's host and port are read from it.
    QString address;
};
