// `ondrel toggle` while 20 other programs of the same user flood the
// running program's socket: with random bytes, and with requests whose
// answers they never read. From starting the command until it returned
// with success; the budget is the 95th percentile. Beside it, the same
// program only starting (its share of the figure: the flood costs CPU), and
// the socket's share: from connecting to the answer, asked from here. Run
// inside scripts/with-x11 (a private X server), release build.
#include "AppProcess.h"
#include "SingleInstance.h"
#include "SocketFlood.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>
#include <vector>

using namespace ondrel;

namespace {

// ONDREL_BIN measures another build of the program (an older one, say).
QString program()
{
    const QString other = qEnvironmentVariable("ONDREL_BIN");
    return other.isEmpty() ? QStringLiteral(ONDREL_BINARY) : other;
}

void toggleUnder(benchmark::State& state, std::optional<test::SocketFlood::Kind> kind)
{
    test::AppProcess app(program());
    if (!app.start()) {
        state.SkipWithError("the program did not start (run inside scripts/with-x11)");
        return;
    }
    const QDir runtime(app.home() + QStringLiteral("/run"));
    const QStringList sockets = runtime.entryList({QStringLiteral("*.socket")}, QDir::System);
    if (sockets.size() != 1) {
        state.SkipWithError("no socket in the program's runtime folder");
        return;
    }
    // This process asks as `ondrel toggle` does, from the program's session.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    std::optional<test::SocketFlood> flood;
    if (kind) {
        flood.emplace(runtime.filePath(sockets.front()), *kind);
        while (flood->connections() < 100)
            QThread::msleep(10);
    }
    std::vector<double> times;
    std::vector<double> starts;
    std::vector<double> answers;
    int failed = 0;
    for (auto _ : state) {
        // The same program doing no more than starting, to tell its share from the socket's.
        QProcess alone;
        QElapsedTimer startClock;
        startClock.start();
        alone.start(program(), {QStringLiteral("detect")});
        alone.closeWriteChannel();
        alone.waitForFinished(10000);
        starts.push_back(double(startClock.nsecsElapsed()) / 1e6);

        QProcess toggle;
        toggle.setProcessEnvironment(app.process().processEnvironment());
        QElapsedTimer clock;
        clock.start();
        toggle.start(program(), {QStringLiteral("toggle")});
        if (!toggle.waitForFinished(10000) || toggle.exitCode() != 0)
            ++failed;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        times.push_back(seconds * 1000);
        QThread::msleep(50); // apart, as a user presses
        // And closed again from here.
        QElapsedTimer answerClock;
        answerClock.start();
        if (!SingleInstance::send(QStringLiteral("toggle")))
            ++failed;
        answers.push_back(double(answerClock.nsecsElapsed()) / 1e6);
        QThread::msleep(50);
    }
    const auto p95 = [](std::vector<double>& values) {
        std::sort(values.begin(), values.end());
        return values[size_t(double(values.size() - 1) * 0.95)];
    };
    state.counters["p95_ms"] = p95(times);
    state.counters["start_p95_ms"] = p95(starts);
    state.counters["socket_p95_ms"] = p95(answers);
    state.counters["max_ms"] = times.back();
    state.counters["failed"] = failed;
    if (flood)
        state.counters["flood_connections"] = flood->connections();
}

void BM_ToggleAlone(benchmark::State& state)
{
    toggleUnder(state, std::nullopt);
}
BENCHMARK(BM_ToggleAlone)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);

void BM_ToggleUnderGarbageFlood(benchmark::State& state)
{
    toggleUnder(state, test::SocketFlood::Kind::Garbage);
}
BENCHMARK(BM_ToggleUnderGarbageFlood)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);

void BM_ToggleUnderNeverReadingFlood(benchmark::State& state)
{
    toggleUnder(state, test::SocketFlood::Kind::NeverReading);
}
BENCHMARK(BM_ToggleUnderNeverReadingFlood)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
