// The program on a real KDE Plasma Wayland desktop (scripts/with-kwin):
// KWin with data control but no virtual keyboard and no window list for
// other programs, and the desktop portal with KDE's backend, started by the
// bus when first asked, as early in a session.

#include "AppProcess.h"
#include "TestSupport.h"
#include "TestWindow.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace ondrel;

namespace {

// Keys typed as the user would, through KWin (evdev codes; + press, - release).
bool typeKeys(const QStringList& keys)
{
    return test::runProgram(QStringLiteral(KWIN_INPUT), keys).has_value();
}

const QStringList kShiftSuperV = {QStringLiteral("42+"), QStringLiteral("125+"), QStringLiteral("47+"),
                                  QStringLiteral("47-"), QStringLiteral("125-"), QStringLiteral("42-")};
const QStringList kSuperAltC = {QStringLiteral("125+"), QStringLiteral("56+"), QStringLiteral("46+"),
                                QStringLiteral("46-"),  QStringLiteral("56-"), QStringLiteral("125-")};

// The desktop's shortcut service, as System Settings calls it.
QDBusMessage globalAccel(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"),
                                                       QStringLiteral("/kglobalaccel"),
                                                       QStringLiteral("org.kde.KGlobalAccel"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

} // namespace

class TestKdeDesktop : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void capturesAndPastesThroughThePortal();
    void hotkeyThroughTheDesktopsShortcuts();
    void trayIconInAStatusNotifierHost();
    void onXWaylandThroughTheDesktopsServices();

private:
    // Keys (or clicks) that open the popover, typed again to close it.
    bool togglesWith(const QStringList& keys)
    {
        return typeKeys(keys) && m_app->said(QStringLiteral("trace popover-active ")) && typeKeys(keys) &&
               m_app->said(QStringLiteral("trace popover-hidden "));
    }

    std::unique_ptr<test::AppProcess> m_app;
    QStringList m_expected; // console lines besides the trace
};

void TestKdeDesktop::init()
{
    test::failOnUnexpectedWarnings();
    m_app = std::make_unique<test::AppProcess>(QStringLiteral(ONDREL_BINARY));
    m_expected = {QStringLiteral(
        "ondrel: no system tray found; the popover opens with Meta+Shift+V or `ondrel toggle`")};
}

void TestKdeDesktop::cleanup()
{
    const QStringList unexpected = m_app->unexpectedLines(m_expected);
    m_app.reset();
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
}

void TestKdeDesktop::capturesAndPastesThroughThePortal()
{
    // The program picks Qt's platform itself; the portal is not running yet.
    QVERIFY(m_app->start({}, {QStringLiteral("QT_QPA_PLATFORM")}));

    QVERIFY(test::wlCopy("copied on Plasma"));
    QTRY_COMPARE_WITH_TIMEOUT(m_app->history().size(), 1, 5000);
    QCOMPARE(m_app->history().first().toObject().value(QStringLiteral("text")).toString(),
             QStringLiteral("copied on Plasma"));

    // Return in the popover: the entry goes to the clipboard, and the portal's
    // keyboard types Ctrl+V into the window the user was in.
    test::TestWindow target;
    QVERIFY(target.start(QStringLiteral("Target")));
    QVERIFY(m_app->toggle());
    QVERIFY(m_app->said(QStringLiteral("trace popover-active ")));
    QVERIFY(typeKeys({QStringLiteral("28+"), QStringLiteral("28-")}));
    QVERIFY(m_app->said(QStringLiteral("trace popover-hidden ")));
    QCOMPARE(target.waitForPaste(), QStringLiteral("ctrl+v copied on Plasma"));
    QCOMPARE(test::wlPaste(), QByteArray("copied on Plasma"));

    // A second paste types at once, in the same session; the held keys
    // came up again (no V repeating in the window).
    QVERIFY(m_app->toggle());
    QVERIFY(m_app->said(QStringLiteral("trace popover-active ")));
    QVERIFY(typeKeys({QStringLiteral("28+"), QStringLiteral("28-")}));
    QCOMPARE(target.waitForPaste(), QStringLiteral("ctrl+v copied on Plasma"));
    QCOMPARE(target.waitForPaste(true), QStringLiteral("released v"));
}

void TestKdeDesktop::hotkeyThroughTheDesktopsShortcuts()
{
    QVERIFY(m_app->start({}, {QStringLiteral("QT_QPA_PLATFORM")}));
    QVERIFY(togglesWith(kShiftSuperV));

    // The user picks other keys in System Settings: they work at once, and
    // still after a restart, when the program offers its default again.
    const QStringList action = {QStringLiteral("ondrel"), QStringLiteral("hotkey-1213617233-1"),
                                QStringLiteral("Ondrel"), QStringLiteral("Show the clipboard history")};
    const int superAltC = (Qt::META | Qt::ALT | Qt::Key_C).toCombined();
    // The desktop keeps them for the tests that follow: give the default back.
    const auto restore = qScopeGuard([&action] {
        const int shiftSuperV = (Qt::META | Qt::SHIFT | Qt::Key_V).toCombined();
        globalAccel(QStringLiteral("setForeignShortcut"),
                    {action, QVariant::fromValue(QList<int>{shiftSuperV})});
    });
    QCOMPARE(globalAccel(QStringLiteral("setForeignShortcut"),
                         {action, QVariant::fromValue(QList<int>{superAltC})})
                 .type(),
             QDBusMessage::ReplyMessage);
    QVERIFY(togglesWith(kSuperAltC));

    const QStringList unexpected = m_app->unexpectedLines(m_expected);
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
    m_app = std::make_unique<test::AppProcess>(QStringLiteral(ONDREL_BINARY));
    m_expected = {
        QStringLiteral("ondrel: no system tray found; the popover opens with Meta+Alt+C or `ondrel toggle`")};
    QVERIFY(m_app->start({}, {QStringLiteral("QT_QPA_PLATFORM")}));
    const QDBusMessage keys = globalAccel(QStringLiteral("shortcut"), {action});
    QCOMPARE(qdbus_cast<QList<int>>(keys.arguments().value(0)), QList<int>{superAltC});
    QVERIFY(typeKeys(kSuperAltC));
    QVERIFY(m_app->said(QStringLiteral("trace popover-active ")));
}

void TestKdeDesktop::trayIconInAStatusNotifierHost()
{
    // waybar's tray, a StatusNotifier host, in a bar along the top edge.
    QTemporaryDir bar;
    QVERIFY(test::writeFile(bar.filePath(QStringLiteral("config")),
                            R"({ "layer": "top", "position": "top", "height": 30, "modules-left": ["tray"],
                                 "tray": { "icon-size": 22 } })"));
    QVERIFY(test::writeFile(bar.filePath(QStringLiteral("style.css")), "* { font-size: 12px; }"));
    QProcess waybar;
    waybar.setProcessChannelMode(QProcess::MergedChannels);
    waybar.start(QStringLiteral("waybar"), {QStringLiteral("-c"), bar.filePath(QStringLiteral("config")),
                                            QStringLiteral("-s"), bar.filePath(QStringLiteral("style.css"))});
    const auto stopBar = qScopeGuard([&waybar] {
        waybar.terminate();
        waybar.waitForFinished();
    });
    QByteArray barSaid;
    QTRY_VERIFY_WITH_TIMEOUT((barSaid += waybar.readAll()).contains("Bar configured"), 10000);

    m_expected.clear(); // a tray: no hint
    QVERIFY(m_app->start({}, {QStringLiteral("QT_QPA_PLATFORM")}));
    QDBusMessage items = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    items.setArguments(
        {QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("RegisteredStatusNotifierItems")});
    QStringList registered;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(registered =
              qvariant_cast<QDBusVariant>(QDBusConnection::sessionBus().call(items).arguments().value(0))
                  .variant()
                  .toStringList())
             .isEmpty(),
        5000);

