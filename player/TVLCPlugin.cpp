#include "player/TVLCPlugin.h"

#include "player/EOleException.h"
#include "player/OverlayPainter.h"
#include "player/StartupTrace.h"
#include "player/TrackNames.h"
#include "player/playback/GstPlayerEngine.h"
#include "player/playback/WarmPlayerEngine.h"
#include "player/recording/LoadedRecordingEngine.h"
#include "programmes/NowNext.h"

#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <algorithm>

namespace {
const QString kSource = QStringLiteral("TVLCPlugin");
constexpr int kMaximumVolume = 200;
} // namespace

TVLCPlugin::TVLCPlugin(QWidget *parent, EarlyTune *earlyTune)
    : TVLCPlugin(std::make_unique<WarmPlayerEngine>(std::make_unique<GstPlayerEngine>(earlyTune)), parent) {}

TVLCPlugin::TVLCPlugin(std::unique_ptr<PlayerEngine> engine, QWidget *parent)
    : TVLCPlugin(
          std::move(engine), [] { return std::make_unique<LoadedRecordingEngine>(); }, parent) {}

TVLCPlugin::TVLCPlugin(std::unique_ptr<PlayerEngine> engine, RecordingSession::EngineFactory makeRecorder,
                       QWidget *parent)
    : QWidget(parent), m_engine(std::move(engine)), m_supervisor(*m_engine),
      m_recording(std::move(makeRecorder)), m_tracks(QLocale::languageToCode(QLocale::system().language())) {
    // Every pixel is painted here: no background fill, no system flicker between frames.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_engine->setVolume(m_volume);
    m_clock.start();
    m_overlayExpiry.setSingleShot(true);
    connect(&m_overlayExpiry, &QTimer::timeout, this, &TVLCPlugin::overlayChanged);
    m_engine->setPictureSize(size());
    m_supervisor.setAutoLoop(m_autoLoop);
    connect(&m_supervisor, &PlaybackSupervisor::frameReady, this, &TVLCPlugin::showFrame);
    connect(&m_supervisor, &PlaybackSupervisor::stillReady, this, &TVLCPlugin::showFrame);
    connect(&m_supervisor, &PlaybackSupervisor::pictureCleared, this, &TVLCPlugin::clearPicture);
    connect(&m_supervisor, &PlaybackSupervisor::statusChanged, this, &TVLCPlugin::onStatusChanged);
    connect(&m_recording, &RecordingSession::statusChanged, this, &TVLCPlugin::onStatusChanged);
    connect(&m_recording, &RecordingSession::progress, this, &TVLCPlugin::recordingProgress);
    connect(&m_recording, &RecordingSession::finished, this, &TVLCPlugin::recordingFinished);
    connect(&m_recording, &RecordingSession::sessionsClosed, this, [this] { m_engine->boxReturned(); });
    connect(m_engine.get(), &PlayerEngine::streamsFound, this, &TVLCPlugin::onStreamsFound);
}

// The supervisor, declared after the engine, goes first: nothing it holds outlives the engine.
// The recordings go before it, each finishing its file.
TVLCPlugin::~TVLCPlugin() = default;

void TVLCPlugin::stop() {
    cancelBoxLoan();
    m_refusal.clear();
    m_supervisor.stop();
    m_recording.stop();
    channelChanged(QString());
    updatePlaying();
}

void TVLCPlugin::addTarget(const QString &address, const QStringList &options, int mode, int position) {
    // A target refused here leaves nothing to play: the picture says why instead of going blank.
    const auto refuse = [this](const QString &why) {
        m_refusal = why;
        onStatusChanged();
        return EOleException(EOleException::kInvalidArgument, why, kSource);
    };
    if (address.trimmed().isEmpty())
        throw refuse(QStringLiteral("Adresse du flux vide"));
    PlayTarget target{address, {}};
    try {
        target.options = PlayerOptions::parse(options);
    } catch (const PlayerOptionError &e) {
        throw refuse(QString::fromUtf8(e.what()));
    }
    m_queue.insert(target, mode, position);
}

