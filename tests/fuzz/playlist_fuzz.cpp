// The playlist reader over any bytes: rows, names as shown, and the address of each row.
#include "playlist/ChannelText.h"
#include "playlist/Playlist.h"
#include "playlist/PlaylistErrors.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const Playlist playlist(PlaylistLines(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))));
    if (playlist.rowCount() > playlist.lines().count())
        std::abort();
    for (int row = -1; row <= playlist.rowCount(); ++row) {
        try {
            const QByteArray address = playlist.addressOfRow(row);
            // An address is never empty and never a "#" line.
            if (address.isEmpty() || address.startsWith('#'))
                std::abort();
        } catch (const EListError &error) {
            if (error.index() < -1 || error.index() > playlist.lines().count())
                std::abort();
        }
        if (row < 0 || row >= playlist.rowCount())
            continue;
        const QString shown = playlist.displayName(row);
        if (shown.size() > kShownNameCharacters + 1 || shown.contains(QChar(u'\0')))
            std::abort();
        (void)channelNumber(shown);
    }
    return 0;
}
