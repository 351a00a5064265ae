// Capture latency on a Wayland desktop: from starting wl-copy with a new
// 200-byte text until that text is in the saved history. Also wl-copy
// alone, until it returns, to tell its share from ours. Run inside
// scripts/with-sway or scripts/with-kwin, release build.
#include "AppProcess.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <benchmark/benchmark.h>

using namespace ondrel;

namespace {

void BM_WaylandCapture(benchmark::State& state)
{
    test::AppProcess app(QStringLiteral(ONDREL_BINARY));
    if (!app.start({}, {QStringLiteral("QT_QPA_PLATFORM")})) {
        state.SkipWithError("the program did not start (run inside scripts/with-sway or scripts/with-kwin)");
        return;
    }
    int copy = 0;
    double copyOnly = 0;
    for (auto _ : state) {
        const QByteArray text =
            QByteArray("latency probe ") + QByteArray::number(++copy) + ' ' + QByteArray(180, 'x');
        QElapsedTimer clock;
        clock.start();
        if (!test::wlCopy(text)) {
            state.SkipWithError("wl-copy failed");
            return;
        }
        copyOnly += double(clock.nsecsElapsed()) / 1e6;
        // Polled every millisecond: the figure is at most that much late.
        for (;;) {
            QFile file(app.historyFile());
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
                break;
            if (clock.elapsed() > 3000) {
                state.SkipWithError("the copy was not recorded within 3 s");
                return;
            }
            QThread::usleep(1000);
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        QThread::msleep(300); // apart, as a user copies
    }
    state.counters["wl_copy_ms"] = copyOnly / copy;
}
BENCHMARK(BM_WaylandCapture)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
