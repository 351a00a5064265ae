// The tray icon on desktops other than the test one: a tray that starts after
// the program (autostart before the panel), and a StatusNotifier tray on the
// session bus, as KDE, and GNOME with its extension, have.

#include "AppProcess.h"
#include "BusStandIn.h"
#include "Painting.h"
#include "Symbols.h"
#include "TestSupport.h"
#include "Theme.h"
#include "TrayIcon.h"
#include "X11TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdlib>

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

// Whether `symbol` (drawn at the screen's pixels) shows somewhere in `shot`
// over a plain background: every pixel as the symbol composed over the
// background, within rounding. A symbol drawn at half the pixels and
// enlarged differs along every edge.
bool showsSymbol(const QImage& shot, const QPixmap& symbol)
{
    const QImage glyph = symbol.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage image = shot.convertToFormat(QImage::Format_RGB32);
    // The symbol's pixels, fully covered ones first: over a plain
    // background, most places fail on the first.
    QList<QPoint> order;
    for (int pass = 0; pass < 2; ++pass)
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = 0; x < glyph.width(); ++x)
                if ((qAlpha(glyph.pixel(x, y)) == 255) == (pass == 0))
                    order << QPoint(x, y);
    if (order.isEmpty() || qAlpha(glyph.pixel(order.first())) != 255)
        return false;
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 &&
               std::abs(qBlue(a) - qBlue(b)) <= 3;
    };
    for (int top = 0; top + glyph.height() <= image.height(); ++top)
        for (int left = 0; left + glyph.width() <= image.width(); ++left) {
            // The corner is background: symbols have a margin.
            const QRgb background = image.pixel(left, top);
            const auto matches = [&](QPoint p) {
                const QRgb g = glyph.pixel(p);
                const int a = qAlpha(g);
                const auto over = [&](int ink, int back) { return ink + back * (255 - a) / 255; };
                return near(image.pixel(left + p.x(), top + p.y()),
                            qRgb(over(qRed(g), qRed(background)), over(qGreen(g), qGreen(background)),
                                 over(qBlue(g), qBlue(background))));
            };
            if (std::all_of(order.cbegin(), order.cend(), matches))
                return true;
        }
    return false;
}

} // namespace

class TestX11Tray : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void iconDocksWhenTheTrayComesLater();
    void statusNotifierItemTogglesAndShowsItsState();
    void waylandWithoutDataControlFallsBackToX11();
    void sharpAtTwiceTheScale();

private:
    // A helper of the test's desktop (with one variable of its environment
    // set), stopped at the end of the test.
    QProcess* helper(const QString& program, const QStringList& arguments, const QString& variable = {},
                     const QString& value = {});

    std::unique_ptr<test::AppProcess> m_app;
    QList<QProcess*> m_helpers; // stopped in reverse order
};

void TestX11Tray::init()
{
    test::failOnUnexpectedWarnings();
    m_app = std::make_unique<test::AppProcess>(QStringLiteral(ONDREL_BINARY));
}

void TestX11Tray::cleanup()
{
    m_app.reset();
    while (!m_helpers.isEmpty()) {
        std::unique_ptr<QProcess> helper(m_helpers.takeLast());
        helper->terminate();
        if (!helper->waitForFinished(3000)) {
            helper->kill();
            helper->waitForFinished();
        }
    }
}

QProcess* TestX11Tray::helper(const QString& program, const QStringList& arguments, const QString& variable,
                              const QString& value)
{
    auto* process = new QProcess;
    m_helpers << process;
    if (!variable.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(variable, value);
        process->setProcessEnvironment(env);
    }
    process->start(program, arguments);
    return process;
}

void TestX11Tray::iconDocksWhenTheTrayComesLater()
{
    // A display of its own, without any tray yet.
    QProcess* xvfb = helper(QStringLiteral("Xvfb"),
                            QStringLiteral("-displayfd 1 -screen 0 800x600x24 -nolisten tcp").split(u' '));
    QTRY_VERIFY_WITH_TIMEOUT(xvfb->canReadLine(), 10000);
    const QString display = u':' + QString::fromLatin1(xvfb->readLine()).trimmed();

    QProcessEnvironment env;
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("XAUTHORITY"), QString());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    QVERIFY(m_app->start(env));
    QVERIFY(m_app->said(QStringLiteral("ondrel: no system tray found; the popover opens with ")));

    helper(QStringLiteral("trayer"),
           QStringLiteral(
               "--edge top --align right --widthtype pixel --width 120 --height 24 --transparent false")
               .split(u' '),
           QStringLiteral("DISPLAY"), display);
    const qint64 pid = m_app->process().processId();
    QTRY_VERIFY_WITH_TIMEOUT(!test::trayIconWindow(pid, display).isEmpty(), 10000);
    // (A click on a docked icon is tst_x11app's.)
}

