#include "app/FormWiring.h"

#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "forms/Unit5.h"
#include "player/TVLCPlugin.h"

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

} // namespace FormWiring
