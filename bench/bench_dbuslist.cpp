// A D-Bus List() of 1,000 entries, as another program on the session bus
// sees it: from sending the call until the reply is in, read into rows;
// beside it, the processor time the program spent on each call.
// The history is a history.json written before the program starts (texts of
// 20 to 600 characters, every 50th one of 6,000, ten pinned, half with an
// application). The program runs on a private session bus of its own.
// Run inside scripts/with-x11, release build.
#include "AppProcess.h"
#include "BenchText.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <unistd.h>

using namespace ondrel;

namespace {

constexpr int kEntries = 1000;
const QString kName = QStringLiteral("io.github.ondrel.Ondrel");
const QString kPath = QStringLiteral("/io/github/ondrel/Ondrel");
const QString kInterface = QStringLiteral("io.github.ondrel.Ondrel1");

bool writeHistory(const QString& home)
{
    QJsonArray entries;
    const double now = double(QDateTime::currentSecsSinceEpoch()) - 978307200.0; // since 2001
    for (int i = 0; i < kEntries; ++i) {
        const qsizetype length = i % 50 == 0 ? 6000 : 20 + (i * 37) % 580;
        QJsonObject entry{{QStringLiteral("text"), bench::mixedText(length, unsigned(i + 1))},
                          {QStringLiteral("timestamp"), now - i * 60.0},
                          {QStringLiteral("isPinned"), i % 100 == 7}};
        if (i % 2)
            entry.insert(QStringLiteral("appName"), QStringLiteral("Text Editor"));
        entries.append(entry);
    }
    const QString data = home + QStringLiteral("/.local/share/ondrel");
    const QString config = home + QStringLiteral("/.config/ondrel");
    return QDir().mkpath(data) && QDir().mkpath(config) &&
           test::writeFile(data + QStringLiteral("/history.json"), QJsonDocument(entries).toJson()) &&
           test::writeFile(config + QStringLiteral("/settings.json"), R"({"history":{"maxItems":1000}})");
}

// The processor time a process has used so far, in milliseconds.
double cpuMs(qint64 pid)
{
    const QList<QByteArray> fields = test::readFile(QStringLiteral("/proc/%1/stat").arg(pid)).split(' ');
    // utime and stime, fields 14 and 15, in clock ticks (after a name without spaces).
    return fields.size() > 15 ? double(fields[13].toLongLong() + fields[14].toLongLong()) * 1000.0 /
                                    double(::sysconf(_SC_CLK_TCK))
                              : 0;
}

// The rows of a List() reply, read as a client reads them.
qsizetype readRows(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage)
        return -1;
    const QDBusArgument rows = reply.arguments().value(0).value<QDBusArgument>();
    qsizetype read = 0;
    rows.beginArray();
    while (!rows.atEnd()) {
        QString id, type, preview, app, language;
        qint64 timestamp = 0;
        bool pinned = false;
        rows.beginStructure();
        rows >> id >> type >> preview >> timestamp >> pinned >> app >> language;
        rows.endStructure();
        ++read;
    }
    rows.endArray();
    return read;
}

void BM_DBusList(benchmark::State& state)
{
    test::PrivateSessionBus daemon;
    const QString address = daemon.start();
    if (address.isEmpty()) {
        state.SkipWithError("dbus-daemon did not start");
        return;
    }
    test::AppProcess app(QStringLiteral(ONDREL_BINARY));
    QProcessEnvironment env;
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    if (!writeHistory(app.home()) || !app.start(env)) {
        state.SkipWithError("the program did not start (run inside scripts/with-x11)");
        return;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("bench"));
    const QDBusMessage list =
        QDBusMessage::createMethodCall(kName, kPath, kInterface, QStringLiteral("List"));
    // The first call also waits for the history file to be read.
    if (readRows(bus.call(list, QDBus::Block, 10000)) != kEntries) {
        state.SkipWithError("List() did not answer with every entry");
        return;
    }
    std::vector<double> times;
    const qint64 pid = app.process().processId();
    const double cpuBefore = cpuMs(pid);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const qsizetype rows = readRows(bus.call(list, QDBus::Block, 10000));
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        if (rows != kEntries) {
            state.SkipWithError("List() lost entries");
            return;
        }
        state.SetIterationTime(seconds);
        times.push_back(seconds * 1000);
    }
    // The program's own share, apart from waiting for a busy machine.
    state.counters["program_cpu_ms"] = (cpuMs(pid) - cpuBefore) / double(times.size());
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p95_ms"] = times[size_t(double(times.size() - 1) * 0.95)];
    state.counters["max_ms"] = times.back();
}
BENCHMARK(BM_DBusList)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    return 0;
}
