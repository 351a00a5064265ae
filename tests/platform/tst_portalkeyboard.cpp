// The paste keystroke through the desktop portal's RemoteDesktop keyboard,
// against a stand-in of the portal on a private session bus: the session
// asked for at the first paste, the keys typed once the user agreed, the
// kept answer, a refusal, and portals without a keyboard.

#include "BusStandIn.h"
#include "PortalKeyboard.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace ondrel;

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSession = QStringLiteral("/org/freedesktop/portal/desktop/session/1_1/ondrel");

// The desktop's side: answers each request with a Response signal on the
// request's own path, and records the keys it was asked to type.
class RemoteDesktopStandIn final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
    Q_PROPERTY(uint AvailableDeviceTypes READ availableDeviceTypes)
    Q_PROPERTY(uint version READ version)
public:
    RemoteDesktopStandIn(QDBusConnection bus, uint deviceTypes = 7, uint version = 2)
        : bus(std::move(bus)), m_deviceTypes(deviceTypes), m_version(version)
    {}
    uint availableDeviceTypes() const { return m_deviceTypes; }
    uint version() const { return m_version; }

    QDBusConnection bus;
    const test::Published published{bus, QStringLiteral("org.freedesktop.portal.Desktop"), kPath, this};
    QStringList calls;      // the methods, in order
    QVariantMap selected;   // SelectDevices' options
    QStringList keys;       // "ffe3 down", in order
    uint startAnswer = 0;   // 0: the user allowed it, 1: declined
    bool holdStart = false; // the user has not decided yet: answer with answerStart()
    int mostKeysAtOnce = 0;

    void answerStart()
    {
        test::portalRespond(
            bus, this, m_startRequest, startAnswer,
            {{QStringLiteral("devices"), 1u}, {QStringLiteral("restore_token"), QStringLiteral("kept-1")}});
    }
    void closeSession()
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            kSession, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"));
        signal.setArguments({QVariantMap()});
        bus.send(signal);
    }

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message)
    {
        calls << QStringLiteral("CreateSession");
        return test::portalRespond(bus, this, test::portalRequest(message, options), 0,
                                   {{QStringLiteral("session_handle"), kSession}});
    }
    QDBusObjectPath SelectDevices(const QDBusObjectPath& session, const QVariantMap& options,
                                  const QDBusMessage& message)
    {
        calls << QStringLiteral("SelectDevices ") + session.path();
        selected = options;
        return test::portalRespond(bus, this, test::portalRequest(message, options), 0, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath& session, const QString&, const QVariantMap& options,
                          const QDBusMessage& message)
    {
        calls << QStringLiteral("Start ") + session.path();
        m_startRequest = test::portalRequest(message, options);
        if (!holdStart)
            answerStart();
        return QDBusObjectPath(m_startRequest);
    }
    void NotifyKeyboardKeysym(const QDBusObjectPath& session, const QVariantMap&, int keysym, uint state,
                              const QDBusMessage& message)
    {
        keys << QStringLiteral("%1 %2 %3")
                    .arg(session.path() == kSession ? u"in-session" : u"elsewhere")
                    .arg(keysym, 0, 16)
                    .arg(state ? u"down" : u"up");
        // The real portal passes calls on from threads, in any order: only
        // one at a time is safe. Answer a little later to see how many come.
        message.setDelayedReply(true);
        mostKeysAtOnce = std::max(mostKeysAtOnce, ++m_keysInFlight);
        QTimer::singleShot(5, this, [this, reply = message.createReply()] {
            --m_keysInFlight;
            bus.send(reply);
        });
    }

private:
    uint m_deviceTypes;
    uint m_version;
    QString m_startRequest;
    int m_keysInFlight = 0;
};

const QStringList kControlV = {QStringLiteral("in-session ffe3 down"), QStringLiteral("in-session 76 down"),
                               QStringLiteral("in-session 76 up"), QStringLiteral("in-session ffe3 up")};
const QStringList kShiftInsert = {QStringLiteral("in-session ffe1 down"),
                                  QStringLiteral("in-session ff63 down"),
                                  QStringLiteral("in-session ff63 up"), QStringLiteral("in-session ffe1 up")};

} // namespace

