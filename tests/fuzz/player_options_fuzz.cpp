// The options queued with a stream, one per line of the input: read or refused with a reason.
#include "player/PlayerOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        (void)PlayerOptions::parse(text.split(u'\n'));
    } catch (const PlayerOptionError &) {
    }
    return 0;
}
