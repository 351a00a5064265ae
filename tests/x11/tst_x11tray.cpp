// The tray icon on desktops other than the test one: a tray that starts after
// the program (autostart before the panel), and a StatusNotifier tray on the
// session bus, as KDE, and GNOME with its extension, have.

#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace ondrel;

namespace {

constexpr char kWatcherService[] = "org.kde.StatusNotifierWatcher";
constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";

// The panel's side of the StatusNotifier protocol, as far as a program
// showing an item needs it: it says a host is there and takes registrations.
class WatcherStandIn final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }

public Q_SLOTS:
    // The item gives its service name, or its object path on the caller's
    // connection.
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message)
    {
        m_items << (serviceOrPath.startsWith(u'/') ? message.service() + serviceOrPath : serviceOrPath);
        Q_EMIT StatusNotifierItemRegistered(m_items.last());
    }
    void RegisterStatusNotifierHost(const QString&) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
};

} // namespace

class TestX11Tray : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void iconDocksWhenTheTrayComesLater();
    void statusNotifierItemTogglesAndHasItsMenu();
    void waylandWithoutDataControlFallsBackToX11();

private:
    // Starts the program with `env` added; its standard error is collected.
    void startApp(const QProcessEnvironment& extra);
    bool said(const QRegularExpression& line, int timeoutMs = 10000);
    QString run(const QString& program, const QStringList& arguments, const QString& display = {}) const;
    bool popoverVisible(const QString& display = {}) const;
    // The program's small window inside the panel (empty: none).
    QString dockedIcon(const QString& display) const;

    std::unique_ptr<QTemporaryDir> m_home;
    QProcess m_app;
    QStringList m_output;
    QList<QProcess*> m_helpers; // Xvfb, trayer, dbus-daemon: stopped in reverse order
};

void TestX11Tray::init()
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

void TestX11Tray::cleanup()
{
    disconnect(&m_app, nullptr, this, nullptr);
    if (m_app.state() != QProcess::NotRunning) {
        m_app.kill();
        m_app.waitForFinished();
    }
    while (!m_helpers.isEmpty()) {
        std::unique_ptr<QProcess> helper(m_helpers.takeLast());
        helper->terminate();
        if (!helper->waitForFinished(3000)) {
            helper->kill();
            helper->waitForFinished();
        }
    }
}

void TestX11Tray::startApp(const QProcessEnvironment& extra)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path() + QStringLiteral("/run"));
    env.insert(QStringLiteral("ONDREL_TRACE"), QStringLiteral("1"));
    env.insert(extra);
    m_app.setProcessEnvironment(env);
    m_app.setReadChannel(QProcess::StandardError);
    m_app.start(QStringLiteral(ONDREL_BINARY), {});
    QVERIFY(m_app.waitForStarted());
}

bool TestX11Tray::said(const QRegularExpression& line, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            m_app.waitForReadyRead(0);
            return std::any_of(m_output.cbegin(), m_output.cend(),
                               [&](const QString& said) { return line.match(said).hasMatch(); });
        },
        timeoutMs);
}

QString TestX11Tray::run(const QString& program, const QStringList& arguments, const QString& display) const
{
    QProcess process;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        process.setProcessEnvironment(env);
    }
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool TestX11Tray::popoverVisible(const QString& display) const
{
    return !run(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                 QStringLiteral("^Ondrel$")},
                display)
                .isEmpty();
}

QString TestX11Tray::dockedIcon(const QString& display) const
{
    const QStringList windows = run(QStringLiteral("xdotool"),
                                    {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--pid"), QString::number(m_app.processId())},
                                    display)
                                    .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& w : windows)
        if (run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), w}, display)
                .contains(u"22x22"))
            return w;
    return {};
}

void TestX11Tray::iconDocksWhenTheTrayComesLater()
{
    // A display of its own, without any tray yet.
    auto* xvfb = new QProcess;
    m_helpers << xvfb;
    xvfb->start(QStringLiteral("Xvfb"),
                {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                 QStringLiteral("0"), QStringLiteral("800x600x24"), QStringLiteral("-nolisten"),
                 QStringLiteral("tcp")});
    QVERIFY(xvfb->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(xvfb->canReadLine(), 10000);
    const QString display = u':' + QString::fromLatin1(xvfb->readLine()).trimmed();

    QProcessEnvironment env;
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("XAUTHORITY"), QString());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    startApp(env);
    QVERIFY(
        said(QRegularExpression(QStringLiteral("^ondrel: no system tray found; the popover opens with "))));

    auto* trayer = new QProcess;
    m_helpers << trayer;
    QProcessEnvironment trayEnv = QProcessEnvironment::systemEnvironment();
    trayEnv.insert(QStringLiteral("DISPLAY"), display);
    trayer->setProcessEnvironment(trayEnv);
    trayer->start(QStringLiteral("trayer"),
                  {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                   QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                   QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"),
                   QStringLiteral("24"), QStringLiteral("--transparent"), QStringLiteral("false")});
    QVERIFY(trayer->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!dockedIcon(display).isEmpty(), 10000);
    const QString icon = dockedIcon(display);
    // And works.
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--window"), icon, QStringLiteral("8"),
         QStringLiteral("8"), QStringLiteral("click"), QStringLiteral("1")},
        display);
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(display), 5000);
}

