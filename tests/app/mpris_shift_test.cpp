// The desktop's media controls pause, resume and move through the kept channel over a session bus
// of the test's own, and tell the desktop where it plays.
#include "app/MediaShift.h"
#include "desktop/MprisService.h"
#include "player/FakeShiftControl.h"
#include "support/PrivateSessionBus.h"
#include "support/Wait.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <gtest/gtest.h>

#include <optional>

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// A channel that plays and stops, kept by the fake control as the player's is by its engine.
class KeptChannel : public MediaControls {
public:
    explicit KeptChannel(ShiftControl **control) : m_shift([control] { return *control; }) {
        connect(&m_shift, &MediaShift::changed, this, &MediaControls::shiftChanged);
    }
    int plays = 0;
    int stops = 0;
    bool playing = true;
    MediaShift &keeping() { return m_shift; }

    void next() override {}
    void previous() override {}
    void play() override {
        ++plays;
        playing = true;
    }
    void stop() override {
        ++stops;
        playing = false;
    }
    bool isPlaying() const override { return playing; }
    QString title() const override { return QStringLiteral("201 - Une"); }
    int volume() const override { return 100; }
    void setVolume(int) override {}
    Shift shift() const override { return m_shift.state(); }
    void pause() override { m_shift.pause(); }
    void resume() override { m_shift.resume(); }
    void seekBy(qint64 deltaMs) override { m_shift.seekBy(deltaMs); }
    void seekTo(qint64 fromOldestMs) override { m_shift.seekTo(fromOldestMs); }

private:
    MediaShift m_shift;
};

// A desktop's media applet: calls the player over its own connection and hears its signals.
class Applet : public QObject {
    Q_OBJECT
public:
    Applet(const QString &address, const QString &service)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("applet"))), m_service(service) {
        m_bus.connect(service, kPath, kPlayer, QStringLiteral("Seeked"), this, SLOT(seeked(qlonglong)));
        m_bus.connect(service, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                      QStringLiteral("PropertiesChanged"), this,
                      SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    }
    ~Applet() override { QDBusConnection::disconnectFromBus(QStringLiteral("applet")); }

    std::optional<QDBusMessage> call(const QString &interface, const QString &method,
                                     const QVariantList &args) {
        QDBusMessage message = QDBusMessage::createMethodCall(m_service, kPath, interface, method);
        message.setArguments(args);
        QDBusPendingCallWatcher watcher(m_bus.asyncCall(message));
        if (!waitUntil([&] { return watcher.isFinished(); }, 10000) || watcher.isError())
            return std::nullopt;
        return watcher.reply();
    }
    bool command(const QString &method, const QVariantList &args = {}) {
        return call(kPlayer, method, args).has_value();
    }
    QVariant property(const QString &name) {
        const auto reply =
            call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {kPlayer, name});
        return reply ? reply->arguments().value(0).value<QDBusVariant>().variant() : QVariant();
    }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(QStringLiteral("Metadata"))); }

    QList<qlonglong> seeks;
    QStringList statuses;

public slots:
    void seeked(qlonglong position) { seeks << position; }
    void propertiesChanged(const QString &, const QVariantMap &changed, const QStringList &) {
        if (changed.contains(QStringLiteral("PlaybackStatus")))
            statuses << changed.value(QStringLiteral("PlaybackStatus")).toString();
    }

private:
    QDBusConnection m_bus;
    QString m_service;
};

