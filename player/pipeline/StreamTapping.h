#pragma once

#include <QByteArray>

#include <memory>

typedef struct _GstElement GstElement;
class TapLine;

// Copies the stream a playbin receives over RTP to a TapLine as MPEG-TS, leaving what is played
// untouched. A transport stream goes to the line as its depayloader gives it out. Elementary
// streams are copied as they go into their depayloaders and multiplexed on the side, by a pipeline
// of their own (TsAssembly, as a warm channel is), on their RTP times: the copies keep the streams'
// timing between them whatever the side pipeline's clock. Files and other URIs give nothing.
class StreamTapping {
public:
    explicit StreamTapping(std::shared_ptr<TapLine> line);
    ~StreamTapping();
    StreamTapping(const StreamTapping &) = delete;
    StreamTapping &operator=(const StreamTapping &) = delete;

    const std::shared_ptr<TapLine> &line() const { return m_line; }
    // playbin made element, of the factory named name: watched when it is a depayloader.
    void elementMade(GstElement *element, const QByteArray &name);
    // Once playbin has stopped: the side pipeline stops too.
    void stop();

    struct Side;

private:
    const std::shared_ptr<TapLine> m_line;
    std::shared_ptr<Side> m_side;
};