void TVLCPlugin::play() {
    const std::optional<PlayTarget> target = m_queue.mostRecent();
    if (!target)
        return;
    m_refusal.clear();
    // One stream at a time: a recording under way gives way to whatever is played next.
    m_recording.stop();
    channelChanged(target->options.sout ? QString() : target->address);
    if (target->options.sout) {
        m_supervisor.stop();
        // A recording comes first: no session of the box is spent on warm neighbours meanwhile, and
        // it asks for its own once the box has seen the player's close.
        m_engine->setNeighbours({});
        const quint64 ticket = ++m_recordingTicket;
        m_awaitingBox = true;
        m_engine->lendBox([this, ticket, address = target->address, chain = *target->options.sout] {
            if (ticket != m_recordingTicket)
                return;
            m_awaitingBox = false;
            m_recording.start(address, chain);
        });
    } else {
        cancelBoxLoan();
        // A control not shown yet has had no resize event: the size it was given counts from now.
        m_engine->setPictureSize(size());
        m_engine->setTrackChooser(chooserFor(m_tracks));
        m_supervisor.play(*target);
    }
    updatePlaying();
}

void TVLCPlugin::setNeighbours(const QStringList &addresses) {
    if (!m_recording.isRecording() && !m_awaitingBox)
        m_engine->setNeighbours(addresses);
}

void TVLCPlugin::cancelBoxLoan() {
    ++m_recordingTicket;
    if (!m_awaitingBox)
        return;
    // The recording it was lent for never started.
    m_awaitingBox = false;
    m_engine->boxReturned();
}

QString TVLCPlugin::statusText() const {
    const QString recording = m_recording.statusText();
    if (!recording.isEmpty())
        return recording;
    const QString playback = m_supervisor.statusText();
    return playback.isEmpty() ? m_refusal : playback;
}

void TVLCPlugin::onStatusChanged() {
    const QString text = statusText();
    if (text == m_shownStatus)
        return;
    m_shownStatus = text;
    update();
    emit statusChanged(text);
    updatePlaying();
}

void TVLCPlugin::updatePlaying() {
    // A recording is not watched: the supervisor is stopped while one is made.
    const bool playing = m_supervisor.isPlaying();
    if (playing == m_playing)
        return;
    m_playing = playing;
    emit playingChanged(playing);
}

void TVLCPlugin::setAutoLoop(bool autoLoop) {
    m_autoLoop = autoLoop;
    m_supervisor.setAutoLoop(autoLoop);
}

void TVLCPlugin::setVolume(int volume) {
    volume = std::clamp(volume, 0, kMaximumVolume);
    if (volume == m_volume)
        return;
    m_volume = volume;
    applyVolume();
}

void TVLCPlugin::setMuted(bool muted) {
    if (muted == m_muted)
        return;
    m_muted = muted;
    applyVolume();
}

// The engine keeps its level for every stream it plays next, so a volume outlives channel changes.
void TVLCPlugin::applyVolume() {
    PipelineSettings settings = m_engine->settings();
    settings.volume = m_volume;
    settings.muted = m_muted;
    m_engine->setSettings(settings);
    emit volumeChanged();
}

void TVLCPlugin::showBanner(const PictureOverlay::Banner &banner) {
    m_overlay.showBanner(banner, m_clock.elapsed());
    overlayChanged();
}

void TVLCPlugin::showNotice(const QString &text) {
    m_overlay.showNotice(text, m_clock.elapsed());
    overlayChanged();
}

void TVLCPlugin::setTypedDigits(const QString &digits) {
    m_overlay.setTypedDigits(digits);
    overlayChanged();
}

QStringList TVLCPlugin::overlayTexts() const {
    const qint64 now = m_clock.elapsed();
    QStringList texts;
    if (const auto banner = m_overlay.banner(now)) {
        texts << banner->number << banner->name;
        const NowNext guide = nowAndNext(banner->programmes, QDateTime::currentSecsSinceEpoch());
        if (guide.now)
            texts << programmeLine(*guide.now);
        if (guide.next)
            texts << programmeLine(*guide.next);
    }
    texts << m_overlay.notice(now) << m_overlay.typedDigits();
    texts.removeAll(QString());
    return texts;
}

void TVLCPlugin::overlayChanged() {
    const qint64 now = m_clock.elapsed();
    const qint64 next = m_overlay.nextExpiryMs(now);
    if (next < 0)
        m_overlayExpiry.stop();
    else
        m_overlayExpiry.start(int(next - now));
    update();
}

QStringList TVLCPlugin::soundTracks() const {
    return TrackNames::labels(m_tracks.sounds());
}

QStringList TVLCPlugin::subtitleTracks() const {
    return TrackNames::labels(m_tracks.subtitles());
}

void TVLCPlugin::chooseSound(int place) {
    applyTracks(m_tracks.chooseSound(place));
}

void TVLCPlugin::chooseSubtitles(int place) {
    applyTracks(m_tracks.chooseSubtitles(place));
}