void TestX11Tray::statusNotifierItemTogglesAndShowsItsState()
{
    test::PrivateSessionBus daemon;
    const QString address = daemon.start();
    QVERIFY(!address.isEmpty());
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("panel"));
    WatcherStandIn watcher;
    const test::Published published(bus, QString::fromLatin1(kWatcherService),
                                    QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                        QDBusConnection::ExportAllProperties);
    QVERIFY(published.ok);

    // Its history on a real full disk, where root can make one.
    test::SmallDisk disk(m_app->home() + QStringLiteral("/.local/share/ondrel"), "1m");
    QProcessEnvironment env;
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    QVERIFY(m_app->start(env));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.items().size(), 1, 10000);

    QString service = watcher.items().first();
    QString path = QStringLiteral("/StatusNotifierItem");
    if (const qsizetype slash = service.indexOf(u'/'); slash > 0) {
        path = service.mid(slash);
        service.truncate(slash);
    }
    const auto call = [&](const QString& interface, const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, 5000);
    };
    const QString item = QString::fromLatin1(kItemInterface);
    const auto value = [&](const QString& name) {
        return call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {item, name})
            .arguments()
            .value(0)
            .value<QDBusVariant>()
            .variant();
    };
    QCOMPARE(value(QStringLiteral("Status")).toString(), QStringLiteral("Active"));
    const auto property = [&](const QString& name) { return value(name).value<QDBusArgument>(); };
    // The pixels of each size of an icon (a(iiay)), one after the other.
    const auto pixmaps = [](const QDBusArgument& sizes) {
        QByteArray all;
        sizes.beginArray();
        while (!sizes.atEnd()) {
            int width = 0, height = 0;
            QByteArray pixels;
            sizes.beginStructure();
            sizes >> width >> height >> pixels;
            sizes.endStructure();
            all += pixels;
        }
        sizes.endArray();
        return all;
    };
    const auto toolTip = [&] {
        const QDBusArgument tip = property(QStringLiteral("ToolTip"));
        QString icon, title, text;
        tip.beginStructure();
        tip >> icon;
        pixmaps(tip);
        tip >> title >> text;
        tip.endStructure();
        return (title + u'\n' + text).trimmed();
    };
    QCOMPARE(toolTip(), QStringLiteral("Ondrel"));
    if (disk.mounted()) {
        // A copy too big for the disk waits in memory, and the icon says why
        // until there is room. (What is saved meanwhile is tst_historywriter's.)
        test::offer(QByteArray(2 * 1024 * 1024, 'b'));
        QVERIFY(m_app->said(QStringLiteral("Could not save history to ")));
        QTRY_COMPARE_WITH_TIMEOUT(toolTip(),
                                  QStringLiteral("Ondrel\nHistory not saved: no space left on device"), 5000);
        QVERIFY(disk.resize("8m"));
        QVERIFY(m_app->said(QStringLiteral("History saved again to "), 20000));
        QTRY_COMPARE_WITH_TIMEOUT(toolTip(), QStringLiteral("Ondrel"), 5000);
    }

    // Paused from the item's menu: the icon and its tooltip say so, and a
    // copy meanwhile is not recorded, not even at resume.
    const auto iconPixels = [&] { return pixmaps(property(QStringLiteral("IconPixmap"))); };
    const QByteArray recording = iconPixels();
    QVERIFY(!recording.isEmpty());
    const auto choosePause = [&] {
        m_app->forgetTrace();
        if (call(item, QStringLiteral("ContextMenu"), {400, 10}).type() != QDBusMessage::ReplyMessage)
            return false;
        const auto pause = m_app->menuItem(QStringLiteral("Pause Recording"));
        return pause &&
               test::xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(pause->x()).arg(pause->y()));
    };
    const qsizetype entries = m_app->history().size();
    QVERIFY(choosePause());
    QVERIFY(m_app->said(QStringLiteral("trace recording-paused ")));
    QTRY_COMPARE_WITH_TIMEOUT(toolTip(), QStringLiteral("Ondrel\nRecording paused"), 5000);
    QVERIFY(iconPixels() != recording);
    test::offer("copied while paused");
    QVERIFY(m_app->said(QStringLiteral("trace copy-left-out ")));
    QVERIFY(choosePause());
    QVERIFY(m_app->said(QStringLiteral("trace recording-resumed ")));
    QTRY_COMPARE_WITH_TIMEOUT(toolTip(), QStringLiteral("Ondrel"), 5000);
    QCOMPARE(iconPixels(), recording);
    test::offer("copied after resuming");
    QTRY_COMPARE_WITH_TIMEOUT(m_app->history().size(), entries + 1, 5000);
    QCOMPARE(m_app->history().first()[QStringLiteral("text")].toString(),
             QStringLiteral("copied after resuming"));

    // A click on the item (Activate) toggles the popover, which has no icon
    // on screen to open under.
    QCOMPARE(call(item, QStringLiteral("Activate"), {400, 10}).type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY_WITH_TIMEOUT(!test::popoverWindow().isEmpty(), 5000);
    QCOMPARE(call(item, QStringLiteral("Activate"), {400, 10}).type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY_WITH_TIMEOUT(test::popoverWindow().isEmpty(), 5000);
}

void TestX11Tray::waylandWithoutDataControlFallsBackToX11()
{
    // A Wayland session whose compositor (weston) lets no clipboard manager
    // see the clipboard, with XWayland's display beside it.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    helper(QStringLiteral("weston"),
           {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=wayland-ondrel"),
            QStringLiteral("--idle-time=0")},
           QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    const QString socket = runtime.path() + QStringLiteral("/wayland-ondrel");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 10000);

    QProcessEnvironment env;
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    QVERIFY(m_app->start(env));
    // The reason differs in a build without Wayland support.
    const auto reason = m_app->line(QStringLiteral("ondrel: this "));
    QVERIFY(reason);
    QVERIFY2(reason->startsWith(
                 QStringLiteral("ondrel: this Wayland compositor lets no clipboard manager see the clipboard "
                                "(no data control); using the X11 clipboard through XWayland")) ||
                 reason->startsWith(QStringLiteral(
                     "ondrel: this build has no Wayland support; using the X11 clipboard through XWayland")),
             qPrintable(*reason));
    // It watches the X11 clipboard.
    test::offer("copied in an X11 program");
    QTRY_COMPARE_WITH_TIMEOUT(m_app->history().size(), 1, 5000);
    QCOMPARE(m_app->history().first()[QStringLiteral("text")].toString(),
             QStringLiteral("copied in an X11 program"));
}

