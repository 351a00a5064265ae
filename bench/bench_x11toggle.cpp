// `ondrel toggle` while a clipboard owner that never answers holds the
// clipboard: from starting the command to the popover's first paint. Run
// inside scripts/with-x11 (a private X server), release build.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

class App
{
public:
    App()
    {
        QDir(m_home.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(m_home.path() + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path() + QStringLiteral("/run"));
        env.insert(QStringLiteral("ONDREL_TRACE"), QStringLiteral("1"));
        m_app.setProcessEnvironment(env);
        m_app.setReadChannel(QProcess::StandardError);
        m_app.start(QStringLiteral(ONDREL_BINARY), {});
        ready = waitFor("trace ready");
        m_owner.start(QStringLiteral(HUNG_CLIPBOARD_OWNER), {});
        ready = ready && m_owner.waitForReadyRead(5000) && m_owner.readLine().trimmed() == "owned" &&
                waitFor("ondrel: the program that owns the clipboard does not answer");
    }
    ~App()
    {
        m_owner.kill();
        m_owner.waitForFinished();
        m_app.terminate();
        m_app.waitForFinished();
    }

    // The next line of the program that starts with `prefix`.
    std::optional<QByteArray> line(const char* prefix)
    {
        for (;;) {
            while (m_app.canReadLine()) {
                const QByteArray l = m_app.readLine().trimmed();
                if (l.startsWith(prefix))
                    return l;
            }
            if (!m_app.waitForReadyRead(10000))
                return std::nullopt;
        }
    }
    bool waitFor(const char* prefix) { return line(prefix).has_value(); }

    bool toggle()
    {
        QProcess process;
        process.setProcessEnvironment(m_app.processEnvironment());
        process.start(QStringLiteral(ONDREL_BINARY), {QStringLiteral("toggle")});
        return process.waitForFinished(10000) && process.exitCode() == 0;
    }

    bool ready = false;

private:
    QTemporaryDir m_home;
    QProcess m_app;
    QProcess m_owner;
};

void BM_ToggleWithHungOwner(benchmark::State& state)
{
    App app;
    if (!app.ready) {
        state.SkipWithError("the program or the hung owner did not start (run inside scripts/with-x11)");
        return;
    }
    for (auto _ : state) {
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        if (!app.toggle()) {
            state.SkipWithError("ondrel toggle failed");
            return;
        }
        const auto painted = app.line("trace popover-painted ");
        if (!painted) {
            state.SkipWithError("the popover did not open");
            return;
        }
        state.SetIterationTime(double(painted->split(' ').last().toLongLong() - start) / 1000.0);
        if (!app.toggle() || !app.waitFor("trace popover-hidden")) {
            state.SkipWithError("the popover did not close");
            return;
        }
    }
}
BENCHMARK(BM_ToggleWithHungOwner)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
