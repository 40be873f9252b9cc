#include "programmes/GzipDevice.h"

#include <zlib.h>

namespace {

constexpr qint64 kInputBlock = 64 * 1024;
// 16 + the largest window: gzip's header and trailer, not zlib's.
constexpr int kGzipWindowBits = 16 + MAX_WBITS;

} // namespace

GzipDevice::GzipDevice(QIODevice &source) : m_source(source), m_stream(std::make_unique<z_stream_s>()) {
    *m_stream = z_stream_s{};
    if (inflateInit2(m_stream.get(), kGzipWindowBits) != Z_OK)
        m_failed = true;
    open(QIODevice::ReadOnly);
}

GzipDevice::~GzipDevice() {
    inflateEnd(m_stream.get());
}

bool GzipDevice::isGzip(QIODevice &device) {
    return device.peek(2) == QByteArrayLiteral("\x1f\x8b");
}

qint64 GzipDevice::fail(const QString &why) {
    m_failed = true;
    setErrorString(why);
    return -1;
}

qint64 GzipDevice::readData(char *data, qint64 maxSize) {
    if (m_failed)
        return -1;
    z_stream_s &z = *m_stream;
    z.next_out = reinterpret_cast<Bytef *>(data);
    z.avail_out = uInt(qMin<qint64>(maxSize, 1 << 30));
    while (z.avail_out > 0 && !m_ended) {
        if (z.avail_in == 0) {
            m_input.resize(kInputBlock);
            const qint64 n = m_source.read(m_input.data(), kInputBlock);
            if (n < 0)
                return fail(m_source.errorString());
            if (n == 0) {
                // Ended between two members is the normal end; inside one, the file is cut short.
                if (z.total_in > 0 || z.total_out > 0)
                    return fail(QStringLiteral("gzip stream cut short"));
                m_ended = true;
                break;
            }
            z.next_in = reinterpret_cast<Bytef *>(m_input.data());
            z.avail_in = uInt(n);
        }
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            // Another member may follow: start over on the bytes that remain.
            const Bytef *next = z.next_in;
            const uInt left = z.avail_in;
            inflateReset(&z);
            z.next_in = const_cast<Bytef *>(next);
            z.avail_in = left;
            if (left == 0 && m_source.atEnd())
                m_ended = true;
            continue;
        }
        if (status != Z_OK && status != Z_BUF_ERROR)
            return fail(
                QStringLiteral("gzip: %1").arg(QString::fromLatin1(z.msg ? z.msg : "damaged stream")));
    }
    const qint64 produced = maxSize - qint64(z.avail_out);
    if (produced == 0 && m_ended)
        return -1;
    return produced;
}
