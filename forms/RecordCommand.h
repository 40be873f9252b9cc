#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class ChannelLineup;
class PlayerControl;
class TForm4;

// The record command shared by the record image and the "Enregistrer" menu item.
namespace RecordCommand {

// Records the channel watched (the fallback stream before one of the lineup's was chosen) into the
// destination window's folder. No stop comes first and the channel number is left alone.
void run(PlayerControl &vlc, const ChannelLineup &lineup, const TForm4 *destination,
         const QByteArray &fallbackStream);

// "<channel>-<yyyyMMdd>-<HHmmss>.mpg"; the channel is the row's number, else the address's
// last path segment (its service number).
QString fileName(const QString &channelNumber, const QByteArray &address, const QDateTime &when);

// The two options of a recording tune: the stream-output chain writing to path, then "ttl=1".
QList<QByteArray> options(const QString &path);

} // namespace RecordCommand