    // A click on the icon, the first in the bar, opens the popover; another closes it.
    const QStringList click = {QStringLiteral("@15,15"), QStringLiteral("btn272+"),
                               QStringLiteral("btn272-")};
    QVERIFY(togglesWith(click));

    // A right click shows the menu the item exports (waybar never asks the
    // program to show one); choosing "Quit Ondrel" in it quits.
    QVERIFY(typeKeys({QStringLiteral("@15,15"), QStringLiteral("btn273+"), QStringLiteral("btn273-")}));
    QVERIFY(m_app->said(QStringLiteral("trace menu-about-to-show ")));
    const QString item = registered.first();
    const QString service = item.section(u'/', 0, 0);
    QDBusMessage layout =
        QDBusMessage::createMethodCall(service, QStringLiteral("/MenuBar"),
                                       QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
    layout.setArguments({0, -1, QStringList{}});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(layout);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    // (revision, (id, properties, children)): the children's labels and ids.
    int quitId = -1, id = 0;
    QStringList labels;
    QVariantMap properties;
    const QDBusArgument root = qvariant_cast<QDBusArgument>(reply.arguments().value(1));
    root.beginStructure();
    root >> id >> properties;
    root.beginArray();
    while (!root.atEnd()) {
        QDBusVariant child;
        root >> child;
        const QDBusArgument entry = qvariant_cast<QDBusArgument>(child.variant());
        entry.beginStructure();
        entry >> id >> properties;
        entry.endStructure();
        QString label = properties.value(QStringLiteral("label")).toString();
        // Without an update feed the switch is off and says why; the pause is a switch too.
        if (label == u"Automatic Updates" || label == u"Pause Recording")
            label += QStringLiteral(" enabled=%1 checked=%2")
                         .arg(properties.value(QStringLiteral("enabled"), true).toBool())
                         .arg(properties.value(QStringLiteral("toggle-state")).toInt());
        if (!label.isEmpty())
            labels << label;
        if (label == u"Quit Ondrel")
            quitId = id;
    }
    root.endArray();
    root.endStructure();
    QCOMPARE(labels, (QStringList{QStringLiteral("Settings..."), QStringLiteral("Check for Updates..."),
                                  QStringLiteral("Automatic Updates enabled=0 checked=0"),
                                  QStringLiteral("Pause Recording enabled=1 checked=0"),
                                  QStringLiteral("Clear History"), QStringLiteral("Quit Ondrel")}));
    // Everything waybar asked of the menu, it got.
    waybar.terminate();
    QVERIFY(waybar.waitForFinished(5000));
    QVERIFY2(!(barSaid += waybar.readAll()).contains("Getting layout failed"), barSaid.constData());
    QDBusMessage event =
        QDBusMessage::createMethodCall(service, QStringLiteral("/MenuBar"),
                                       QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"));
    event.setArguments({quitId, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    QCOMPARE(QDBusConnection::sessionBus().call(event).type(), QDBusMessage::ReplyMessage);
    QVERIFY(m_app->process().waitForFinished(5000));
    QCOMPARE(m_app->process().exitCode(), 0);
}

void TestKdeDesktop::onXWaylandThroughTheDesktopsServices()
{
    // The program on XWayland beside the compositor, as where no data
    // control exists (GNOME), while a native Wayland window has the
    // keyboard: X11's key grabs never fire there, and XTest never types there.
    if (!ONDREL_WITH_X11)
        QSKIP("this build has no X11 support");
    const QProcessEnvironment env = test::xwaylandEnvironment();
    QVERIFY2(!env.isEmpty(), "run inside scripts/with-kwin, which starts XWayland");
    QVERIFY(m_app->start(env));

    // Copied in an X11 program: KWin passes Wayland copies on to X11 only
    // while an X11 window has the keyboard.
    QProcess copy;
    QProcessEnvironment copyEnv = QProcessEnvironment::systemEnvironment();
    copyEnv.insert(env);
    copy.setProcessEnvironment(copyEnv);
    copy.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")});
    QVERIFY(copy.waitForStarted());
    copy.write("copied in an X11 program");
    copy.closeWriteChannel();
    QVERIFY(copy.waitForFinished(5000)); // it serves the copy from a child
    QTRY_COMPARE_WITH_TIMEOUT(m_app->history().size(), 1, 5000);

    test::TestWindow target;
    QVERIFY(target.start(QStringLiteral("Target")));

    // The paste through the portal's keyboard, into the Wayland window.
    QVERIFY(m_app->toggle());
    QVERIFY(m_app->said(QStringLiteral("trace popover-active ")));
    QVERIFY(typeKeys({QStringLiteral("28+"), QStringLiteral("28-")}));
    QVERIFY(m_app->said(QStringLiteral("trace popover-hidden ")));
    QCOMPARE(target.waitForPaste(), QStringLiteral("ctrl+v copied in an X11 program"));

    // The hotkey through KDE's shortcut service, pressed in the Wayland window.
    QVERIFY(togglesWith(kShiftSuperV));
}

ONDREL_TEST_MAIN_WITH_TEST_WINDOW(TestKdeDesktop)
#include "tst_kdedesktop.moc"
