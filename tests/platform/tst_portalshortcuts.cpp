// Global hotkeys through the desktop portal, against a stand-in of the
// portal on a private session bus: what is bound, the trigger the desktop
// assigned, presses and releases, refusal, and no portal at all.

#include "BusStandIn.h"
#include "PortalGlobalShortcuts.h"
#include "TestSupport.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace ondrel;

// One shortcut as the portal receives it (named at file scope: Qt D-Bus
// matches slot parameters by type name).
struct Bound
{
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Bound& b)
{
    argument.beginStructure();
    argument << b.id << b.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Bound& b)
{
    argument.beginStructure();
    argument >> b.id >> b.properties;
    argument.endStructure();
    return argument;
}

Q_DECLARE_METATYPE(Bound)

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// The portal's registry of programs outside a sandbox.
class RegistryStandIn final : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.host.portal.Registry")
public:
    RegistryStandIn(QObject* parent, QStringList& calls) : QDBusAbstractAdaptor(parent), m_calls(calls) {}
public Q_SLOTS:
    void Register(const QString& appId, const QVariantMap&)
    {
        m_calls << QStringLiteral("Register ") + appId;
    }

private:
    QStringList& m_calls;
};

// The desktop's side: answers each request with a Response signal on the
// request's own path, as the portal does.
class PortalStandIn final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    // How the desktop answers BindShortcuts.
    enum class Binding
    {
        withTrigger,
        declined,     // the user said no
        nothingBound, // "done", with an empty list (Plasma 5.27, for a program it cannot name)
        noTriggerYet  // bound, the user is to choose a key later
    };
    // Published on `bus` as the portal.
    PortalStandIn(QDBusConnection bus, Binding binding = Binding::withTrigger)
        : bus(std::move(bus)), binding(binding)
    {}
    uint version() const { return 1; }

    QDBusConnection bus;
    QStringList calls;
    RegistryStandIn* registry = new RegistryStandIn(this, calls);
    const test::Published published{bus, QStringLiteral("org.freedesktop.portal.Desktop"), kPath, this,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                        QDBusConnection::ExportAdaptors};
    QList<Bound> bound;
    Binding binding;
    QString session = QStringLiteral("/org/freedesktop/portal/desktop/session/client/ondrel");

    void emitActivation(const QString& member, const QString& id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, member);
        signal.setArguments(
            {QVariant::fromValue(QDBusObjectPath(session)), id, qulonglong(1000), QVariantMap()});
        bus.send(signal);
    }

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message)
    {
        calls << QStringLiteral("CreateSession");
        return test::portalRespond(bus, this, test::portalRequest(message, options), 0,
                                   {{QStringLiteral("session_handle"), session}});
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath&, const QList<Bound>& shortcuts, const QString&,
                                  const QVariantMap& options, const QDBusMessage& message)
    {
        bound = shortcuts;
        QList<Bound> assigned = binding == Binding::nothingBound ? QList<Bound>() : bound;
        if (binding == Binding::withTrigger)
            for (Bound& b : assigned)
                b.properties.insert(QStringLiteral("trigger_description"), QStringLiteral("Shift+Super+V"));
        return test::portalRespond(bus, this, test::portalRequest(message, options),
                                   binding == Binding::declined ? 1 : 0,
                                   {{QStringLiteral("shortcuts"), QVariant::fromValue(assigned)}});
    }
};

} // namespace

Q_DECLARE_METATYPE(PortalStandIn::Binding)

class TestPortalShortcuts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { test::failOnUnexpectedWarnings(); }
    void triggers_data();
    void triggers();
    void bindsAndReportsPresses();
    void unbound_data();
    void unbound();

private:
    test::PrivateSessionBus m_bus;
    QString m_address;
};

void TestPortalShortcuts::initTestCase()
{
    qDBusRegisterMetaType<Bound>();
    qDBusRegisterMetaType<QList<Bound>>();
    m_address = m_bus.start();
    QVERIFY(!m_address.isEmpty());
    // None without the portal.
    QVERIFY(!platform::PortalGlobalShortcuts::create(
        QDBusConnection::connectToBus(m_address, QStringLiteral("app0"))));
}

void TestPortalShortcuts::triggers_data()
{
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("modifiers");
    QTest::addColumn<QString>("trigger");
    QTest::newRow("every modifier") << 40u << 0x1B00u << QStringLiteral("CTRL+ALT+SHIFT+LOGO+k");
    QTest::newRow("a function key") << 96u << 0x1000u << QStringLiteral("CTRL+F5");
    QTest::newRow("space") << 49u << 0x800u << QStringLiteral("ALT+space");
}

void TestPortalShortcuts::triggers()
{
    QFETCH(quint32, keyCode);
    QFETCH(quint32, modifiers);
    QFETCH(QString, trigger);
    QCOMPARE(platform::PortalGlobalShortcuts::preferredTrigger(keyCode, modifiers), trigger);
}

