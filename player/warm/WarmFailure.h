#pragma once

#include <QString>

// Why a warm session was not given or did not last: only a box out of sessions says anything about
// the box; every other reason concerns that one channel.
enum class WarmFailure {
    Refused,      // the box has no session to spare (RTSP 453, 454 or 503)
    SetupRefused, // the box turned the session's SETUP down for another reason
    NotFound,     // the box has no such stream
    Unsupported,  // the stream comes in a form a warm session cannot hold
    Broken,       // the session broke or its stream ended
    NeverReady,   // open, but no key frame became whole in time (sound only, no video found)
    Ended,        // the server ended the session (end of stream, RTCP BYE, or silence): no fault
};

namespace WarmFailures {

// From an error a GStreamer element posted: its domain, code and debug text (where rtspsrc puts the
// box's answer, "Service Unavailable (503)" or "Error (503): Service Unavailable").
WarmFailure fromError(quint32 domain, int code, const QString &debug);
// The RTSP status an error's debug text carries, or 0.
int rtspStatus(const QString &debug);
const char *name(WarmFailure failure);

} // namespace WarmFailures
