#pragma once

// What ffprobe and ffmpeg find in a recording, as a person checking the file would.

#include "support/ChildProcess.h"
#include "support/Screen.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

struct RecordingProbe {
    bool readable = false;
    QString format;
    double duration = 0;
    QJsonObject video;
    QJsonObject audio;
    int soundTracks = 0;

    int videoKbps() const { return video["bit_rate"].toString().toInt() / 1000; }
    int audioKbps() const { return audio["bit_rate"].toString().toInt() / 1000; }

    static RecordingProbe of(const QString &path) {
        bool ok = false;
        const QByteArray json = childprocess::runToEnd(
            {"ffprobe", "-v", "error", "-show_format", "-show_streams", "-of", "json", path}, 20000, &ok);
        const QJsonObject root = QJsonDocument::fromJson(json).object();
        RecordingProbe probe;
        probe.readable = ok && root.contains("format");
        probe.format = root["format"]["format_name"].toString();
        probe.duration = root["format"]["duration"].toString().toDouble();
        for (const QJsonValue &stream : root["streams"].toArray()) {
            const QJsonObject s = stream.toObject();
            if (s["codec_type"] == "video" && probe.video.isEmpty())
                probe.video = s;
            if (s["codec_type"] == "audio" && probe.audio.isEmpty())
                probe.audio = s;
            probe.soundTracks += s["codec_type"] == "audio";
        }
        return probe;
    }
};

// One decoded picture from about that time into the recording.
inline QImage recordedPicture(const QString &path, double seconds) {
    QTemporaryDir dir;
    const QString png = dir.filePath("picture.png");
    childprocess::runToEnd(
        {"ffmpeg", "-v", "error", "-ss", QString::number(seconds), "-i", path, "-frames:v", "1", "-y", png},
        20000);
    return QImage(png);
}

// The channel whose colour fills the picture's corner (its number sits in the middle); 0 for none.
inline int recordedChannel(const QImage &picture, const QList<int> &candidates) {
    if (picture.isNull())
        return 0;
    return channelOfColour(averageColour(picture, QRect(16, 16, 96, 96)), candidates);
}

// The recordings in a folder, oldest name first.
inline QStringList recordingsIn(const QString &folder) {
    QStringList paths;
    for (const QString &name : QDir(folder).entryList({"*.mpg"}, QDir::Files, QDir::Name))
        paths << QDir(folder).filePath(name);
    return paths;
}
