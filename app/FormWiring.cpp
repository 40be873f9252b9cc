#include "app/FormWiring.h"

#include "app/ScheduledRecordings.h"
#include "channels/ChannelLineup.h"
#include "forms/RecordCommand.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "forms/Unit4.h"
#include "forms/Unit5.h"
#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"

#include <QDir>

namespace FormWiring {

void wireList(TForm1 &player, TForm2 &list) {
    player.setListWindow(&list);
    QObject::connect(&list, &TForm2::channelNumberChanged, &player, &TForm1::setChannelNumber);
    QObject::connect(&list, &TForm2::shown, &player, &TForm1::listWindowShown);
    QObject::connect(&list, &TForm2::hidden, &player, &TForm1::listWindowHidden);
}

void wireGuide(TForm1 &player, TForm5 &guide) {
    guide.setPlayer(player.vlc);
    player.setGuideWindow(&guide);
}

std::unique_ptr<ScheduledRecordings> scheduledRecordings(TForm1 &player, TForm2 &list,
                                                         const TForm4 *destination, ChannelLineup &lineup) {
    TVLCPlugin *vlc = player.vlc;
    ScheduledRecordings::Player hooks;
    hooks.folder = [destination] {
        return destination ? destination->destinationFolder() : QDir::homePath();
    };
    hooks.reserveBox = [vlc](const QString &address) { vlc->controller().reserveBox(address); };
    hooks.releaseBox = [vlc](const QString &address) { vlc->controller().releaseBox(address); };
    hooks.notice = [vlc](const QString &text) { vlc->showNotice(text, 5000); };
    hooks.watchedRow = [&lineup] { return lineup.current(); };
    hooks.watchRow = [&list](int row) { list.tuneRow(row); };
    // As the record command records, the channel named as the one shown.
    hooks.recordInstead = [vlc, &player, &lineup](int row, const QString &path) {
        player.setChannelNumber(lineup.number(row));
        lineup.watch(row);
        runTuneSequence(*vlc, lineup.address(row), RecordCommand::options(path), false);
    };
    auto recordings =
        std::make_unique<ScheduledRecordings>(lineup, PlayerController::loadedRecorder(), std::move(hooks));
    QObject::connect(vlc, &TVLCPlugin::recordingFinished, recordings.get(),
                     [marks = recordings.get()](const QString &path, bool ok, const QString &) {
                         marks->playerRecordingFinished(path, ok);
                     });
    player.setProgrammeMarks(recordings.get());
    return recordings;
}

} // namespace FormWiring
