#include "foundation/StreamWatcher.h"

#include "support/ChildProcess.h"

StreamWatcher::~StreamWatcher() {
    stop();
}

bool StreamWatcher::start(const QByteArray &address) {
    childprocess::tieToTestProgram(m_process);
    // One line per packet, flushed as it arrives; copying avoids any decoding cost.
    m_process.start(QStringLiteral("ffmpeg"), {"-nostdin", "-loglevel", "quiet", "-rtsp_transport", "tcp",
                                               "-i", QString::fromLatin1(address), "-map", "0:v", "-c",
                                               "copy", "-f", "framecrc", "-flush_packets", "1", "-"});
    m_sinceLast.start();
    return m_process.waitForStarted(10000);
}

void StreamWatcher::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

void StreamWatcher::pump() {
    m_pending += m_process.readAllStandardOutput();
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        if (!m_pending.startsWith('#')) {
            ++m_packets;
            m_sinceLast.restart();
        }
        m_pending.remove(0, end + 1);
    }
}

int StreamWatcher::packets() {
    pump();
    return m_packets;
}

qint64 StreamWatcher::msSinceLastPacket() {
    pump();
    return m_sinceLast.elapsed();
}
