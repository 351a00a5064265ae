// The memory a clipboard owner that never stops sending costs the program:
// a fresh program for each run, then an owner that offers a text and sends
// it without end (on X11 in pieces, INCR; on Wayland through the pipe),
// until the program gives the copy up. Reported: the program's peak
// resident memory (VmHWM) against the budget of the entry limit + 64 MiB,
// its memory before, and the time until it gave up. Run inside
// scripts/with-x11 or scripts/with-sway, release build.
#include "AppProcess.h"
#include "EntrySize.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>

using namespace ondrel;

namespace {

// ONDREL_BIN measures another build of the program (an older one, say).
QString program()
{
    const QString other = qEnvironmentVariable("ONDREL_BIN");
    return other.isEmpty() ? QStringLiteral(ONDREL_BINARY) : other;
}

// A field of /proc/PID/status, in MiB.
std::optional<double> statusMiB(qint64 pid, const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    return std::nullopt;
}

// The owner that never ends of the desktop this runs in, if this build has one.
QString endlessOwner()
{
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
#ifdef HUNG_WAYLAND_SOURCE
        return QStringLiteral(HUNG_WAYLAND_SOURCE);
#endif
    } else {
#ifdef HUNG_CLIPBOARD_OWNER
        return QStringLiteral(HUNG_CLIPBOARD_OWNER);
#endif
    }
    return {};
}

void BM_EndlessSource(benchmark::State& state)
{
    const QString helper = endlessOwner();
    if (helper.isEmpty()) {
        state.SkipWithError("this build has no owner for this desktop");
        return;
    }
    double peak = 0;
    double before = 0;
    for (auto _ : state) {
        test::AppProcess app(program());
        if (!app.start({}, {QStringLiteral("QT_QPA_PLATFORM")})) {
            state.SkipWithError(
                "the program did not start (run inside scripts/with-x11 or scripts/with-sway)");
            return;
        }
        const qint64 pid = app.process().processId();
        before = std::max(before, statusMiB(pid, "VmRSS").value_or(0));
        QProcess owner;
        owner.start(helper, {QStringLiteral("--endless")});
        if (!owner.waitForStarted() || !owner.waitForReadyRead(5000)) {
            state.SkipWithError("the endless owner did not start");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        if (!app.said(QStringLiteral("ondrel: the clipboard's "), 120000)) {
            state.SkipWithError("the program did not give the copy up within 2 minutes");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        peak = std::max(peak, statusMiB(pid, "VmHWM").value_or(0));
        owner.kill();
        owner.waitForFinished();
    }
    state.counters["peak_rss_MiB"] = peak;
    state.counters["budget_MiB"] = double(platform::kMaxEntryBytes >> 20) + 64;
    state.counters["rss_before_MiB"] = before;
}
BENCHMARK(BM_EndlessSource)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
