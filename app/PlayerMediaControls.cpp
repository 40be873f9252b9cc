#include "app/PlayerMediaControls.h"

#include "app/Constants.h"
#include "app/MediaShift.h"
#include "app/TApplication.h"
#include "channels/ChannelLineup.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"
#include "programmes/NowNext.h"

#include <QDateTime>
#include <algorithm>

namespace {

// The timer's longest wait is some 24 days; an hour is plenty between looks at the guide.
constexpr qint64 kLongestWaitSecs = 3600;

} // namespace

PlayerMediaControls::PlayerMediaControls(TForm1 &player, TForm2 &list, const ChannelLineup &lineup,
                                         QObject *parent)
    : MediaControls(parent), m_player(player), m_list(list), m_control(*player.vlc), m_lineup(lineup),
      m_shift(new MediaShift([this] { return m_control.shift(); }, this)) {
    connect(m_shift, &MediaShift::changed, this, &MediaControls::shiftChanged);
    connect(&m_control, &TVLCPlugin::playingChanged, this, &PlayerMediaControls::updatePlaying);
    // A radio channel's sound is told by the line over the picture.
    connect(&m_control, &TVLCPlugin::statusChanged, this, &PlayerMediaControls::updatePlaying);
    m_wasPlaying = isPlaying();
    connect(&m_control, &TVLCPlugin::volumeChanged, this, &MediaControls::volumeChanged);
    m_programmeEnd.setSingleShot(true);
    connect(&m_programmeEnd, &QTimer::timeout, this, &PlayerMediaControls::followProgramme);
    // Told even when the same channel is tuned again: its title goes to the desktop anew.
    connect(&m_lineup, &ChannelLineup::watched, this, &PlayerMediaControls::followProgramme);
    connect(&m_lineup, &ChannelLineup::programmesChanged, this, &PlayerMediaControls::followProgramme);
}

void PlayerMediaControls::followProgramme() {
    emit titleChanged();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 change = nextChangeAfter(m_lineup.programmes(m_lineup.current()), now);
    if (change < 0) {
        m_programmeEnd.stop();
        return;
    }
    // A second late rather than early, so the programme after is the one on.
    m_programmeEnd.start(int(std::clamp<qint64>(change - now + 1, 1, kLongestWaitSecs) * 1000));
}

void PlayerMediaControls::updatePlaying() {
    m_shift->watch();
    const bool playing = isPlaying();
    if (playing == m_wasPlaying)
        return;
    m_wasPlaying = playing;
    emit playingChanged(playing);
}

template <typename Command> void PlayerMediaControls::tune(Command command) {
    // Behind an open error box the keys do nothing either: a step that fails again would stack
    // another box on it.
    if (qApp->property("errorBoxOpen").toBool())
        return;
    // Called from the bus's delivery, not from an event handler: the failure is handed to the
    // application's error box here rather than thrown through the bus's code.
    try {
        command();
    } catch (const std::exception &error) {
        if (auto *app = qobject_cast<TApplication *>(QCoreApplication::instance()))
            app->showException(error);
    }
}

void PlayerMediaControls::next() {
    tune([this] { m_player.Image3Click(); });
}

void PlayerMediaControls::previous() {
    tune([this] { m_player.Image2Click(); });
}

void PlayerMediaControls::play() {
    tune([this] {
        // The channel watched, not the row the list highlights: that may be one that failed, and
        // choosing it again would only fail again.
        if (m_lineup.current() >= 0)
            m_list.tuneRow(m_lineup.current());
        else
            runTuneSequence(m_control, halcyon::StartupStream(), TForm1::startupOptions(), true);
    });
}

void PlayerMediaControls::stop() {
    m_control.stop();
}

bool PlayerMediaControls::isPlaying() const {
    return m_control.isPlaying() || m_control.isSoundOnly();
}

QString PlayerMediaControls::title() const {
    const int row = m_lineup.current();
    if (row < 0)
        return QString();
    const NowNext guide = nowAndNext(m_lineup.programmes(row), QDateTime::currentSecsSinceEpoch());
    if (!guide.now || guide.now->title.isEmpty())
        return m_lineup.rowText(row);
    return m_lineup.rowText(row) + QStringLiteral(" — ") + guide.now->title;
}

int PlayerMediaControls::volume() const {
    return m_control.volume();
}

void PlayerMediaControls::setVolume(int percent) {
    m_control.setVolume(percent);
}

MediaControls::Shift PlayerMediaControls::shift() const {
    return m_shift->state();
}

void PlayerMediaControls::pause() {
    m_shift->pause();
}

void PlayerMediaControls::resume() {
    m_shift->resume();
}

void PlayerMediaControls::seekBy(qint64 deltaMs) {
    m_shift->seekBy(deltaMs);
}

void PlayerMediaControls::seekTo(qint64 fromOldestMs) {
    m_shift->seekTo(fromOldestMs);
}
