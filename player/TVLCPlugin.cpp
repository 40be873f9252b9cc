#include "player/TVLCPlugin.h"

#include "player/EOleException.h"

#include <utility>

namespace {
const QString kSource = QStringLiteral("TVLCPlugin");
} // namespace

TVLCPlugin::TVLCPlugin(QWidget *parent, EarlyTune *earlyTune)
    : TVLCPlugin(PlayerController::gstreamerEngine(earlyTune), parent) {}

TVLCPlugin::TVLCPlugin(std::unique_ptr<PlayerEngine> engine, QWidget *parent)
    : TVLCPlugin(std::move(engine), PlayerController::loadedRecorder(), parent) {}

TVLCPlugin::TVLCPlugin(std::unique_ptr<PlayerEngine> engine, RecordingSession::EngineFactory makeRecorder,
                       QWidget *parent)
    : PictureView(parent), m_controller(std::move(engine), std::move(makeRecorder)) {
    m_controller.setPictureSize(size());
    PlayerController *controller = &m_controller;
    connect(controller, &PlayerController::pictureReady, this, &PictureView::showPicture);
    connect(controller, &PlayerController::pictureCleared, this, &PictureView::clearPicture);
    connect(controller, &PlayerController::statusChanged, this, &PictureView::setStatusLine);
    connect(controller, &PlayerController::statusChanged, this, &TVLCPlugin::statusChanged);
    connect(controller, &PlayerController::volumeChanged, this, &TVLCPlugin::volumeChanged);
    connect(controller, &PlayerController::recordingProgress, this, &TVLCPlugin::recordingProgress);
    connect(controller, &PlayerController::recordingFinished, this, &TVLCPlugin::recordingFinished);
    connect(controller, &PlayerController::playingChanged, this, &TVLCPlugin::playingChanged);
    connect(controller, &PlayerController::tracksChanged, this, &TVLCPlugin::tracksChanged);
    watchShift(shift());
}

TVLCPlugin::~TVLCPlugin() = default;

void TVLCPlugin::stop() {
    m_afterStop = true;
    m_controller.stop();
    setStatusLine(m_controller.statusText());
}

void TVLCPlugin::addTarget(const QString &address, const QStringList &options, int mode, int position) {
    const bool afterStop = std::exchange(m_afterStop, false);
    try {
        m_queue.insert(PlayTarget::read(address, options, afterStop), mode, position);
    } catch (const PlayerOptionError &e) {
        // Nothing to play: the picture says why instead of going blank.
        const QString why = QString::fromUtf8(e.what());
        m_controller.refuse(why);
        throw EOleException(EOleException::kInvalidArgument, why, kSource);
    }
}

void TVLCPlugin::play() {
    const std::optional<PlayTarget> &target = m_queue.mostRecent();
    m_afterStop = false;
    if (!target)
        return;
    // A control not shown yet has had no resize event: the size it was given counts from now.
    m_controller.setPictureSize(size());
    m_controller.play(*target);
    // An engine may begin keeping the channel only once it plays one.
    watchShift(shift());
    setStatusLine(m_controller.statusText());
}

void TVLCPlugin::setNeighbours(const QStringList &addresses) {
    m_controller.setNeighbours(addresses);
}

void TVLCPlugin::setMrl(const QString &mrl) {
    m_mrl = mrl;
    if (m_autoPlay && !m_mrl.isEmpty()) {
        addTarget(m_mrl, {}, PlayQueue::kInsertMode, 0);
        play();
    }
}

void TVLCPlugin::resizeEvent(QResizeEvent *event) {
    PictureView::resizeEvent(event);
    m_controller.setPictureSize(size());
}
