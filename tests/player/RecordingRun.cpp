#include "RecordingRun.h"

#include "QtPrinting.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"

#include <QScopeGuard>

#include <gtest/gtest.h>

void recordForAWhile(TVLCPlugin &control, const QByteArray &address, const QString &file) {
    bool finished = false, ok = false;
    QString message;
    const QMetaObject::Connection onFinished = QObject::connect(
        &control, &TVLCPlugin::recordingFinished, [&](const QString &, bool good, const QString &why) {
            finished = true;
            ok = good;
            message = why;
        });
    qint64 written = 0;
    const QMetaObject::Connection onProgress = QObject::connect(
        &control, &TVLCPlugin::recordingProgress, [&](qint64, qint64 bytes) { written = bytes; });
    // The locals above die with this call: no signal may reach them afterwards.
    const auto disconnect = qScopeGuard([&] {
        QObject::disconnect(onFinished);
        QObject::disconnect(onProgress);
    });
    control.addTarget(
        QString::fromLatin1(address),
        {QStringLiteral(":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,"
                        "url=\"%1\",access=file}")
             .arg(file)},
        1, 0);
    control.play();
    ASSERT_TRUE(waitUntil([&] { return written > 200000 || finished; }, 30000)) << control.statusText();
    ASSERT_FALSE(finished) << message.toStdString();
    control.stop();
    ASSERT_TRUE(waitUntil([&] { return finished; }, 15000));
    EXPECT_TRUE(ok) << message.toStdString();
}
