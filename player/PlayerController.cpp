#include "player/PlayerController.h"

#include "player/TrackNames.h"
#include "player/engine/GstPlayerEngine.h"
#include "player/recording/LoadedRecordingEngine.h"
#include "player/timeshift/ShiftingEngine.h"
#include "player/warm/Boxes.h"
#include "player/warm/WarmPlayerEngine.h"

#include <QLocale>
#include <algorithm>

namespace {
constexpr int kMaximumVolume = 200;
} // namespace

std::unique_ptr<PlayerEngine> PlayerController::gstreamerEngine(EarlyTune *earlyTune) {
    return std::make_unique<ShiftingEngine>(
        std::make_unique<WarmPlayerEngine>(std::make_unique<GstPlayerEngine>(earlyTune)),
        ShiftingEngine::cacheStore());
}

RecordingSession::EngineFactory PlayerController::loadedRecorder() {
    return [] { return std::make_unique<LoadedRecordingEngine>(); };
}

PlayerController::PlayerController(std::unique_ptr<PlayerEngine> engine,
                                   RecordingSession::EngineFactory makeRecorder, QObject *parent)
    : QObject(parent), m_engine(std::move(engine)), m_supervisor(*m_engine),
      m_recording(std::move(makeRecorder)), m_tracks(QLocale::languageToCode(QLocale::system().language())) {
    m_engine->setVolume(m_volume);
    m_supervisor.setAutoLoop(m_autoLoop);
    connect(&m_supervisor, &PlaybackSupervisor::frameReady, this, &PlayerController::showPicture);
    connect(&m_supervisor, &PlaybackSupervisor::stillReady, this, &PlayerController::showPicture);
    connect(&m_supervisor, &PlaybackSupervisor::pictureCleared, this, [this] {
        emit pictureCleared();
        updatePlaying();
    });
    connect(&m_supervisor, &PlaybackSupervisor::statusChanged, this, &PlayerController::onStatusChanged);
    connect(&m_recording, &RecordingSession::statusChanged, this, &PlayerController::onStatusChanged);
    connect(&m_recording, &RecordingSession::progress, this, &PlayerController::recordingProgress);
    connect(&m_recording, &RecordingSession::finished, this, &PlayerController::recordingFinished);
    connect(&m_recording, &RecordingSession::sessionsClosed, this,
            [this](const QString &address) { m_engine->boxReturned(address); });
    connect(m_engine.get(), &PlayerEngine::streamsFound, this, &PlayerController::onStreamsFound);
}

// The supervisor, declared after the engine, goes first: nothing it holds outlives the engine.
// The recordings go before it, each finishing its file.
PlayerController::~PlayerController() = default;

void PlayerController::stop() {
    cancelBoxLoan();
    m_refusal.clear();
    m_supervisor.stop();
    m_recording.stop();
    channelChanged(QString());
    updatePlaying();
}

void PlayerController::play(const PlayTarget &target) {
    m_refusal.clear();
    // One stream at a time: a recording under way gives way to whatever is played next.
    m_recording.stop();
    const bool recording = target.origin == TuneOrigin::Recording;
    channelChanged(recording ? QString() : target.address);
    if (recording) {
        record(target);
    } else {
        cancelBoxLoan();
        m_engine->setTrackChooser(chooserFor(m_tracks));
        m_supervisor.play(target);
    }
    updatePlaying();
}

void PlayerController::record(const PlayTarget &target) {
    m_supervisor.stop();
    // A recording comes first: no session of its box is spent on warm neighbours meanwhile, and it
    // asks for its own once the box has seen the player's close. Other boxes keep theirs.
    m_lentAddress = target.address;
    const quint64 ticket = ++m_recordingTicket;
    m_awaitingBox = true;
    m_engine->lendBox(m_lentAddress, [this, ticket, address = target.address, chain = *target.options.sout] {
        if (ticket != m_recordingTicket)
            return;
        m_awaitingBox = false;
        m_recording.start(address, chain);
    });
    // Once lent: a box lent keeps the neighbours on the others warm, a stopped player does not.
    setNeighbours(m_neighbours);
}

void PlayerController::setNeighbours(const QStringList &addresses) {
    m_neighbours = addresses;
    QStringList offered = addresses;
    if (m_recording.isRecording() || m_awaitingBox)
        offered = Boxes::besides(offered, m_lentAddress);
    for (const QString &reserved : std::as_const(m_reserved))
        offered = Boxes::besides(offered, reserved);
    m_engine->setNeighbours(offered);
}

void PlayerController::reserveBox(const QString &address) {
    m_reserved.append(address);
    setNeighbours(m_neighbours);
}

