#pragma once

#include <QByteArray>
#include <QIODevice>
#include <memory>

struct z_stream_s;

// Reads a gzip stream from another device and gives its inflated bytes, a block at a time, so a
// compressed guide is never held whole in memory in either form. Concatenated members read as
// one. A damaged stream ends the reading with -1 and says why in errorString().
class GzipDevice : public QIODevice {
public:
    explicit GzipDevice(QIODevice &source);
    ~GzipDevice() override;

    // True when the device's next bytes are gzip's magic number (the device is not moved on).
    static bool isGzip(QIODevice &device);

    bool isSequential() const override { return true; }
    // The stream was damaged or cut short (errorString() says which).
    bool hasFailed() const { return m_failed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 fail(const QString &why);

    QIODevice &m_source;
    std::unique_ptr<z_stream_s> m_stream;
    QByteArray m_input;
    bool m_ended = false;
    bool m_failed = false;
};