void TestPortalShortcuts::bindsAndReportsPresses()
{
    QDBusConnection desktop = QDBusConnection::connectToBus(m_address, QStringLiteral("desktop"));
    PortalStandIn portal(desktop);
    QVERIFY(portal.published.ok);

    auto service = platform::PortalGlobalShortcuts::create(
        QDBusConnection::connectToBus(m_address, QStringLiteral("app1")));
    QVERIFY(service);
    QTRY_VERIFY(service->hasSession());
    // The portal knows the program by its id from its first request on.
    QCOMPARE(portal.calls, (QStringList{QStringLiteral("Register io.github.ondrel.Ondrel"),
                                        QStringLiteral("CreateSession")}));
    QStringList events;
    service->setHotKeyHandler(test::recordHotKeys(events));
    QStringList described; // what the settings would show, each time it changes
    service->setDescriptionHandler([&described, &service] { described << service->assignedTriggers(); });
    const auto registration = service->registerHotKey(9, 0x300, 1);
    QCOMPARE(registration.status, platform::HotKeyStatus::ok);
    // Nothing to promise before the desktop answers.
    QCOMPARE(service->unavailableReason(),
             QStringLiteral("The desktop has not answered Ondrel's request for a global hotkey yet."));
    QVERIFY(registration.reference);
    QTRY_COMPARE(portal.bound.size(), 1);
    QCOMPARE(portal.bound.first().id, QStringLiteral("hotkey-1213617233-1"));
    QCOMPARE(portal.bound.first().properties.value(QStringLiteral("preferred_trigger")).toString(),
             QStringLiteral("SHIFT+LOGO+v"));
    QTRY_COMPARE(described, QStringList{QStringLiteral("Shift+Super+V")});
    QVERIFY(service->unavailableReason().isEmpty());

    portal.emitActivation(QStringLiteral("Activated"), QStringLiteral("hotkey-1213617233-1"));
    portal.emitActivation(QStringLiteral("Deactivated"), QStringLiteral("hotkey-1213617233-1"));
    QTRY_COMPARE(events, (QStringList{QStringLiteral("1 down"), QStringLiteral("1 up")}));
    // Another program's shortcut, or one no longer ours, is not ours to run.
    portal.emitActivation(QStringLiteral("Activated"), QStringLiteral("hotkey-1-1"));
    service->unregisterHotKey(*registration.reference);
    portal.emitActivation(QStringLiteral("Activated"), QStringLiteral("hotkey-1213617233-1"));
    QVERIFY(test::signalsDelivered(desktop, QDBusConnection(QStringLiteral("app1"))));
    QCOMPARE(events.size(), 2);
}

void TestPortalShortcuts::unbound_data()
{
    QTest::addColumn<PortalStandIn::Binding>("binding");
    QTest::addColumn<bool>("lost");
    QTest::addColumn<QString>("reason");
    const QString notGiven = QStringLiteral("The desktop did not give Ondrel a global hotkey. Bind a key to "
                                            "\u201Condrel toggle\u201D in its keyboard settings.");
    QTest::newRow("declined") << PortalStandIn::Binding::declined << true << notGiven;
    QTest::newRow("nothing bound") << PortalStandIn::Binding::nothingBound << true << notGiven;
    QTest::newRow("no key yet") << PortalStandIn::Binding::noTriggerYet << false
                                << QStringLiteral(
                                       "The desktop has not given this hotkey a key yet. Choose one in "
                                       "its keyboard settings, or bind a key to \u201Condrel toggle\u201D.");
}

void TestPortalShortcuts::unbound()
{
    QFETCH(PortalStandIn::Binding, binding);
    QFETCH(bool, lost);
    QFETCH(QString, reason);
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_');
    QDBusConnection desktop = QDBusConnection::connectToBus(m_address, QStringLiteral("desktop-") + tag);
    PortalStandIn portal(desktop, binding);
    QVERIFY(portal.published.ok);
    auto service = platform::PortalGlobalShortcuts::create(
        QDBusConnection::connectToBus(m_address, QStringLiteral("app-") + tag));
    QVERIFY(service);
    QStringList lostHotkeys;
    service->setLostHandler([&lostHotkeys](quint32 id, platform::HotKeyStatus status) {
        lostHotkeys << QStringLiteral("%1 %2").arg(id).arg(platform::consoleCode(status));
    });
    int described = 0;
    service->setDescriptionHandler([&described] { ++described; });
    service->registerHotKey(9, 0x300, 1);
    QTRY_COMPARE(described, 1);
    QCOMPARE(lostHotkeys, lost ? QStringList{QStringLiteral("1 -9878")} : QStringList());
    QCOMPARE(service->unavailableReason(), reason);
    QVERIFY(service->assignedTriggers().isEmpty());
}

QTEST_MAIN(TestPortalShortcuts)
#include "tst_portalshortcuts.moc"