void PlayerController::releaseBox(const QString &address) {
    m_reserved.removeOne(address);
    setNeighbours(m_neighbours);
}

void PlayerController::refuse(const QString &why) {
    m_refusal = why;
    onStatusChanged();
}

void PlayerController::setPictureSize(QSize size) {
    // Pictures then come scaled to the window inside the pipeline, not at the stream's full size.
    m_engine->setPictureSize(size);
}

void PlayerController::cancelBoxLoan() {
    ++m_recordingTicket;
    if (!m_awaitingBox)
        return;
    // The recording it was lent for never started.
    m_awaitingBox = false;
    m_engine->boxReturned(m_lentAddress);
}

QString PlayerController::statusText() const {
    const QString recording = m_recording.statusText();
    if (!recording.isEmpty())
        return recording;
    const QString playback = m_supervisor.statusText();
    return playback.isEmpty() ? m_refusal : playback;
}

void PlayerController::onStatusChanged() {
    const QString text = statusText();
    if (text == m_shownStatus)
        return;
    m_shownStatus = text;
    emit statusChanged(text);
    updatePlaying();
}

void PlayerController::showPicture(const QImage &frame, qreal pixelAspectRatio) {
    emit pictureReady(frame, pixelAspectRatio);
    updatePlaying();
}

void PlayerController::updatePlaying() {
    // A recording is not watched: the supervisor is stopped while one is made.
    const bool playing = m_supervisor.isPlaying();
    if (playing == m_playing)
        return;
    m_playing = playing;
    emit playingChanged(playing);
}

void PlayerController::setAutoLoop(bool autoLoop) {
    m_autoLoop = autoLoop;
    m_supervisor.setAutoLoop(autoLoop);
}

void PlayerController::setVolume(int volume) {
    volume = std::clamp(volume, 0, kMaximumVolume);
    if (volume == m_volume)
        return;
    m_volume = volume;
    applyVolume();
}

void PlayerController::setMuted(bool muted) {
    if (muted == m_muted)
        return;
    m_muted = muted;
    applyVolume();
}

// The engine keeps its level for every stream it plays next, so a volume outlives channel changes.
void PlayerController::applyVolume() {
    PipelineSettings settings = m_engine->settings();
    settings.volume = m_volume;
    settings.muted = m_muted;
    m_engine->setSettings(settings);
    emit volumeChanged();
}

QStringList PlayerController::soundTracks() const {
    return TrackNames::labels(m_tracks.sounds());
}

QStringList PlayerController::subtitleTracks() const {
    return TrackNames::labels(m_tracks.subtitles());
}

void PlayerController::chooseSound(int place) {
    applyTracks(m_tracks.chooseSound(place));
}

void PlayerController::chooseSubtitles(int place) {
    applyTracks(m_tracks.chooseSubtitles(place));
}

// A copy of the choices as they stand, asked on GStreamer's threads: the stream's first sound is
// the chosen track's, not the first track's until the choice comes.
TrackChooser PlayerController::chooserFor(const TrackChoice &choice) {
    return [choice = TrackChoice(choice)](const QList<StreamTrack> &tracks) mutable {
        const TrackChoice::Selection selection = choice.tracksFound(tracks);
        return std::pair{selection.sound >= 0 ? choice.sounds()[selection.sound].id : QString(),
                         selection.subtitles >= 0 ? choice.subtitles()[selection.subtitles].id : QString()};
    };
}

StreamFacts PlayerController::streamFacts() {
    StreamFacts facts = m_engine->streamFacts();
    facts.soundTracks = soundTracks();
    facts.address = m_tracks.channel();
    return facts;
}

void PlayerController::channelChanged(const QString &address) {
    if (address == m_tracks.channel() && address.isEmpty())
        return;
    m_tracks.channelChanged(address);
    emit tracksChanged();
}

// Each tune finds the channel's streams anew (a retry, a hand-over after a still): the choice made
// on it is applied each time.
void PlayerController::onStreamsFound(const QList<StreamTrack> &tracks) {
    if (m_tracks.channel().isEmpty())
        return;
    applyTracks(m_tracks.tracksFound(tracks));
}

void PlayerController::applyTracks(TrackChoice::Selection selection) {
    const QString sound = selection.sound >= 0 ? m_tracks.sounds()[selection.sound].id : QString();
    const QString subtitles =
        selection.subtitles >= 0 ? m_tracks.subtitles()[selection.subtitles].id : QString();
    m_engine->selectTracks(sound, subtitles);
    emit tracksChanged();
}
