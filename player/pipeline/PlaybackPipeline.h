#pragma once

#include "player/BackgroundQueue.h"
#include "player/ByteRate.h"
#include "player/PlayerOptions.h"
#include "player/StreamTrack.h"
#include "player/engine/PipelineSettings.h"
#include "player/engine/StreamFacts.h"
#include "player/pipeline/PictureSink.h"
#include "player/pipeline/PlaybackBus.h"
#include "player/pipeline/PlaybackInput.h"

#include <QByteArray>
#include <QSize>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// One playbin playing one stream, from its start to its teardown, from either input: an address
// it connects to itself or a warm channel's ring (PlaybackInput). Everything that changes the
// pipeline's state runs on a pipeline thread, so no call from the window waits on the network;
// what the pipeline has to say goes out through Events, on GStreamer's threads. A pipeline may be
// started before anyone listens (the start-up channel, while the windows are built): what it says
// meanwhile is kept and told to the Events it is given later.
class StreamTapping;
class TapLine;

class PlaybackPipeline : public PlaybackBus::Owner, public std::enable_shared_from_this<PlaybackPipeline> {
public:
    struct Events {
        std::function<void()> pictureWaiting;
        // An error or the end of the stream.
        std::function<void(const GstMessagePtr &)> finished;
        // undecodable: some stream found has no decoder here, so "no picture" may be a picture lost.
        std::function<void(int pictures, int sounds, bool undecodable)> streamsKnown;
        // The sound and subtitle tracks found, once the streams are settled.
        std::function<void(const QList<StreamTrack> &)> tracksFound;
    };

    // thread runs the work the bus asks for (null: none, for an input that fixes its own timing);
    // without events, the pipeline waits for adopt().
    PlaybackPipeline(std::unique_ptr<PlaybackInput> input, PlayerOptions options, BackgroundQueue *thread,
                     Events events = {});
    // Plays an address (see AddressInput).
    PlaybackPipeline(QByteArray uri, PlayerOptions options, BackgroundQueue &thread, Events events = {});
    ~PlaybackPipeline();
    PlaybackPipeline(const PlaybackPipeline &) = delete;
    PlaybackPipeline &operator=(const PlaybackPipeline &) = delete;

    // What GStreamer plays for an address: a URI as given, a file path as a file URI.
    static QByteArray uriFor(const QString &address);

    // Any thread: from now on events hears what the pipeline says, first what it said before.
    void adopt(Events events);
    // Any thread: the work the bus asks for runs on thread from now on.
    void moveTo(BackgroundQueue &thread) { m_thread = &thread; }

    // On a pipeline thread; each may run on another thread than the start, before or after it.
    // Settings applied before the start replace the ones the start is given. A teardown that comes
    // first means no start.
    void start(const PipelineSettings &settings);
    void teardown();
    // Holds the picture and the sound (an input that is not live only), or plays on.
    void setPaused(bool paused);
    // The one place settings become the pipeline's: the level, the picture's bound and the track
    // chooser at once; the latency and the deinterlacing are the start's, kept for the stream.
    void apply(const PipelineSettings &settings);
    // Subtitles found in the stream drawn onto the pictures, or not (the default).
    void setSubtitlesShown(bool shown);
    // Plays the sound track and draws the subtitles (an empty id: none) with those ids among the
    // tracks found (tracksFound), switching without retuning.
    void selectTracks(const QString &soundId, const QString &subtitlesId);
    // Before start(): called once, on a streaming thread, as the stream's first packet reaches
    // the demultiplexer (or a parser, for a stream sent without one).
    void whenStreamArrives(std::function<void()> arrived) { m_streamArrived = std::move(arrived); }
    // Before start(): the stream received over RTP is copied to line as MPEG-TS (StreamTapping).
    void tapInto(std::shared_ptr<TapLine> line);
    // The line given to tapInto(), or null.
    std::shared_ptr<TapLine> tapLine() const;

    // Any thread: work still queued for this pipeline is skipped from now on.
    void cancel() { m_cancelled = true; }
    PictureSink::Picture takePicture() { return m_pictures.take(); }
    // Any thread: the coded formats, the rate the stream comes at and the packets lost, as the
    // pipeline knows them now; nothing while it is being started or torn down.
    StreamFacts facts();
    const PlaybackInput &input() const { return *m_input; }

    // Pipelines created and not yet freed, in the whole process.
    static int live();

private:
    void finished(const GstMessagePtr &message) override;
    void pictureWaiting();
    void recalculateLatency() override;
    void reselectClock() override;
    void streamsListed(const QList<StreamTrack> &tracks) override;
    void tracksMarked(const TrackMarks::ByPid &marks) override;
    void streamsSettled(GstElement *pipeline) override;
    void decoderMissing() override { m_decoderMissing = true; }
    // Runs task on the pipeline thread while this pipeline is still wanted.
    void onPipelineThread(const char *what, std::function<void(GstElement *)> task);
    // With m_lifecycle held and a pipeline.
    void applySelection();
    void applySettings(const PipelineSettings &previous);
    // Any thread: chooses the sound track as playbin learns of the streams, before their sound flows.
    void setTrackChooser(TrackChooser chooser);

    static void onSourceSetup(GstElement *playbin, GstElement *source, PlaybackPipeline *self);
    static void onElementSetup(GstElement *playbin, GstElement *element, PlaybackPipeline *self);
    static void onAudioChanged(GstElement *playbin, PlaybackPipeline *self);
    // Counts the bytes into element's input from now on, as a transport stream's or one elementary
    // stream's.
    void countBytes(GstElement *element, bool transport);
    void counted(qsizetype bytes, bool transport);

    struct Held {
        bool pictureWaiting = false;
        GstMessagePtr finished;
        std::optional<std::array<int, 3>> streams;
        std::optional<QList<StreamTrack>> tracks;
    };

    const std::unique_ptr<PlaybackInput> m_input;
    const PlayerOptions m_options;
    std::atomic<BackgroundQueue *> m_thread;
    std::mutex m_eventsMutex;
    Events m_events;
    bool m_adopted = false;
    Held m_held;
    PictureSink m_pictures;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_decoderMissing{false};
    // Start, teardown, settings and the bus's work may come from two pipeline threads.
    std::mutex m_lifecycle;
    // Applied before the start or given to it; the stream's own options already over them.
    std::optional<PipelineSettings> m_settings;
    bool m_subtitlesShown = false;
    std::optional<QString> m_soundId;
    QString m_subtitlesId;
    // The settings the pipeline started with, read by its streaming threads; never change after.
    PipelineSettings m_started;
    GstElement *m_pipeline = nullptr;
    // The tracks the demultiplexer listed; read from playbin at settling when none did.
    std::mutex m_tracksMutex;
    std::optional<QList<StreamTrack>> m_listed;
    TrackMarks::ByPid m_marks;
    TrackChooser m_chooser;
    std::function<void()> m_streamArrived;
    std::unique_ptr<StreamTapping> m_tapping;
    std::atomic<bool> m_streamArrivedTold{false};
    // The stream's bytes at the demultiplexer, or at the parsers of a stream sent without one.
    std::mutex m_rateMutex;
    ByteRate m_transportRate;
    ByteRate m_elementaryRate;
    bool m_transportSeen = false;
};
