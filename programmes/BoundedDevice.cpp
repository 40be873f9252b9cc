#include "programmes/BoundedDevice.h"

#include <cstring>

BoundedDevice::BoundedDevice(QIODevice &source, qint64 maxBytes, qint64 maxRun)
    : m_source(source), m_maxBytes(maxBytes), m_maxRun(maxRun) {
    open(QIODevice::ReadOnly);
}

qint64 BoundedDevice::readData(char *data, qint64 maxSize) {
    if (m_failed)
        return -1;
    const qint64 n = m_source.read(data, maxSize);
    if (n <= 0) {
        if (n < 0)
            setErrorString(m_source.errorString());
        m_failed = n < 0;
        return n == 0 && m_source.atEnd() ? -1 : n;
    }
    m_total += n;
    if (m_total > m_maxBytes) {
        m_failed = true;
        setErrorString(QStringLiteral("guide larger than %1 bytes").arg(m_maxBytes));
        return -1;
    }
    // The run of bytes since the last '<', carried from block to block.
    const void *lastTag = memrchr(data, '<', size_t(n));
    m_run = lastTag ? n - (static_cast<const char *>(lastTag) - data) : m_run + n;
    if (m_run > m_maxRun) {
        m_failed = true;
        setErrorString(QStringLiteral("more than %1 bytes without markup").arg(m_maxRun));
        return -1;
    }
    return n;
}
