#include "ZapMeasures.h"

#include "support/Wait.h"

#include "player/ring/RtspControlPath.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>

namespace ZapMeasures {

double percentile(QList<double> values, double fraction) {
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype index =
        std::min<qsizetype>(values.size() - 1, qsizetype(fraction * double(values.size() - 1) + 0.5));
    return values[index];
}

QString summary(const QList<double> &values) {
    return QStringLiteral("%1 runs: median %2 ms, p90 %3 ms, min %4, max %5")
        .arg(values.size())
        .arg(percentile(values, 0.5), 0, 'f', 0)
        .arg(percentile(values, 0.9), 0, 'f', 0)
        .arg(percentile(values, 0), 0, 'f', 0)
        .arg(percentile(values, 1), 0, 'f', 0);
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.simplified().split(' ').value(1).toDouble() / 1024;
    }
    return -1;
}

void idle(int ms) {
    waitUntil([] { return false; }, ms, 5);
}

QSet<int> connectionsTo(int port) {
    QFile table(QStringLiteral("/proc/self/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    // "sl local rem st ...": the remote address as HEXIP:HEXPORT, state 01 for established. The
    // table is the network namespace's: the server's own ends have the port as local, not remote.
    const QByteArray remote = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    QSet<int> ports;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[2].endsWith(remote) && fields[3] == "01")
            ports.insert(fields[1].mid(fields[1].indexOf(':') + 1).toInt(nullptr, 16));
    }
    return ports;
}

double ffmpegFirstFrameMs(const QByteArray &address) {
    QProcess ffmpeg;
    QElapsedTimer clock;
    clock.start();
    ffmpeg.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-rtsp_transport", "udp", "-i",
                            QString::fromLatin1(address), "-frames:v", "1", "-f", "null", "-"});
    if (!ffmpeg.waitForFinished(30000) || ffmpeg.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

QByteArray barePipelineText(bool elementary) {
    return elementary ? "rtspsrc ! rtpmpvdepay ! mpegvideoparse ! avdec_mpeg2video ! fakesink sync=false"
                      : "rtspsrc ! rtpmp2tdepay ! tsdemux ! h264parse ! avdec_h264 ! fakesink sync=false";
}

BareTimes barePipelineTimes(const QByteArray &address, int latencyMs, bool elementary) {
    const QByteArray latency = latencyMs < 0 ? QByteArray() : " latency=" + QByteArray::number(latencyMs);
    const QByteArray chain = elementary ? " ! rtpmpvdepay ! mpegvideoparse name=parse ! avdec_mpeg2video"
                                        : " ! rtpmp2tdepay ! tsdemux ! h264parse name=parse ! avdec_h264";
    const QByteArray line = "rtspsrc name=src location=" + address + latency + chain +
                            " ! fakesink name=sink sync=false signal-handoffs=true";
    GstElement *pipeline = gst_parse_launch(line.constData(), nullptr);
    if (!pipeline)
        return {};
    static std::atomic<qint64> s_firstNs, s_keyNs;
    s_firstNs = -1;
    s_keyNs = -1;
    QElapsedTimer clock;
    GstElement *source = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    // Servers that give relative control paths want them after the request address.
    RtspControlPath::followFrom(source, address);
    gst_object_unref(source);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement *, GstBuffer *, GstPad *, gpointer data) {
                         qint64 none = -1;
                         s_firstNs.compare_exchange_strong(
                             none, static_cast<QElapsedTimer *>(data)->nsecsElapsed());
                     }),
                     &clock);
    gst_object_unref(sink);
    GstElement *parse = gst_bin_get_by_name(GST_BIN(pipeline), "parse");
    GstPad *parsed = gst_element_get_static_pad(parse, "src");
    gst_pad_add_probe(
        parsed, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            qint64 none = -1;
            if (!GST_BUFFER_FLAG_IS_SET(GST_PAD_PROBE_INFO_BUFFER(info), GST_BUFFER_FLAG_DELTA_UNIT))
                s_keyNs.compare_exchange_strong(none, static_cast<QElapsedTimer *>(data)->nsecsElapsed());
            return GST_PAD_PROBE_OK;
        },
        &clock, nullptr);
    gst_object_unref(parsed);
    gst_object_unref(parse);
    clock.start();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const bool ok = waitUntil([] { return s_firstNs >= 0; }, 20000, 1);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok ? BareTimes{double(s_keyNs) / 1e6, double(s_firstNs) / 1e6} : BareTimes{};
}

} // namespace ZapMeasures
