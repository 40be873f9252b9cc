#pragma once

#include <QByteArray>

// How one stream a server sends as plain RTP (each elementary stream its own RTP session) is
// turned back into coded frames that a transport-stream multiplexer takes: which depayloader,
// which parser, in what form.
namespace RtpStreamChain {

// The encoding name a stream's caps give, or for a static payload type sent without one (a
// description may leave out the rtpmap line for those), the name its number stands for.
QByteArray encodingName(const QByteArray &named, int payloadType);

// True for MPEG-TS over RTP: the whole programme in one session, taken as it comes.
bool isTransportStream(const QByteArray &encodingName);

// A bin description ("depayloader ! parser [! caps]") for a stream of media ("video", "audio")
// sent as encodingName (as the description names it, any case); empty when no such chain exists
// or the stream is not one a player shows or plays.
QByteArray forStream(const QByteArray &media, const QByteArray &encodingName);

} // namespace RtpStreamChain