class TestPortalKeyboard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { test::failOnUnexpectedWarnings(); }
    void firstPasteAsksThenTypes();
    void chords_data();
    void chords();
    void pasteWaitsForTheUser();
    void refusalMeansPastingByHand();
    void closedSessionIsAskedForAgain();
    void withoutAKeyboard();

private:
    // A keyboard on a fresh connection of the app's side.
    std::unique_ptr<platform::PortalKeyboard> keyboard(platform::PortalKeyboard::Options options = {});
    // Returns once the portal has handled every call the newest keyboard
    // sent (twice: an answer to one call may send the next).
    bool portalCaughtUp() const
    {
        const QDBusConnection app(QStringLiteral("app%1").arg(m_connections));
        const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
        return test::roundTrip(app, portal, kPath) && test::roundTrip(app, portal, kPath);
    }

    test::PrivateSessionBus m_bus;
    QString m_address;
    int m_connections = 0;
    QString m_kept;
};

void TestPortalKeyboard::initTestCase()
{
    m_address = m_bus.start();
    QVERIFY(!m_address.isEmpty());
}

std::unique_ptr<platform::PortalKeyboard>
TestPortalKeyboard::keyboard(platform::PortalKeyboard::Options options)
{
    if (!options.saveRestoreToken)
        options.saveRestoreToken = [this](const QString& token) { m_kept = token; };
    return platform::PortalKeyboard::create(
        std::move(options),
        QDBusConnection::connectToBus(m_address, QStringLiteral("app%1").arg(++m_connections)));
}

