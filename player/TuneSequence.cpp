#include "player/TuneSequence.h"

#include "player/PlayQueue.h"
#include "player/PlayerControl.h"

#include <QStringList>

namespace {

constexpr int kQueueHead = 0;

// Addresses and options are 8-bit text in the local code page; the control takes wide strings.
QStringList wideOptions(const QList<QByteArray> &options) {
    QStringList wide;
    wide.reserve(options.size());
    for (const QByteArray &option : options)
        wide.append(QString::fromLocal8Bit(option));
    return wide;
}

} // namespace

void runTuneSequence(PlayerControl &control, const QByteArray &address, const QList<QByteArray> &options,
                     bool stopFirst) {
    if (stopFirst)
        control.stop();
    control.addTarget(QString::fromLocal8Bit(address), wideOptions(options), PlayQueue::kInsertMode,
                      kQueueHead);
    control.play();
}

PlayTarget tuneTarget(const QByteArray &address, const QList<QByteArray> &options) {
    return PlayTarget::read(QString::fromLocal8Bit(address), wideOptions(options), false);
}
