// Scripts reading the running program's history: `ondrel list` of 1,000
// entries and `ondrel get 1` of a 10 MB text, each timed from starting the
// command until it returned with all its output. Run inside
// scripts/with-x11 (a private X server), release build.
#include "AppProcess.h"
#include "HistoryFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

using namespace ondrel;

namespace {

// ONDREL_BIN measures another build of the program (an older one, say).
QString program()
{
    const QString other = qEnvironmentVariable("ONDREL_BIN");
    return other.isEmpty() ? QStringLiteral(ONDREL_BINARY) : other;
}

void timeCommand(benchmark::State& state, const QList<ClipboardItem>& history, const QStringList& args,
                 qsizetype expectedBytes)
{
    test::AppProcess app(program());
    const QString folder = app.home() + QStringLiteral("/.local/share/ondrel");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/history.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(HistoryFile::encode(history)) < 0) {
        state.SkipWithError("cannot write the history");
        return;
    }
    file.close();
    // Above the default cap of 50 entries.
    QDir().mkpath(app.home() + QStringLiteral("/.config/ondrel"));
    QFile settings(app.home() + QStringLiteral("/.config/ondrel/settings.json"));
    if (!settings.open(QIODevice::WriteOnly) || settings.write("{\"history\":{\"maxItems\":2000}}") < 0) {
        state.SkipWithError("cannot write the settings");
        return;
    }
    settings.close();
    if (!app.start()) {
        state.SkipWithError("the program did not start (run inside scripts/with-x11)");
        return;
    }
    // Into a file, as a shell's redirection would: this process reading a
    // pipe would time its own reading too.
    const QString outFile = app.home() + QStringLiteral("/out");
    std::vector<double> times;
    int failed = 0;
    for (auto _ : state) {
        QProcess command;
        command.setProcessEnvironment(app.process().processEnvironment());
        command.setStandardOutputFile(outFile);
        QElapsedTimer clock;
        clock.start();
        command.start(program(), args);
        command.waitForFinished(10000);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        if (command.exitCode() != 0 || QFileInfo(outFile).size() != expectedBytes)
            ++failed;
        state.SetIterationTime(seconds);
        times.push_back(seconds * 1000);
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p95_ms"] = times[size_t(double(times.size() - 1) * 0.95)];
    state.counters["failed"] = failed;
}

void BM_List1000(benchmark::State& state)
{

    QList<ClipboardItem> history;
    qsizetype bytes = 0;
    for (int i = 0; i < 1000; ++i) {
        const QString text =
            QStringLiteral("entry %1: git commit -m \"a line a user copies\" && echo done").arg(i);
        history << ClipboardItem::makeText(text, QStringLiteral("xterm"), std::nullopt,
                                           Timestamp::fromSecondsSinceEpoch(1.7e9 - i));
        bytes += QByteArray::number(i + 1).size() + 1 + text.toUtf8().size() + 1;
    }
    timeCommand(state, history, {QStringLiteral("list")}, bytes);
}
BENCHMARK(BM_List1000)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_Get10MB(benchmark::State& state)
{
    QString text = QStringLiteral("fn main() { println!(\"a line of code, 50 bytes\"); }\n").repeated(200000);
    const qsizetype bytes = text.toUtf8().size();
    timeCommand(state, {ClipboardItem::makeText(text)}, {QStringLiteral("get"), QStringLiteral("1")}, bytes);
}
BENCHMARK(BM_Get10MB)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
