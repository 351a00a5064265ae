// The paste keystroke and the source application in a real Wayland
// compositor (scripts/with-sway): a virtual keyboard types into a Qt window
// of another program, found through the foreign-toplevel list.

#include "DataControlConnection.h"
#include "LiveStore.h"
#include "TestSupport.h"
#include "TestWindow.h"
#include "WaylandClipboard.h"
#include "WaylandDesktop.h"

#include <QGuiApplication>
#include <QRasterWindow>
#include <QScopeGuard>
#include <QTest>

using namespace ondrel;

class TestWaylandPaste : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void pastesIntoTheActiveWindow_data();
    void pastesIntoTheActiveWindow();
    void captureNamesTheActiveWindow();
};

void TestWaylandPaste::pastesIntoTheActiveWindow_data()
{
    QTest::addColumn<QString>("setting"); // paste/keystroke
    QTest::addColumn<bool>("popover");    // ours had the focus in between
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("appId"); // the target's; empty: the test window's own
    // (Ctrl+V into a window, with and without our popover between, is
    // tst_waylandapp's, through the real program.)
    QTest::newRow("terminal style") << "ctrl+shift+v" << false << "ctrl+shift+v" << QString();
    // A terminal known by its reverse-DNS app id, before and after our popover.
    QTest::newRow("terminal's app id") << QString() << false << "ctrl+shift+v"
                                       << "org.gnome.Terminal";
    QTest::newRow("terminal's app id after our popover") << QString() << true << "ctrl+shift+v"
                                                         << "org.kde.konsole";
}

void TestWaylandPaste::pastesIntoTheActiveWindow()
{
    QFETCH(QString, setting);
    QFETCH(bool, popover);
    QFETCH(QString, pasted);
    QFETCH(QString, appId);
    platform::DataControlConnection clipboard;
    clipboard.setContents({{QStringLiteral("text/plain;charset=utf-8"), "pasted on wayland"}});
    platform::WaylandDesktop desktop([setting] { return setting; });
    test::TestWindow target;
    if (!appId.isEmpty())
        target.setAppId(appId);
    QVERIFY(target.start(QStringLiteral("Target")));
    QRasterWindow ours;
    if (popover) {
        QTRY_VERIFY_WITH_TIMEOUT(!desktop.activeAppId().isEmpty(), 5000);
        desktop.rememberFocus(); // the popover opens over it
        ours.resize(200, 200);
        ours.show();
        QTRY_VERIFY_WITH_TIMEOUT(ours.isActive(), 5000);
    }
    platform::WaylandPasteTyper poster(desktop);
    poster.typePaste();
    QCOMPARE(target.waitForPaste(), pasted + QStringLiteral(" pasted on wayland"));
}

void TestWaylandPaste::captureNamesTheActiveWindow()
{
    platform::WaylandDesktop desktop({}, platform::DesktopEntries(QStringList()));
    QVERIFY(desktop.seesWindows());
    QVERIFY(desktop.canType());
    platform::WaylandFocusTracker focus(desktop);
    platform::WaylandClipboard clipboard(std::make_unique<platform::DataControlConnection>());
    test::LiveStore store(clipboard, nullptr, &focus);
    const ClipboardHistory& history = store.history;
    test::TestWindow target;
    QVERIFY(target.start(QStringLiteral("Re: salary review.pdf")));
    // Named by its app_id, never by its title (tst_waylandapp's copies in
    // windows of their own check the names).
    QTRY_COMPARE_WITH_TIMEOUT(desktop.activeAppId(), QStringLiteral("ondrel-test-window"), 5000);
    // Once the user has left every window (an empty workspace), a copy comes
    // from no application, not from the one the popover last opened over.
    desktop.rememberFocus();
    QVERIFY(test::runProgram(QStringLiteral("swaymsg"), {QStringLiteral("workspace"), QStringLiteral("9")}));
    const auto back = qScopeGuard([] {
        test::runProgram(QStringLiteral("swaymsg"), {QStringLiteral("workspace"), QStringLiteral("1")});
    });
    QTRY_VERIFY_WITH_TIMEOUT(desktop.activeAppId().isEmpty(), 5000);
    platform::DataControlConnection other; // a script copies
    other.setContents({{QStringLiteral("text/plain;charset=utf-8"), "copied by a script"}});
    QTRY_COMPARE_WITH_TIMEOUT(history.store.items().size(), 1, 5000);
    QCOMPARE(history.store.items().first().appName(), std::nullopt);
}

ONDREL_TEST_MAIN_WITH_TEST_WINDOW(TestWaylandPaste)
#include "tst_waylandpaste.moc"
