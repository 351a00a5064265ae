// Putting an image entry back on the X11 clipboard: the time the GUI thread
// spends in the copy-out of an image another program copied as PNG, and in
// the watcher's look at that write, at 1920 × 1080 and 3840 × 2160. Run inside scripts/with-x11 (a private X
// server), e.g. scripts/with-x11 build/release/bench/bench_x11copyout
#include "LiveStore.h"
#include "TestSupport.h"
#include "X11Clipboard.h"
#include "X11TestSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

using namespace ondrel;

namespace {

// Something like a screenshot of a photo: gradients under fine noise, so
// that encoding costs what it costs on real images.
QImage photo(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(30, 90, 160));
    gradient.setColorAt(1, QColor(230, 180, 60));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] ^= random.bounded(16u) * 0x010101u;
    }
    return image;
}

void copyOut(benchmark::State& state, QSize size)
{
    platform::X11Clipboard board(QGuiApplication::clipboard());
    test::LiveStore store(board);
    // Recorded the way every copy is: another program offers it, the watcher reads it.
    test::offer(test::encodedImage(photo(size)), QStringLiteral("image/png"));
    QElapsedTimer waited;
    waited.start();
    while (store.history.store.items().isEmpty() && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (store.history.store.items().isEmpty()) {
        state.SkipWithError("the image was not recorded (run inside scripts/with-x11)");
        return;
    }
    const ClipboardItem item = store.history.store.items().first();
    ClipboardWatcher& watcher = store.history.watcher;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        store.history.paster.copyAndPaste(item);
        // The watcher looks at our own write too, on this thread.
        while (watcher.lastChangeCount() != board.changeCount() || watcher.isReading())
            QCoreApplication::processEvents();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

void BM_CopyOutImage1080p(benchmark::State& state)
{
    copyOut(state, QSize(1920, 1080));
}
BENCHMARK(BM_CopyOutImage1080p)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_CopyOutImage4K(benchmark::State& state)
{
    copyOut(state, QSize(3840, 2160));
}
BENCHMARK(BM_CopyOutImage4K)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
