#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// Figures and reference runs the channel-change bench shares between its servers.
namespace ZapMeasures {

double percentile(QList<double> values, double fraction);
// "N runs: median, p90, min, max" in milliseconds.
QString summary(const QList<double> &values);
double residentMegabytes();
// Delivers Qt events for ms.
void idle(int ms);
// The local ports of the RTSP connections this process holds open to a server on port of
// loopback: one per session.
QSet<int> connectionsTo(int port);

// Wall time of ffmpeg fetching and decoding one frame, process start included; -1 on failure.
double ffmpegFirstFrameMs(const QByteArray &address);

struct BareTimes {
    double keyFrameMs = -1; // the first key frame whole out of the parser: no player shows a picture sooner
    double frameMs = -1;    // the first decoded frame
};
// Times from starting a bare rtspsrc ! depayloader ! [demuxer !] parser ! decoder ! fakesink
// (sync=false) in this process; latencyMs < 0 keeps rtspsrc's default. elementary: MPEG-2 video
// sent as its own RTP session, otherwise H.264 in MPEG-TS over RTP. -1s on failure.
BareTimes barePipelineTimes(const QByteArray &address, int latencyMs, bool elementary);
// What barePipelineTimes runs, for the report.
QByteArray barePipelineText(bool elementary);

} // namespace ZapMeasures
