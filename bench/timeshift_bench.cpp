// Pausing and moving through the kept part of a live channel, against the simulated box (MPEG-TS
// over RTP, encoded live: every picture differs) and the independent server (elementary streams),
// one after the other in one run.
//   timeshift_bench [--tries N] [--watch-seconds S] [--servers box,independent] [--keep-seconds S]
// For each server: a channel is watched for S seconds (75 by default, so a minute back is kept),
// then each try times Space to the picture held (the last picture after the press), Space again
// to the next picture, 10 s back, 1 min back and 10 s forward to the first picture at the new
// point, and End to the first live picture. Every picture shown is checked: the channel's colour,
// and, on the box, that it is no older than the point jumped to (each picture is matched with the
// same picture decoded live, kept unseen while behind). Then the cost of keeping: the store's CPU
// per second of an 8 Mbit/s stream, and resident memory across an hour of it written as fast as the
// disk takes it.
#include "ShiftCost.h"
#include "ZapMeasures.h"
#include "player/PlayerController.h"
#include "player/TVLCPlugin.h"
#include "player/timeshift/ShiftControl.h"
#include "player/timeshift/ShiftingEngine.h"
#include "support/IndependentRelay.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QHash>
#include <gst/gst.h>

#include <cstdio>

namespace {

constexpr int kChannel = 201;

struct Settings {
    int tries = 20;
    int watchSeconds = 75;
    int keepSeconds = 3600;
    QStringList servers = {QStringLiteral("box"), QStringLiteral("independent")};
};

struct Figures {
    QString name;
    QList<double> held, resumed, back10, back60, forward10, live;
    int pictures = 0;
    int wrongChannel = 0;
    int beforeJumpPoint = 0;
    int matched = 0;
};

QByteArray hashOf(const QImage &image) {
    return QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes()),
        QCryptographicHash::Md5);
}

class Run {
public:
    Run(const QByteArray &address, bool matchPictures, Figures &figures)
        : m_address(address), m_match(matchPictures), m_figures(figures) {
        auto engine = PlayerController::gstreamerEngine();
        auto *shifting = static_cast<ShiftingEngine *>(engine.get());
        m_control = std::make_unique<TVLCPlugin>(std::move(engine));
        m_control->resize(537, 329);
        m_control->show();
        m_shift = m_control->shift();
        m_clock.start();
        // Every picture the live stream decodes, shown or not, by its content: a picture shown
        // behind live is placed in time by the live one it equals.
        QObject::connect(&shifting->live(), &PlayerEngine::frameReady, [this](const QImage &frame, qreal) {
            if (m_match)
                m_liveAt.insert(hashOf(frame), m_clock.nsecsElapsed());
        });
        QObject::connect(&m_control->controller(), &PlayerController::pictureReady,
                         [this](const QImage &frame, qreal) { onPicture(frame); });
    }

    bool watch(int seconds) {
        m_control->addTarget(QString::fromUtf8(m_address), {}, 0, 0);
        m_control->play();
        if (!waitUntil([this] { return m_lastPictureNs > 0; }, 20000))
            return false;
        ZapMeasures::idle(seconds * 1000);
        return true;
    }

    void tryOnce() {
        m_figures.held.append(heldAfter([this] { m_shift->pause(); }));
        ZapMeasures::idle(1000);
        m_figures.resumed.append(pictureAfter([this] { m_shift->resume(); }, 0));
        ZapMeasures::idle(1000);
        m_figures.back10.append(pictureAfter([this] { m_shift->seekBy(-10000); }, -10000));
        ZapMeasures::idle(1000);
        m_figures.back60.append(pictureAfter([this] { m_shift->seekBy(-60000); }, -60000));
        ZapMeasures::idle(1000);
        m_figures.forward10.append(pictureAfter([this] { m_shift->seekBy(10000); }, 10000));
        ZapMeasures::idle(1000);
        m_figures.live.append(pictureAfter([this] { m_shift->toLive(); }, 0));
        ZapMeasures::idle(1500);
    }

private:
    // From the press to the last picture that still came after it.
    double heldAfter(const std::function<void()> &press) {
        const qint64 at = m_clock.nsecsElapsed();
        press();
        ZapMeasures::idle(600);
        return m_lastPictureNs > at ? double(m_lastPictureNs - at) / 1e6 : 0.0;
    }