void TestX11Tray::sharpAtTwiceTheScale()
{
    // A desktop at twice the scale: the tray icon and the popover are drawn
    // at the screen's pixels.
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    QVERIFY(m_app->start(env));
    QString icon;
    QTRY_VERIFY_WITH_TIMEOUT(!(icon = test::trayIconWindow(m_app->process().processId())).isEmpty(), 10000);
    QScreen* screen = QGuiApplication::primaryScreen();
    const auto shows = [&](const QString& window, const QPixmap& symbol) {
        return showsSymbol(screen->grabWindow(window.toULongLong()).toImage(), symbol);
    };
    // The tray's 22 pixels high icon window holds the icon drawn at 22 pixels.
    QTRY_VERIFY_WITH_TIMEOUT(shows(icon, trayIcon(false).pixmap(QSize(22, 22))), 5000);

    // The empty history's picture, in the middle of the popover.
    QVERIFY(m_app->toggle());
    QString popover;
    QTRY_VERIFY_WITH_TIMEOUT(!(popover = test::popoverWindow()).isEmpty(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(shows(popover, symbolPixmap(u"clipboard-copy", inkSecondary(),
                                                         paint::symbolSide(40), 2, SymbolWeight::medium)),
                             5000);
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    TestX11Tray test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_x11tray.moc"
