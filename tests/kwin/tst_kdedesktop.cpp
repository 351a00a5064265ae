// The program on a real KDE Plasma Wayland desktop (scripts/with-kwin):
// KWin with data control but no virtual keyboard and no window list for
// other programs, and the desktop portal with KDE's backend, started by the
// bus when first asked, as early in a session.

#include "AppProcess.h"
#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace ondrel;

namespace {

// Keys typed as the user would, through KWin (evdev codes; + press, - release).
bool typeKeys(const QStringList& keys)
{
    QProcess keyboard;
    keyboard.start(QStringLiteral(KWIN_KEYS), keys);
    return keyboard.waitForFinished(5000) && keyboard.exitCode() == 0;
}

} // namespace

class TestKdeDesktop : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void capturesAndPastesThroughThePortal();

private:
    std::unique_ptr<test::AppProcess> m_app;
};

void TestKdeDesktop::init()
{
    test::failOnUnexpectedWarnings();
    m_app = std::make_unique<test::AppProcess>(QStringLiteral(ONDREL_BINARY));
}

void TestKdeDesktop::cleanup()
{
    // Plasma 5.27's portal binds no hotkey for a program it cannot name (one
    // not started from a desktop entry's scope): that is said, and the tray
    // hint does not promise the hotkey.
    const QStringList unexpected =
        m_app->unexpectedLines({QStringLiteral("ondrel: no system tray found; the popover opens with `ondrel toggle`")});
    m_app.reset();
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
}

void TestKdeDesktop::capturesAndPastesThroughThePortal()
{
    // The program picks Qt's platform itself; the portal is not running yet.
    QVERIFY(m_app->start({}, {QStringLiteral("QT_QPA_PLATFORM")}));
    QVERIFY(m_app->said(QStringLiteral("Error registering hotkey \u21E7\u2318V: -9878")));

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
    QTest::qWait(800); // longer than the keyboard's repeat delay (600 ms)
    QCOMPARE(target.waitForPaste(), QStringLiteral("(nothing pasted)"));
}

int main(int argc, char** argv)
{
    if (const int code = test::runTestWindowIfAsked(argc, argv); code >= 0)
        return code;
    QGuiApplication app(argc, argv);
    TestKdeDesktop test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_kdedesktop.moc"
