// The paste keystroke and the source application in a real Wayland
// compositor (scripts/with-sway): a virtual keyboard types into a Qt window
// of another program, found through the foreign-toplevel list.

#include "TestSupport.h"
#include "WaylandClipboard.h"
#include "WaylandDesktop.h"
#include "X11TestSupport.h"

#include <QGuiApplication>
#include <QRasterWindow>
#include <QTest>

using namespace ondrel;

class TestWaylandPaste : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void seesTheActiveWindow();
    void pastesIntoTheActiveWindow();
    void givesTheFocusBackBeforePasting();
    void overrideChord();
};

void TestWaylandPaste::seesTheActiveWindow()
{
    platform::WaylandDesktop desktop({}, platform::DesktopEntries(QStringList()));
    QVERIFY(desktop.seesWindows());
    QVERIFY(desktop.canType());
    test::TestWindow target;
    QVERIFY(target.start(QStringLiteral("Re: salary review.pdf")));
    platform::WaylandWorkspace workspace(desktop);
    // Named by its app_id, never by its title.
    QTRY_VERIFY_WITH_TIMEOUT(workspace.frontmostApplication().has_value(), 5000);
    const QString name = workspace.frontmostApplication()->name.value_or(QString());
    QVERIFY2(!name.isEmpty() && !name.contains(u"salary"), qPrintable(name));
    QCOMPARE(name, desktop.activeAppId());
}

void TestWaylandPaste::pastesIntoTheActiveWindow()
{
    platform::WaylandClipboard clipboard;
    clipboard.setContents({{QStringLiteral("text/plain;charset=utf-8"), "pasted on wayland"}});
    platform::WaylandDesktop desktop;
    test::TestWindow target;
    QVERIFY(target.start(QStringLiteral("Target")));
    platform::WaylandKeystrokePoster poster(desktop);
    poster.postPaste();
    QCOMPARE(target.waitForPaste(), QStringLiteral("ctrl+v pasted on wayland"));
}

void TestWaylandPaste::givesTheFocusBackBeforePasting()
{
    platform::WaylandClipboard clipboard;
    clipboard.setContents({{QStringLiteral("text/plain;charset=utf-8"), "back to the target"}});
    platform::WaylandDesktop desktop;
    test::TestWindow target;
    QVERIFY(target.start(QStringLiteral("Target")));
    QTRY_VERIFY_WITH_TIMEOUT(!desktop.activeAppId().isEmpty(), 5000);
    desktop.rememberFocus(); // the popover opens over it
    QRasterWindow popover;
    popover.resize(200, 200);
    popover.show();
    QTRY_VERIFY_WITH_TIMEOUT(popover.isActive(), 5000);
    platform::WaylandKeystrokePoster poster(desktop);
    poster.postPaste();
    QCOMPARE(target.waitForPaste(), QStringLiteral("ctrl+v back to the target"));
}

void TestWaylandPaste::overrideChord()
{
    platform::WaylandClipboard clipboard;
    clipboard.setContents({{QStringLiteral("text/plain;charset=utf-8"), "terminal style"}});
    platform::WaylandDesktop desktop([] { return QStringLiteral("ctrl+shift+v"); });
    test::TestWindow target;
    QVERIFY(target.start(QStringLiteral("Target")));
    platform::WaylandKeystrokePoster poster(desktop);
    poster.postPaste();
    QCOMPARE(target.waitForPaste(), QStringLiteral("ctrl+shift+v terminal style"));
}

int main(int argc, char** argv)
{
    if (const int code = test::runTestWindowIfAsked(argc, argv); code >= 0)
        return code;
    QGuiApplication app(argc, argv);
    TestWaylandPaste test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_waylandpaste.moc"