void TestX11Tray::statusNotifierItemTogglesAndHasItsMenu()
{
    test::PrivateSessionBus daemon;
    const QString address = daemon.start();
    QVERIFY(!address.isEmpty());
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("panel"));
    QVERIFY(bus.isConnected());
    WatcherStandIn watcher;
    QVERIFY(bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                   QDBusConnection::ExportAllProperties));
    QVERIFY(bus.registerService(QString::fromLatin1(kWatcherService)));

    QProcessEnvironment env;
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    startApp(env);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.items().size(), 1, 10000);
    QVERIFY(said(QRegularExpression(QStringLiteral("^trace ready "))));
    // A StatusNotifier host counts as a tray: no hint on the console.
    QVERIFY2(m_output.filter(QStringLiteral("no system tray")).isEmpty(), qPrintable(m_output.join(u'\n')));

    QString service = watcher.items().first();
    QString path = QStringLiteral("/StatusNotifierItem");
    if (const qsizetype slash = service.indexOf(u'/'); slash > 0) {
        path = service.mid(slash);
        service.truncate(slash);
    }
    const auto call = [&](const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(service, path, QString::fromLatin1(kItemInterface), method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, 5000);
    };
    const QDBusMessage status = bus.call(
        [&] {
            QDBusMessage m = QDBusMessage::createMethodCall(
                service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
            m.setArguments({QString::fromLatin1(kItemInterface), QStringLiteral("Status")});
            return m;
        }(),
        QDBus::Block, 5000);
    QCOMPARE(status.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(status.arguments().value(0).value<QDBusVariant>().variant().toString(),
             QStringLiteral("Active"));

    // A click on the item (Activate) toggles the popover.
    QCOMPARE(call(QStringLiteral("Activate"), {400, 10}).type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    QCOMPARE(call(QStringLiteral("Activate"), {400, 10}).type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);

    // The right click (ContextMenu) opens the status menu, and its items work.
    QCOMPARE(call(QStringLiteral("ContextMenu"), {400, 10}).type(), QDBusMessage::ReplyMessage);
    QVERIFY(said(QRegularExpression(QStringLiteral("^trace menu-item -?\\d+ -?\\d+ Quit Ondrel$"))));
    const QString line = m_output.filter(QRegularExpression(QStringLiteral("Quit Ondrel$"))).first();
    const QStringList parts = line.split(u' ');
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), parts.at(2), parts.at(3),
                                    QStringLiteral("click"), QStringLiteral("1")});
    QVERIFY(m_app.waitForFinished(5000));
    QCOMPARE(m_app.exitCode(), 0);
}

void TestX11Tray::waylandWithoutDataControlFallsBackToX11()
{
    // A Wayland session whose compositor (weston) lets no clipboard manager
    // see the clipboard, with XWayland's display beside it.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    auto* weston = new QProcess;
    m_helpers << weston;
    QProcessEnvironment westonEnv = QProcessEnvironment::systemEnvironment();
    westonEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    weston->setProcessEnvironment(westonEnv);
    weston->start(QStringLiteral("weston"),
                  {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=wayland-ondrel"),
                   QStringLiteral("--idle-time=0")});
    QVERIFY(weston->waitForStarted());
    const QString socket = runtime.path() + QStringLiteral("/wayland-ondrel");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 10000);

    QProcessEnvironment env;
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    startApp(env);
    // The reason differs in a build without Wayland support.
    QVERIFY(said(QRegularExpression(QStringLiteral(
        "^ondrel: this (Wayland compositor lets no clipboard manager see the clipboard \\(no data control\\)|"
        "build has no Wayland support); using the X11 clipboard through XWayland"))));
    QVERIFY(said(QRegularExpression(QStringLiteral("^trace ready "))));
    // It watches the X11 clipboard.
    test::offer("copied in an X11 program");
    const QString history = m_home->path() + QStringLiteral("/.local/share/ondrel/history.json");
    QTRY_VERIFY_WITH_TIMEOUT(test::readFile(history).contains("copied in an X11 program"), 5000);
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    TestX11Tray test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_x11tray.moc"
