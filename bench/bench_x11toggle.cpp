// `ondrel toggle` right after a clipboard owner that never answers took the
// clipboard, and right after a vector image that takes minutes to draw at
// its own size was copied: from starting the command to the popover's first
// paint. Run inside scripts/with-x11 (a private X server), release build.
#include "AppProcess.h"
#include "X11TestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

using namespace ondrel;

namespace {

// ONDREL_BIN measures another build of the program (an older one, say).
QString program()
{
    const QString other = qEnvironmentVariable("ONDREL_BIN");
    return other.isEmpty() ? QStringLiteral(ONDREL_BINARY) : other;
}

// Puts the SVG on the clipboard from another program (xclip serves it in
// the background until the next owner takes over).
bool offerSvg(const QByteArray& svg)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                 QStringLiteral("image/svg+xml"), QStringLiteral("-i")});
    xclip.write(svg);
    xclip.closeWriteChannel();
    return xclip.waitForFinished(5000) && xclip.exitCode() == 0;
}

void toggleAfter(benchmark::State& state, bool hungOwner)
{
    test::AppProcess app(program());
    if (!app.start()) {
        state.SkipWithError("the program did not start (run inside scripts/with-x11)");
        return;
    }
    const QByteArray svg = test::heavySvg(5600, 2000, 2700);
    double slowest = 0;
    for (auto _ : state) {
        test::HungOwner owner;
        if (!(hungOwner ? owner.start() : offerSvg(svg))) {
            state.SkipWithError("could not put the clipboard contents in place");
            return;
        }
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        if (!app.toggle()) {
            state.SkipWithError("ondrel toggle failed");
            return;
        }
        const auto painted = app.line(QStringLiteral("trace popover-painted "));
        if (!painted) {
            state.SkipWithError("the popover did not open");
            return;
        }
        const double seconds = double(painted->section(u' ', -1).toLongLong() - start) / 1000.0;
        state.SetIterationTime(seconds);
        slowest = std::max(slowest, seconds * 1000.0);
        if (!app.toggle() || !app.said(QStringLiteral("trace popover-hidden "))) {
            state.SkipWithError("the popover did not close");
            return;
        }
    }
    // The budget holds for every toggle, not on average.
    state.counters["slowest_ms"] = slowest;
}
void BM_ToggleAfterHungOwner(benchmark::State& state)
{
    toggleAfter(state, true);
}
BENCHMARK(BM_ToggleAfterHungOwner)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_ToggleAfterHeavySvg(benchmark::State& state)
{
    toggleAfter(state, false);
}
BENCHMARK(BM_ToggleAfterHeavySvg)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