// A copy of the choices as they stand, asked on GStreamer's threads: the stream's first sound is
// the chosen track's, not the first track's until the choice comes.
TrackChooser TVLCPlugin::chooserFor(const TrackChoice &choice) {
    return [choice = TrackChoice(choice)](const QList<StreamTrack> &tracks) mutable {
        const TrackChoice::Selection selection = choice.tracksFound(tracks);
        return std::pair{selection.sound >= 0 ? choice.sounds()[selection.sound].id : QString(),
                         selection.subtitles >= 0 ? choice.subtitles()[selection.subtitles].id : QString()};
    };
}

void TVLCPlugin::channelChanged(const QString &address) {
    if (address == m_tracks.channel() && address.isEmpty())
        return;
    m_tracks.channelChanged(address);
    emit tracksChanged();
}

// Each tune finds the channel's streams anew (a retry, a hand-over after a still): the choice made
// on it is applied each time.
void TVLCPlugin::onStreamsFound(const QList<StreamTrack> &tracks) {
    if (m_tracks.channel().isEmpty())
        return;
    applyTracks(m_tracks.tracksFound(tracks));
}

void TVLCPlugin::applyTracks(TrackChoice::Selection selection) {
    const QString sound = selection.sound >= 0 ? m_tracks.sounds()[selection.sound].id : QString();
    const QString subtitles =
        selection.subtitles >= 0 ? m_tracks.subtitles()[selection.subtitles].id : QString();
    m_engine->selectTracks(sound, subtitles);
    emit tracksChanged();
}

void TVLCPlugin::setMrl(const QString &mrl) {
    m_mrl = mrl;
    if (m_autoPlay && !m_mrl.isEmpty()) {
        addTarget(m_mrl, {}, PlayQueue::kInsertMode, 0);
        play();
    }
}

void TVLCPlugin::showFrame(const QImage &frame, qreal pixelAspectRatio) {
    m_frame = frame;
    m_pixelAspectRatio = pixelAspectRatio > 0 ? pixelAspectRatio : 1.0;
    update();
    updatePlaying();
}

void TVLCPlugin::clearPicture() {
    m_frame = QImage();
    update();
    updatePlaying();
}

QRect TVLCPlugin::pictureRect() const {
    const QSizeF shown(m_frame.width() * m_pixelAspectRatio, m_frame.height());
    QSize fitted = shown.scaled(QSizeF(size()), Qt::KeepAspectRatio).toSize();
    fitted = fitted.boundedTo(size());
    const QPoint topLeft((width() - fitted.width()) / 2, (height() - fitted.height()) / 2);
    return QRect(topLeft, fitted);
}

void TVLCPlugin::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    // Pictures then come scaled to the window inside the pipeline, not at the stream's full size.
    m_engine->setPictureSize(size());
}

// Sets the painter's font for the line and says where it goes, with a margin the overlay keeps off.
QRect TVLCPlugin::statusRect(QPainter &painter, const QString &status) const {
    QFont font = painter.font();
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    if (status.isEmpty())
        return QRect();
    const QRect textRect = rect().adjusted(8, 8, -8, -8);
    return painter.boundingRect(textRect, Qt::AlignCenter | Qt::TextWordWrap, status).adjusted(-8, -8, 8, 8);
}

void TVLCPlugin::paintEvent(QPaintEvent *) {
    StartupTrace::mark("player control painted");
    QPainter painter(this);
    const bool hasPicture = !m_frame.isNull();
    if (hasPicture) {
        const QRect target = pictureRect();
        // Fill only the bars: the picture covers the rest.
        QRegion bars(rect());
        bars -= target;
        for (const QRect &bar : bars)
            painter.fillRect(bar, Qt::black);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_frame);
    } else {
        painter.fillRect(rect(), Qt::black);
    }

    const QString status = statusText();
    const QRect keepClear = statusRect(painter, status);
    const qint64 now = m_clock.elapsed();
    OverlayPainter::paint(painter, hasPicture ? pictureRect() : rect(), keepClear,
                          {m_overlay.banner(now), m_overlay.notice(now), m_overlay.typedDigits(),
                           QDateTime::currentSecsSinceEpoch()});
    if (!status.isEmpty()) {
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        const QRect textRect = rect().adjusted(8, 8, -8, -8);
        painter.setPen(Qt::black);
        painter.drawText(textRect.translated(1, 1), flags, status);
        painter.setPen(Qt::white);
        painter.drawText(textRect, flags, status);
    }
    if (hasPicture) {
        StartupTrace::mark("first picture painted");
        emit framePainted();
    }
}
