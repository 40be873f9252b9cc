// A sound track chosen while a channel plays: from the choice (the menu's click) to the first sound
// of the new track, told by its pitch, and the longest the picture stood still meanwhile; then the
// same longest stillness as subtitles are turned on and off. Run offscreen or under a display:
//   bench/track_switch_bench [--switches 10]

#include "gui/PitchSink.h"
#include "player/TVLCPlugin.h"
#include "player/pipeline/SoundOutput.h"
#include "settopbox/TrackProfile.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using namespace halcyon::settopbox;

// The box's French and English tracks.
constexpr int kTones[2] = {kFrenchToneHz, kEnglishToneHz};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

double worst(const std::vector<double> &values) {
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int switches = 10;
    const QStringList args = app.arguments();
    if (const int i = args.indexOf(QStringLiteral("--switches")); i > 0 && i + 1 < args.size())
        switches = args.at(i + 1).toInt();

    PitchSink::install();
    SoundOutput::forget();
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = QList<int>() << 201;
    options.profiles = {{201, QLatin1String(kTracksProfile)}};
    if (!box.start(options)) {
        std::fprintf(stderr, "box: %s\n", qPrintable(box.error()));
        return 1;
    }
    TVLCPlugin player;
    player.resize(540, 432);
    player.show();
    QElapsedTimer clock;
    clock.start();
    qint64 lastPicture = -1;
    qint64 longestStill = 0;
    QObject::connect(&player, &TVLCPlugin::framePainted, [&] {
        const qint64 now = clock.elapsed();
        if (lastPicture >= 0)
            longestStill = std::max(longestStill, now - lastPicture);
        lastPicture = now;
    });
    player.addTarget(QString::fromLatin1(box.address(201)), {}, 0, 0);
    player.play();
    const auto hears = [](int tone) { return std::abs(PitchSink::pitch() - tone) < 60; };
    if (!waitUntil([&] { return player.soundTracks().size() == 3 && hears(kTones[0]); }, 20000)) {
        std::fprintf(stderr, "the channel's sound tracks never played\n");
        return 1;
    }
    std::vector<double> toSound, stillDuringSound;
    for (int i = 0; i < switches; ++i) {
        const int track = (i + 1) % 2;
        waitUntil([] { return false; }, 1000);
        longestStill = 0;
        const qint64 start = clock.elapsed();
        player.chooseSound(track);
        if (!waitUntil([&] { return hears(kTones[track]); }, 5000, 1)) {
            std::fprintf(stderr, "switch %d: the new track never sounded\n", i + 1);
            continue;
        }
        toSound.push_back(clock.elapsed() - start);
        waitUntil([] { return false; }, 300);
        stillDuringSound.push_back(longestStill);
    }
    std::vector<double> stillDuringSubtitles;
    for (int i = 0; i < switches; ++i) {
        waitUntil([] { return false; }, 1000);
        longestStill = 0;
        player.chooseSubtitles(i % 2 == 0 ? 0 : -1);
        waitUntil([] { return false; }, 1000);
        stillDuringSubtitles.push_back(longestStill);
    }
    std::printf("sound track switches: %zu of %d\n", toSound.size(), switches);
    std::printf("choice to the new track's first sound, median / worst ms: %.0f / %.0f "
                "(heard in 40 ms windows)\n",
                median(toSound), worst(toSound));
    std::printf("longest still picture around a sound switch, median / worst ms: %.0f / %.0f\n",
                median(stillDuringSound), worst(stillDuringSound));
    std::printf("longest still picture around subtitles on or off, median / worst ms: %.0f / %.0f\n",
                median(stillDuringSubtitles), worst(stillDuringSubtitles));
    return 0;
}