TEST(MprisShift, PauseResumeAndMovesReachTheKeptChannelAndTheDesktopHearsWhereItPlays) {
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.start()) << "no dbus-daemon";
    FakeShiftControl kept;
    kept.at = {600000, 0, false};
    ShiftControl *control = &kept;
    KeptChannel channel(&control);
    MprisService service(channel, QStringLiteral("halcyon-tv"));
    ASSERT_TRUE(service.registerOnSessionBus());
    ASSERT_TRUE(waitUntil([&] { return !service.serviceName().isEmpty(); }, 10000));
    Applet applet(bus.address(), service.serviceName());

    EXPECT_EQ(applet.property(QStringLiteral("CanPause")), true);
    EXPECT_EQ(applet.property(QStringLiteral("CanSeek")), true);
    EXPECT_EQ(applet.metadata().value(QStringLiteral("mpris:length")).toLongLong(), 600000000);

    ASSERT_TRUE(applet.command(QStringLiteral("Pause")));
    EXPECT_EQ(kept.calls, QStringList{QStringLiteral("pause")});
    EXPECT_EQ(applet.property(QStringLiteral("PlaybackStatus")), QStringLiteral("Paused"));
    EXPECT_TRUE(waitUntil([&] { return applet.statuses.contains(QStringLiteral("Paused")); }, 10000));
    ASSERT_TRUE(applet.command(QStringLiteral("PlayPause")));
    ASSERT_TRUE(applet.command(QStringLiteral("PlayPause")));
    ASSERT_TRUE(applet.command(QStringLiteral("Play")));
    EXPECT_EQ(kept.calls.mid(1), (QStringList{"resume", "pause", "resume"}));
    EXPECT_EQ(applet.property(QStringLiteral("PlaybackStatus")), QStringLiteral("Playing"));
    EXPECT_EQ(channel.plays, 0) << "tuned again instead of resuming";

    // Ten seconds back: the position counts from the oldest moment kept.
    ASSERT_TRUE(applet.command(QStringLiteral("Seek"), {qlonglong(-10000000)}));
    EXPECT_EQ(kept.calls.last(), QStringLiteral("seekBy -10000"));
    EXPECT_EQ(applet.property(QStringLiteral("Position")).toLongLong(), 590000000);
    EXPECT_TRUE(waitUntil([&] { return applet.seeks.contains(590000000); }, 10000));

    // A position for another track, or past what is kept, is not taken.
    const auto track = applet.metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>();
    ASSERT_TRUE(applet.command(
        QStringLiteral("SetPosition"),
        {QVariant::fromValue(QDBusObjectPath("/org/halcyontv/Player/Old")), qlonglong(100000000)}));
    ASSERT_TRUE(
        applet.command(QStringLiteral("SetPosition"), {QVariant::fromValue(track), qlonglong(700000000)}));
    EXPECT_EQ(kept.calls.last(), QStringLiteral("seekBy -10000"));
    ASSERT_TRUE(
        applet.command(QStringLiteral("SetPosition"), {QVariant::fromValue(track), qlonglong(100000000)}));
    EXPECT_EQ(kept.calls.last(), QStringLiteral("seekTo 100000"));
    EXPECT_EQ(applet.property(QStringLiteral("Position")).toLongLong(), 100000000);
    EXPECT_TRUE(waitUntil([&] { return applet.seeks.contains(100000000); }, 10000));

    ASSERT_TRUE(applet.command(QStringLiteral("Stop")));
    EXPECT_EQ(channel.stops, 1);
    EXPECT_EQ(kept.calls.last(), QStringLiteral("seekTo 100000")) << "Stop paused";

    // Nothing kept: no pause and no moves; Pause stops and Play plays the channel again.
    const qsizetype asked = kept.calls.size();
    control = nullptr;
    channel.keeping().watch();
    channel.playing = true;
    EXPECT_EQ(applet.property(QStringLiteral("CanPause")), false);
    EXPECT_EQ(applet.property(QStringLiteral("CanSeek")), false);
    ASSERT_TRUE(applet.command(QStringLiteral("Pause")));
    EXPECT_EQ(channel.stops, 2);
    ASSERT_TRUE(applet.command(QStringLiteral("Play")));
    EXPECT_EQ(channel.plays, 1);
    ASSERT_TRUE(applet.command(QStringLiteral("Seek"), {qlonglong(-10000000)}));
    EXPECT_EQ(kept.calls.size(), asked);
}

} // namespace

#include "mpris_shift_test.moc"
