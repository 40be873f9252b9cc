#pragma once

#include <QByteArray>
#include <QString>

class TVLCPlugin;

// Records the channel at `address` into `file` through the player's transcoding chain until some
// 200 kB are written, then stops and waits for the recording to close without error. Fails the
// calling test otherwise: wrap the call in ASSERT_NO_FATAL_FAILURE.
void recordForAWhile(TVLCPlugin &control, const QByteArray &address, const QString &file);
