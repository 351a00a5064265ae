// The program itself in a real Wayland compositor (scripts/with-sway),
// started as a user would, without choosing Qt's platform.

#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>

using namespace ondrel;

class TestWaylandApp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void capturesAndToggles();
    void silentSourceBlocksNoToggle();
    void closesWhenAnotherWindowIsFocused();

private:
    void startApp();
    bool said(const QString& prefix, int timeoutMs = 10000);
    bool toggle();
    int storedEntries() const;
    // The popover as sway shows it: its node in the tree (empty when not shown).
    QJsonObject popoverNode() const;
    bool wlCopy(const QByteArray& bytes);

    std::unique_ptr<QTemporaryDir> m_home;
    QProcess m_app;
    QStringList m_output;
};

void TestWaylandApp::init()
{
    test::failOnUnexpectedWarnings();
    m_home = std::make_unique<QTemporaryDir>();
    QDir(m_home->path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(m_home->path() + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_output.clear();
    connect(&m_app, &QProcess::readyReadStandardError, this, [this] {
        while (m_app.canReadLine())
            m_output << QString::fromUtf8(m_app.readLine()).trimmed();
    });
}

void TestWaylandApp::cleanup()
{
    // Besides its trace, the program said only what this desktop lacks.
    m_app.waitForReadyRead(0);
    const QStringList expected = {
        QStringLiteral("ondrel: this desktop offers no global hotkeys; bind a key to `ondrel toggle`"),
        QStringLiteral("Error registering hotkey \u21E7\u2318V: -50"),
        QStringLiteral("ondrel: no system tray found; the popover opens with `ondrel toggle`")};
    QStringList unexpected;
    for (const QString& line : std::as_const(m_output))
        if (!line.startsWith(u"trace ") && !expected.contains(line))
            unexpected << line;
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
    disconnect(&m_app, nullptr, this, nullptr);
    if (m_app.state() != QProcess::NotRunning) {
        m_app.kill();
        m_app.waitForFinished();
    }
}

void TestWaylandApp::startApp()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the program picks
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path() + QStringLiteral("/run"));
    env.insert(QStringLiteral("ONDREL_TRACE"), QStringLiteral("1"));
    m_app.setProcessEnvironment(env);
    m_app.setReadChannel(QProcess::StandardError);
    m_app.start(QStringLiteral(ONDREL_BINARY), {});
    QVERIFY(m_app.waitForStarted());
    QVERIFY2(said(QStringLiteral("trace ready ")), qPrintable(m_output.join(u'\n')));
}

bool TestWaylandApp::said(const QString& prefix, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            m_app.waitForReadyRead(0);
            for (qsizetype i = 0; i < m_output.size(); ++i)
                if (m_output[i].startsWith(prefix)) {
                    m_output.removeAt(i);
                    return true;
                }
            return false;
        },
        timeoutMs);
}