void TestPortalKeyboard::firstPasteAsksThenTypes()
{
    RemoteDesktopStandIn portal(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop1")));
    QVERIFY(portal.published.ok);
    m_kept.clear();
    auto paste = keyboard();
    QVERIFY(paste);
    QVERIFY(paste->canPaste());
    // Nothing is asked of the user before the first paste.
    QVERIFY(portalCaughtUp());
    QVERIFY(portal.calls.isEmpty());

    paste->typePaste();
    QTRY_COMPARE(portal.keys, kControlV);
    QCOMPARE(portal.calls,
             (QStringList{QStringLiteral("CreateSession"), QStringLiteral("SelectDevices ") + kSession,
                          QStringLiteral("Start ") + kSession}));
    QCOMPARE(m_kept, QStringLiteral("kept-1"));
}

void TestPortalKeyboard::chords_data()
{
    QTest::addColumn<QString>("setting"); // paste/keystroke
    QTest::addColumn<uint>("version");    // of the portal
    QTest::addColumn<QString>("kept");    // the answer kept from an earlier run
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("asked"); // SelectDevices' options; types=1: the keyboard alone
    QTest::addColumn<QString>("app");   // the application pasted into
    const QString now = QStringLiteral("persist_mode=2 types=1");
    const QStringList controlShiftV = {
        QStringLiteral("in-session ffe3 down"), QStringLiteral("in-session ffe1 down"),
        QStringLiteral("in-session 76 down"),   QStringLiteral("in-session 76 up"),
        QStringLiteral("in-session ffe1 up"),   QStringLiteral("in-session ffe3 up")};
    QTest::newRow("unknown name") << QStringLiteral("ctrl+q") << 2u << QString() << kControlV << now
                                  << QString();
    QTest::newRow("terminals") << QStringLiteral("ctrl+shift+v") << 2u << QString() << controlShiftV << now
                               << QString();
    QTest::newRow("into a terminal") << QString() << 2u << QString() << controlShiftV << now
                                     << QStringLiteral("org.kde.konsole");
    QTest::newRow("set chord into a terminal") << QStringLiteral("shift+insert") << 2u << QString()
                                               << kShiftInsert << now << QStringLiteral("org.kde.konsole");
    QTest::newRow("kept answer offered again")
        << QString() << 2u << QStringLiteral("kept-0") << kControlV
        << QStringLiteral("persist_mode=2 restore_token=kept-0 types=1") << QStringLiteral("org.kde.dolphin");
    // A portal before kept answers would reject options it does not know.
    QTest::newRow("portal before kept answers")
        << QString() << 1u << QStringLiteral("kept-0") << kControlV << QStringLiteral("types=1") << QString();
}

void TestPortalKeyboard::chords()
{
    QFETCH(QString, setting);
    QFETCH(uint, version);
    QFETCH(QString, kept);
    QFETCH(QStringList, typed);
    QFETCH(QString, asked);
    QFETCH(QString, app);
    RemoteDesktopStandIn portal(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop2")), 7,
                                version);
    QVERIFY(portal.published.ok);
    platform::PortalKeyboard::Options options;
    options.pasteOverride = [setting] { return setting; };
    options.loadRestoreToken = [kept] { return kept; };
    options.targetApp = [app] { return app; };
    auto paste = keyboard(std::move(options));
    QVERIFY(paste);
    paste->typePaste();
    QTRY_COMPARE(portal.keys, typed);
    QStringList selected;
    for (auto it = portal.selected.cbegin(); it != portal.selected.cend(); ++it)
        if (it.key() != u"handle_token")
            selected << it.key() + u'=' + it.value().toString();
    QCOMPARE(selected.join(u' '), asked);
}

void TestPortalKeyboard::pasteWaitsForTheUser()
{
    RemoteDesktopStandIn portal(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop5")));
    QVERIFY(portal.published.ok);
    portal.holdStart = true;
    QString chord;
    platform::PortalKeyboard::Options options;
    options.pasteOverride = [&chord] { return chord; };
    auto paste = keyboard(std::move(options));
    paste->typePaste();
    paste->typePaste(); // pressed again while the desktop asks: one paste, one session
    QTRY_COMPARE(portal.calls.size(), 3);
    QVERIFY(portalCaughtUp());
    QVERIFY(portal.keys.isEmpty());
    portal.answerStart();
    QTRY_COMPARE(portal.keys, kControlV);
    // A paste of another chord comes after anything the two presses typed.
    chord = QStringLiteral("shift+insert");
    paste->typePaste();
    QTRY_COMPARE(portal.keys, kControlV + kShiftInsert);
    QCOMPARE(portal.calls.size(), 3); // the same session
    QCOMPARE(portal.mostKeysAtOnce, 1);
}

void TestPortalKeyboard::refusalMeansPastingByHand()
{
    RemoteDesktopStandIn portal(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop6")));
    QVERIFY(portal.published.ok);
    portal.startAnswer = 1;
    m_kept.clear();
    auto paste = keyboard();
    // Said once, and only then.
    QTest::ignoreMessage(
        QtWarningMsg, "ondrel: typing was not allowed; the entry is on the clipboard, paste it with Ctrl+V");
    paste->typePaste();
    QTRY_VERIFY(!paste->canPaste());
    QVERIFY(m_kept.isEmpty());
    // Not asked again at each paste.
    paste->typePaste();
    QVERIFY(portalCaughtUp());
    QCOMPARE(portal.calls.size(), 3);
    QVERIFY(portal.keys.isEmpty());
}

void TestPortalKeyboard::closedSessionIsAskedForAgain()
{
    RemoteDesktopStandIn portal(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop7")));
    QVERIFY(portal.published.ok);
    auto paste = keyboard();
    paste->typePaste();
    QTRY_COMPARE(portal.keys, kControlV);
    portal.closeSession(); // the user stopped it in the desktop's panel
    QVERIFY(test::signalsDelivered(portal.bus, QDBusConnection(QStringLiteral("app%1").arg(m_connections))));
    portal.keys.clear();
    paste->typePaste();
    QTRY_COMPARE(portal.keys, kControlV);
    QCOMPARE(portal.calls.size(), 6);
    QVERIFY(paste->canPaste());
}

void TestPortalKeyboard::withoutAKeyboard()
{
    {
        // Pointer and touch screen only.
        RemoteDesktopStandIn portal(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop8")), 6);
        QVERIFY(portal.published.ok);
        QVERIFY(!keyboard());
    }
    QVERIFY(!keyboard()); // no portal at all
}

QTEST_MAIN(TestPortalKeyboard)
#include "tst_portalkeyboard.moc"
