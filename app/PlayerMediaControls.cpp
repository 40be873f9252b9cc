#include "app/PlayerMediaControls.h"

#include "app/Constants.h"
#include "app/TApplication.h"
#include "forms/ChannelListBox.h"
#include "forms/PictureCommands.h"
#include "forms/PlayingChannel.h"
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

PlayerMediaControls::PlayerMediaControls(TForm1 &player, TForm2 &list, QObject *parent)
    : MediaControls(parent), m_player(player), m_list(list), m_control(*player.vlc),
      m_playing(player.pictureCommands()->playingChannel()) {
    connect(&m_control, &TVLCPlugin::playingChanged, this, &PlayerMediaControls::updatePlaying);
    // A radio channel's sound is told by the line over the picture.
    connect(&m_control, &TVLCPlugin::statusChanged, this, &PlayerMediaControls::updatePlaying);
    m_wasPlaying = isPlaying();
    connect(&m_control, &TVLCPlugin::volumeChanged, this, &MediaControls::volumeChanged);
    m_programmeEnd.setSingleShot(true);
    connect(&m_programmeEnd, &QTimer::timeout, this, &PlayerMediaControls::followProgramme);
    connect(&m_playing, &PlayingChannel::changed, this, &PlayerMediaControls::followProgramme);
    connect(&m_list.programmeGuide(), &ProgrammeGuide::changed, this, &PlayerMediaControls::followProgramme);
}

void PlayerMediaControls::followProgramme() {
    emit titleChanged();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 change = nextChangeAfter(m_list.programmesOfRow(m_playing.row()), now);
    if (change < 0) {
        m_programmeEnd.stop();
        return;
    }
    // A second late rather than early, so the programme after is the one on.
    m_programmeEnd.start(int(std::clamp<qint64>(change - now + 1, 1, kLongestWaitSecs) * 1000));
}

void PlayerMediaControls::updatePlaying() {
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
        if (m_playing.isKnown() && m_playing.row() == m_list.ListBox1->currentRow())
            m_list.ListBox1Click();
        else if (m_playing.isKnown())
            // The list rests on a row that failed: choosing it again would only fail again.
            runTuneSequence(m_control, m_list.PlaylistLines().addressOfRow(m_playing.row()),
                            {QByteArrayLiteral("nooverlay")}, true);
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
    if (!m_playing.isKnown())
        return QString();
    const NowNext guide =
        nowAndNext(m_list.programmesOfRow(m_playing.row()), QDateTime::currentSecsSinceEpoch());
    if (!guide.now || guide.now->title.isEmpty())
        return m_playing.rowText();
    return m_playing.rowText() + QStringLiteral(" — ") + guide.now->title;
}

int PlayerMediaControls::volume() const {
    return m_control.volume();
}

void PlayerMediaControls::setVolume(int percent) {
    m_control.setVolume(percent);
}
