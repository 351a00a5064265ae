// The program on a real KDE Plasma Wayland desktop (scripts/with-kwin):
// KWin with data control but no virtual keyboard and no window list for
// other programs, and the desktop portal with KDE's backend, started by the
// bus when first asked, as early in a session.

#include "AppProcess.h"
#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
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

private:
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
    QTest::qWait(800); // longer than the keyboard's repeat delay (600 ms)
    QCOMPARE(target.waitForPaste(), QStringLiteral("(nothing pasted)"));
}

void TestKdeDesktop::hotkeyThroughTheDesktopsShortcuts()
{
    QVERIFY(m_app->start({}, {QStringLiteral("QT_QPA_PLATFORM")}));
    QVERIFY(typeKeys(kShiftSuperV));
    QVERIFY(m_app->said(QStringLiteral("trace popover-active ")));
    QVERIFY(typeKeys(kShiftSuperV));
    QVERIFY(m_app->said(QStringLiteral("trace popover-hidden ")));

    // The user picks other keys in System Settings: they work at once, and
    // still after a restart, when the program offers its default again.
    const QStringList action = {QStringLiteral("ondrel"), QStringLiteral("hotkey-1213617233-1"),
                                QStringLiteral("Ondrel"), QStringLiteral("Show the clipboard history")};
    const int superAltC = (Qt::META | Qt::ALT | Qt::Key_C).toCombined();
    QCOMPARE(globalAccel(QStringLiteral("setForeignShortcut"),
                         {action, QVariant::fromValue(QList<int>{superAltC})})
                 .type(),
             QDBusMessage::ReplyMessage);
    QVERIFY(typeKeys(kSuperAltC));
    QVERIFY(m_app->said(QStringLiteral("trace popover-active ")));
    QVERIFY(typeKeys(kSuperAltC));
    QVERIFY(m_app->said(QStringLiteral("trace popover-hidden ")));

    const QStringList unexpected = m_app->unexpectedLines(m_expected);
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
    m_app = std::make_unique<test::AppProcess>(QStringLiteral(ONDREL_BINARY));
    m_expected = {
        QStringLiteral("ondrel: no system tray found; the popover opens with Meta+Alt+C or `ondrel toggle`")};
    QVERIFY(m_app->start({}, {QStringLiteral("QT_QPA_PLATFORM")}));
    QVERIFY(typeKeys(kShiftSuperV)); // no longer ours
    QVERIFY(typeKeys(kSuperAltC));
    QVERIFY(m_app->said(QStringLiteral("trace popover-active ")));
    QVERIFY(!m_app->said(QStringLiteral("trace popover-hidden "), 300));
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
