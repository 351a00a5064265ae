#include "AppProcess.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTest>

namespace ondrel::test {

AppProcess::AppProcess(QString binary) : m_binary(std::move(binary))
{
    QDir(m_home.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(m_home.path() + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

AppProcess::~AppProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}

QProcessEnvironment AppProcess::environment(const QStringList& unset) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : unset)
        env.remove(name);
    env.insert(QStringLiteral("HOME"), m_home.path());
    // Menu entries are found by their text: English, whatever the tests' desktop speaks.
    env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path() + QStringLiteral("/run"));
    return env;
}

bool AppProcess::start(const QProcessEnvironment& extra, const QStringList& unset)
{
    QProcessEnvironment env = environment(unset);
    env.insert(QStringLiteral("ONDREL_TRACE"), QStringLiteral("1"));
    env.insert(extra);
    m_process.setProcessEnvironment(env);
    m_process.setReadChannel(QProcess::StandardError);
    m_process.start(m_binary, {});
    return m_process.waitForStarted() && said(QStringLiteral("trace ready "));
}

void AppProcess::collect()
{
    m_process.waitForReadyRead(0);
    while (m_process.canReadLine())
        m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
}

std::optional<QString> AppProcess::line(const QString& prefix, int timeoutMs)
{
    std::optional<QString> found;
    [[maybe_unused]] const bool seen = QTest::qWaitFor(
        [&] {
            collect();
            for (qsizetype i = 0; i < m_lines.size() && !found; ++i)
                if (m_lines[i].startsWith(prefix))
                    found = m_lines.takeAt(i);
            return found.has_value();
        },
        timeoutMs);
    return found;
}

std::optional<QPoint> AppProcess::menuItem(const QString& text, int timeoutMs)
{
    // "trace menu-item X Y TEXT" for each entry, told once the menu is painted.
    while (const auto item = line(QStringLiteral("trace menu-item "), timeoutMs)) {
        const QStringList parts = item->split(u' ');
        if (parts.mid(4).join(u' ') == text)
            return QPoint(parts.at(2).toInt(), parts.at(3).toInt());
    }
    return std::nullopt;
}

void AppProcess::forgetTrace()
{
    collect();
    m_lines.removeIf([](const QString& line) { return line.startsWith(u"trace "); });
}

QStringList AppProcess::unexpectedLines(const QStringList& expected)
{
    collect();
    QStringList unexpected;
    for (const QString& line : std::as_const(m_lines))
        if (!line.startsWith(u"trace ") && !expected.contains(line))
            unexpected << line;
    return unexpected;
}

AppProcess::Command AppProcess::command(const QStringList& args, const QByteArray& input,
                                        const QString& outFile, const QStringList& unset) const
{
    QProcess process;
    QProcessEnvironment env = environment({});
    // The same display as the program, when it runs.
    const QProcessEnvironment running = m_process.processEnvironment();
    for (const QString& name : {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY")})
        if (running.contains(name))
            env.insert(name, running.value(name));
    for (const QString& name : unset)
        env.remove(name);
    process.setProcessEnvironment(env);
    if (!outFile.isEmpty())
        process.setStandardOutputFile(outFile);
    process.start(m_binary, args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

bool AppProcess::toggle() const
{
    return command({QStringLiteral("toggle")}).code == 0;
}

QJsonArray AppProcess::history() const
{
    return QJsonDocument::fromJson(readFile(historyFile())).array();
}

QProcessEnvironment xwaylandEnvironment()
{
    QProcessEnvironment env;
    const QString display = qEnvironmentVariable("ONDREL_TEST_XWAYLAND_DISPLAY");
    if (display.isEmpty())
        return env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), display);
    if (const QString auth = qEnvironmentVariable("ONDREL_TEST_XWAYLAND_XAUTHORITY"); !auth.isEmpty())
        env.insert(QStringLiteral("XAUTHORITY"), auth);
    return env;
}

bool wlCopy(const QByteArray& bytes, const QString& type)
{
    QProcess process;
    process.start(QStringLiteral("wl-copy"), {QStringLiteral("--type"), type});
    if (!process.waitForStarted())
        return false;
    process.write(bytes);
    process.closeWriteChannel();
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

QByteArray wlPaste(const QString& type)
{
    QProcess process;
    process.start(QStringLiteral("wl-paste"),
                  {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    [[maybe_unused]] const bool done =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 5000);
    return process.readAllStandardOutput();
}

} // namespace ondrel::test