    // From the press to the first picture after it; a jump (deltaMs) sets the oldest picture
    // allowed from then on: the one live shown at the point aimed at.
    double pictureAfter(const std::function<void()> &press, qint64 deltaMs) {
        const qint64 at = m_clock.nsecsElapsed();
        if (deltaMs != 0)
            m_notBeforeNs = m_shownLiveNs + deltaMs * 1'000'000 - 40'000'000;
        m_firstAfter = -1;
        m_pressedNs = at;
        press();
        waitUntil([this] { return m_firstAfter >= 0; }, 5000);
        return m_firstAfter >= 0 ? double(m_firstAfter - at) / 1e6 : -1;
    }

    void onPicture(const QImage &frame) {
        const qint64 now = m_clock.nsecsElapsed();
        m_lastPictureNs = now;
        if (m_firstAfter < 0 && m_pressedNs > 0)
            m_firstAfter = now;
        ++m_figures.pictures;
        const QRgb colour = averageColour(frame, QRect(frame.width() - 40, frame.height() / 2, 20, 20));
        if (!looksLikeChannel(colour, kChannel))
            ++m_figures.wrongChannel;
        if (!m_match)
            return;
        const auto live = m_liveAt.constFind(hashOf(frame));
        if (live == m_liveAt.cend())
            return;
        ++m_figures.matched;
        // Where the picture stood when live: what the next jump counts from.
        m_shownLiveNs = *live;
        if (*live < m_notBeforeNs && m_firstAfter == now)
            ++m_figures.beforeJumpPoint;
        if (m_firstAfter == now)
            m_notBeforeNs = 0;
    }

    QByteArray m_address;
    bool m_match;
    Figures &m_figures;
    std::unique_ptr<TVLCPlugin> m_control;
    ShiftControl *m_shift = nullptr;
    QElapsedTimer m_clock;
    QHash<QByteArray, qint64> m_liveAt;
    qint64 m_lastPictureNs = 0;
    qint64 m_pressedNs = 0;
    qint64 m_firstAfter = -1;
    qint64 m_shownLiveNs = 0;
    qint64 m_notBeforeNs = 0;
};

void print(const Figures &figures) {
    std::printf("\n%s\n", qPrintable(figures.name));
    const auto line = [](const char *what, const QList<double> &values) {
        std::printf("  %-34s %s\n", what, qPrintable(ZapMeasures::summary(values)));
    };
    line("Space to the picture held", figures.held);
    line("Space again to a moving picture", figures.resumed);
    line("10 s back to its first picture", figures.back10);
    line("1 min back to its first picture", figures.back60);
    line("10 s forward to its first picture", figures.forward10);
    line("End to the live picture", figures.live);
    std::printf("  pictures shown %d: another channel %d; matched with a live one %d, before the point "
                "jumped to %d\n",
                figures.pictures, figures.wrongChannel, figures.matched, figures.beforeJumpPoint);
}

Settings parse(const QStringList &arguments) {
    Settings settings;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        const QString &value = arguments[i + 1];
        if (arguments[i] == "--tries")
            settings.tries = value.toInt();
        else if (arguments[i] == "--watch-seconds")
            settings.watchSeconds = value.toInt();
        else if (arguments[i] == "--keep-seconds")
            settings.keepSeconds = value.toInt();
        else if (arguments[i] == "--servers")
            settings.servers = value.split(',');
    }
    return settings;
}

bool runOn(const QByteArray &address, bool match, const Settings &settings, Figures &figures) {
    Run run(address, match, figures);
    if (!run.watch(settings.watchSeconds)) {
        std::fprintf(stderr, "%s: no picture\n", qPrintable(figures.name));
        return false;
    }
    for (int i = 0; i < settings.tries; ++i)
        run.tryOnce();
    print(figures);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gst_init(nullptr, nullptr);
    const Settings settings = parse(app.arguments());
    if (settings.servers.contains("box")) {
        SetTopBox box;
        SetTopBox::Options options;
        options.channels = {kChannel};
        if (!box.start(options)) {
            std::fprintf(stderr, "the simulated box did not start: %s\n", qPrintable(box.error()));
            return 1;
        }
        Figures figures;
        figures.name = QStringLiteral("box (MPEG-TS over RTP, encoded live)");
        runOn(box.address(kChannel), true, settings, figures);
    }
    if (settings.servers.contains("independent")) {
        IndependentRelay relay;
        if (!relay.start(kChannel)) {
            std::fprintf(stderr, "the independent server did not start: %s\n", qPrintable(relay.error()));
            return 1;
        }
        Figures figures;
        figures.name = QStringLiteral("independent (elementary streams, each its own RTP session)");
        runOn(relay.address(kChannel), false, settings, figures);
    }
    printShiftCost(settings.keepSeconds);
    return 0;
}
