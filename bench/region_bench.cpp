// Time to compute the window shape of a 685 x 431 skin, beside Qt's own mask route.
// Run: build-<dir>/bench/region_bench   (medians of 15 repetitions are printed)
#include "forms/TImage.h"
#include "shaping/SkinRegion.h"
#include "shaping/TSkTranspaMoveForm.h"

#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

constexpr QRgb kRed = 0xffff0000;
constexpr qint32 kRedKey = 255;

// A television-like skin: dark frame, blue screen, speaker dots, red cut-outs in the stand rows.
QImage generatedSkin() {
    QImage skin(685, 431, QImage::Format_RGB32);
    skin.fill(0xff303438);
    QPainter painter(&skin);
    painter.fillRect(70, 35, 535, 325, QColor(0, 0, 255));
    for (int y = 60; y < 340; y += 5)
        for (int x = 12; x < 52; x += 5) {
            painter.fillRect(x, y, 2, 2, Qt::black);
            painter.fillRect(x + 620, y, 2, 2, Qt::black);
        }
    painter.fillRect(0, 393, 685, 38, kRed);
    painter.fillRect(60, 393, 40, 15, QColor(0x30, 0x34, 0x38));
    painter.fillRect(585, 393, 40, 15, QColor(0x30, 0x34, 0x38));
    painter.fillRect(272, 393, 141, 38, QColor(0x20, 0x20, 0x20));
    return skin;
}

QImage assetSkin() {
    return QImage(QStringLiteral(HALCYON_SOURCE_DIR "/assets/skin.png"))
        .convertToFormat(QImage::Format_RGB32);
}

QImage skinFor(const benchmark::State &state) {
    return state.range(0) == 0 ? generatedSkin() : assetSkin();
}

void setLabel(benchmark::State &state, const QRegion &region) {
    state.SetLabel((state.range(0) == 0 ? "generated skin, " : "asset skin, ") +
                   std::to_string(region.rectCount()) + " rects");
}

void BM_SkinRegion(benchmark::State &state) {
    const QImage skin = skinFor(state);
    QRegion region;
    for (auto _ : state) {
        region = SkinRegion::build(skin, kRedKey);
        benchmark::DoNotOptimize(region);
    }
    setLabel(state, region);
}

void BM_QtMaskRoute(benchmark::State &state) {
    const QImage skin = skinFor(state);
    QRegion region;
    for (auto _ : state) {
        region = QRegion(QBitmap::fromImage(skin.createMaskFromColor(kRed, Qt::MaskInColor)));
        benchmark::DoNotOptimize(region);
    }
    setLabel(state, region);
}

// The whole rebuild on a hidden form: reading the picture, sizing, the mask, raising.
void BM_RebuildRegion(benchmark::State &state) {
    QWidget form(nullptr, Qt::FramelessWindowHint);
    auto *image = new TImage(&form);
    image->setBitmap(skinFor(state));
    image->resize(685, 431);
    auto *component = new TSkTranspaMoveForm(&form, TSkTranspaMoveForm::Creation::FromDescription);
    component->setImageLinked(image);
    component->setTransparent(true);
    component->setTransparentColor(kRedKey);
    component->Loaded();
    for (auto _ : state)
        component->RebuildRegion();
    setLabel(state, form.mask());
}

void configure(benchmark::internal::Benchmark *bench) {
    bench->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(15)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK(BM_SkinRegion)->Apply(configure);
BENCHMARK(BM_QtMaskRoute)->Apply(configure);
BENCHMARK(BM_RebuildRegion)->Apply(configure);

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
