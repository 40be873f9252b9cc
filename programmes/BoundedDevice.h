#pragma once

#include <QIODevice>

// Passes another device's bytes through while they look like a guide's size and shape: past
// maxBytes in all, or maxRun bytes without a '<' (a text or a token no guide has, which the XML
// reader would otherwise hold whole), reading fails with the reason in errorString().
class BoundedDevice : public QIODevice {
public:
    BoundedDevice(QIODevice &source, qint64 maxBytes, qint64 maxRun);

    bool isSequential() const override { return true; }
    bool hasFailed() const { return m_failed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QIODevice &m_source;
    const qint64 m_maxBytes;
    const qint64 m_maxRun;
    qint64 m_total = 0;
    qint64 m_run = 0;
    bool m_failed = false;
};
