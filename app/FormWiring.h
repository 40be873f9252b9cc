#pragma once

class TForm1;
class TForm2;
class TForm4;
class TForm5;
class ChannelLineup;
class ScheduledRecordings;

#include <memory>

// How the windows reach each other and the player control: the main block wires each window as it
// creates it, before its creation handler runs; window tests wire theirs the same way.
namespace FormWiring {

// The list tunes the player window's control and tells it the channel number; the player window
// steps, shows and places the list.
void wireList(TForm1 &player, TForm2 &list);

// The guide starts its web engine after the player's first picture; the player window shows it.
void wireGuide(TForm1 &player, TForm5 &guide);

// The recordings set from the guide, recording through the player window's control when a box has
// no other session, into the destination window's folder (destination may be null); the player
// window shows their marks.
std::unique_ptr<ScheduledRecordings> scheduledRecordings(TForm1 &player, TForm2 &list,
                                                         const TForm4 *destination, ChannelLineup &lineup);

} // namespace FormWiring
