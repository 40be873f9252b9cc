#include "player/TuneSequence.h"

#include "player/PlayQueue.h"
#include "player/PlayerControl.h"

#include <QStringList>

namespace {
constexpr int kQueueHead = 0;
} // namespace

void runTuneSequence(PlayerControl &control, const QByteArray &address, const QList<QByteArray> &options,
                     bool stopFirst) {
    if (stopFirst)
        control.stop();
    // Addresses and options are 8-bit text in the local code page; the control takes wide strings.
    QStringList wideOptions;
    wideOptions.reserve(options.size());
    for (const QByteArray &option : options)
        wideOptions.append(QString::fromLocal8Bit(option));
    control.addTarget(QString::fromLocal8Bit(address), wideOptions, PlayQueue::kInsertMode, kQueueHead);
    control.play();
}