bool TestWaylandApp::toggle()
{
    QProcess process;
    process.setProcessEnvironment(m_app.processEnvironment());
    process.start(QStringLiteral(ONDREL_BINARY), {QStringLiteral("toggle")});
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

int TestWaylandApp::storedEntries() const
{
    const QByteArray bytes =
        test::readFile(m_home->path() + QStringLiteral("/.local/share/Brisol/history.json"));
    return int(QJsonDocument::fromJson(bytes).array().size());
}

QJsonObject TestWaylandApp::popoverNode() const
{
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"),
                  {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
    swaymsg.waitForFinished(5000);
    const QJsonObject tree = QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object();
    std::function<QJsonObject(const QJsonObject&, bool)> find = [&](const QJsonObject& node, bool floating) {
        if (node.value(QStringLiteral("app_id")).toString() == u"ondrel" &&
            node.value(QStringLiteral("visible")).toBool()) {
            QJsonObject found = node;
            found.insert(QStringLiteral("floating"), floating);
            return found;
        }
        for (const char* list : {"nodes", "floating_nodes"})
            for (const QJsonValue child : node.value(QLatin1String(list)).toArray())
                if (const QJsonObject hit =
                        find(child.toObject(), floating || std::strcmp(list, "floating_nodes") == 0);
                    !hit.isEmpty())
                    return hit;
        return QJsonObject();
    };
    return find(tree, false);
}

bool TestWaylandApp::wlCopy(const QByteArray& bytes)
{
    QProcess process;
    process.start(QStringLiteral("wl-copy"), {});
    if (!process.waitForStarted())
        return false;
    process.write(bytes);
    process.closeWriteChannel();
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

void TestWaylandApp::capturesAndToggles()
{
    startApp();
    QVERIFY(wlCopy("copied in a Wayland program"));
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    const QJsonArray stored =
        QJsonDocument::fromJson(
            test::readFile(m_home->path() + QStringLiteral("/.local/share/Brisol/history.json")))
            .array();
    QCOMPARE(stored.first().toObject().value(QStringLiteral("text")).toString(),
             QStringLiteral("copied in a Wayland program"));
    QVERIFY(toggle());
    QVERIFY(said(QStringLiteral("trace popover-painted ")));
    // A window of its own size, floating over the tiled ones.
    QJsonObject node;
    QTRY_VERIFY_WITH_TIMEOUT(!(node = popoverNode()).isEmpty(), 5000);
    QVERIFY(node.value(QStringLiteral("floating")).toBool());
    const QJsonObject rect = node.value(QStringLiteral("rect")).toObject();
    QCOMPARE(rect.value(QStringLiteral("width")).toInt(), 320);
    QCOMPARE(rect.value(QStringLiteral("height")).toInt(), 480);
    QVERIFY(toggle());
    QVERIFY(said(QStringLiteral("trace popover-hidden ")));
    QTRY_VERIFY_WITH_TIMEOUT(popoverNode().isEmpty(), 5000);
    ::kill(pid_t(m_app.processId()), SIGTERM);
    QVERIFY(m_app.waitForFinished(5000));
    QCOMPARE(m_app.exitCode(), 0);
}

void TestWaylandApp::silentSourceBlocksNoToggle()
{
    startApp();
    QProcess source;
    const auto stopSource = qScopeGuard([&source] {
        source.kill();
        source.waitForFinished();
    });
    source.start(QStringLiteral(HUNG_WAYLAND_SOURCE), {});
    QVERIFY(source.waitForStarted());
    QByteArray sourceSaid;
    QTRY_VERIFY_WITH_TIMEOUT((sourceSaid += source.readAll()).contains("owned"), 5000);
    // While the program waits for the silent source, it still opens at once.
    QVERIFY(toggle());
    QVERIFY(said(QStringLiteral("trace popover-painted "), 1000));
    QVERIFY(said(QStringLiteral(
        "ondrel: the program that owns the clipboard does not answer; its copy is not recorded")));
    QVERIFY(toggle());
    QVERIFY(said(QStringLiteral("trace popover-hidden ")));
    QVERIFY(wlCopy("after the silent one"));
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
}

void TestWaylandApp::closesWhenAnotherWindowIsFocused()
{
    startApp();
    test::TestWindow other;
    QVERIFY(other.start(QStringLiteral("Elsewhere")));
    QVERIFY(toggle());
    QVERIFY(said(QStringLiteral("trace popover-painted ")));
    // The compositor gives the new window the keyboard...
    QTRY_VERIFY_WITH_TIMEOUT(popoverNode().value(QStringLiteral("focused")).toBool(), 5000);
    // A user turns away after a moment; focus moves in the first quarter
    // second (the tray's own click) are deliberately not counted.
    QTest::qWait(400);
    QVERIFY(test::runProgram(QStringLiteral("swaymsg"),
                             {QStringLiteral("[pid=%1] focus").arg(other.processId())}));
    // ...and when the user turns to another window, the popover goes away.
    QVERIFY(said(QStringLiteral("trace popover-hidden "), 5000));
    QTRY_VERIFY_WITH_TIMEOUT(popoverNode().isEmpty(), 5000);
}

int main(int argc, char** argv)
{
    if (const int code = test::runTestWindowIfAsked(argc, argv); code >= 0)
        return code;
    QGuiApplication app(argc, argv);
    TestWaylandApp test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_waylandapp.moc"
