#include "ZapFigures.h"

#include "ZapMeasures.h"

#include <cstdio>
#include <functional>

using ZapMeasures::percentile;

void ZapFigures::printTable(const QList<ZapFigures> &all) {
    const auto row = [&](const char *label, const std::function<QString(const ZapFigures &)> &cell) {
        std::printf("%-46s", label);
        for (const ZapFigures &figures : all)
            std::printf(" | %-26s", qPrintable(cell(figures)));
        std::printf("\n");
    };
    const auto ms = [](const QList<double> &values, double fraction) {
        return QString::number(percentile(values, fraction), 'f', 0);
    };
    std::printf("\n");
    row("", [](const ZapFigures &f) { return f.name.section(' ', 0, 0); });
    row("warm step to first picture, median / p90 ms", [&](const ZapFigures &f) {
        return ms(f.warm, 0.5) + " / " + ms(f.warm, 0.9) + QStringLiteral(" (%1)").arg(f.warm.size());
    });
    row("warm step to first live picture, median / p90",
        [&](const ZapFigures &f) { return ms(f.warmLive, 0.5) + " / " + ms(f.warmLive, 0.9); });
    row("cold tune, median / p90 ms",
        [&](const ZapFigures &f) { return ms(f.cold, 0.5) + " / " + ms(f.cold, 0.9); });
    row("floor: first key frame whole after PLAY",
        [&](const ZapFigures &f) { return ms(f.keyFloor, 0.5); });
    row("cold tune past its floor, median / p90 ms",
        [&](const ZapFigures &f) { return ms(f.pastFloor, 0.5) + " / " + ms(f.pastFloor, 0.9); });
    row("CPU % of a core, without / with neighbours", [](const ZapFigures &f) {
        return QStringLiteral("%1 / %2").arg(f.cpuCold, 0, 'f', 1).arg(f.cpuWarm, 0, 'f', 1);
    });
    row("sessions at rest / peak while a key is held", [](const ZapFigures &f) {
        return QStringLiteral("%1 / %2").arg(f.restSessions).arg(f.heldSessions);
    });
    row("KB/s at rest / held (x one channel)", [](const ZapFigures &f) {
        const double channel = std::max(f.channelRate, 1.0);
        return QStringLiteral("%1 (%2x) / %3 (%4x)")
            .arg(f.restRate / 1024, 0, 'f', 0)
            .arg(f.restRate / channel, 0, 'f', 1)
            .arg(f.heldRate / 1024, 0, 'f', 0)
            .arg(f.heldRate / channel, 0, 'f', 1);
    });
    row("pictures of the wrong channel",
        [](const ZapFigures &f) { return QStringLiteral("%1 of %2").arg(f.wrong).arg(f.checked); });
}
