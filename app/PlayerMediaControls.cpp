#include "app/PlayerMediaControls.h"

#include "app/Constants.h"
#include "app/TApplication.h"
#include "forms/ChannelListBox.h"
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
    : MediaControls(parent), m_player(player), m_list(list), m_control(*player.vlc) {
    connect(&m_control, &TVLCPlugin::playingChanged, this, &MediaControls::playingChanged);
    connect(&m_control, &TVLCPlugin::volumeChanged, this, &MediaControls::volumeChanged);
    m_programmeEnd.setSingleShot(true);
    connect(&m_programmeEnd, &QTimer::timeout, this, &PlayerMediaControls::followProgramme);
    connect(&m_list, &TForm2::channelNumberChanged, this, &PlayerMediaControls::followProgramme);
    connect(&m_list.programmeGuide(), &ProgrammeGuide::changed, this, &PlayerMediaControls::followProgramme);
}

void PlayerMediaControls::followProgramme() {
    emit titleChanged();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 change = nextChangeAfter(m_list.programmesOfRow(m_list.ListBox1->currentRow()), now);
    if (change < 0) {
        m_programmeEnd.stop();
        return;
    }
    // A second late rather than early, so the programme after is the one on.
    m_programmeEnd.start(int(std::clamp<qint64>(change - now + 1, 1, kLongestWaitSecs) * 1000));
}

template <typename Command> void PlayerMediaControls::run(Command command) {
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
    run([this] { m_player.Image3Click(); });
}

void PlayerMediaControls::previous() {
    run([this] { m_player.Image2Click(); });
}

void PlayerMediaControls::play() {
    run([this] {
        if (m_list.ListBox1->currentRow() >= 0)
            m_list.ListBox1Click();
        else
            runTuneSequence(m_control, halcyon::StartupStream(), TForm1::startupOptions(), true);
    });
}

void PlayerMediaControls::stop() {
    m_control.stop();
}

bool PlayerMediaControls::isPlaying() const {
    return m_control.isPlaying();
}

QString PlayerMediaControls::title() const {
    const QListWidgetItem *row = m_list.ListBox1->currentItem();
    const int index = m_list.ListBox1->currentRow();
    if (!row || index < 0)
        return QString();
    const NowNext guide = nowAndNext(m_list.programmesOfRow(index), QDateTime::currentSecsSinceEpoch());
    if (!guide.now || guide.now->title.isEmpty())
        return row->text();
    return row->text() + QStringLiteral(" — ") + guide.now->title;
}

int PlayerMediaControls::volume() const {
    return m_control.volume();
}

void PlayerMediaControls::setVolume(int percent) {
    m_control.setVolume(percent);
}
