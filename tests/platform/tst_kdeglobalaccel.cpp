// Global hotkeys through KDE's shortcut service, against a stand-in of it on
// a private session bus: the key form, what is registered with which flags,
// the keys the desktop keeps, presses and releases, a change in the
// desktop's settings, and no keys at all. (tst_kdedesktop runs it on KWin.)

#include "BusStandIn.h"
#include "KdeGlobalAccel.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTest>

using namespace ondrel;

namespace {

const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");

class GlobalAccelStandIn final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KGlobalAccel")
public:
    explicit GlobalAccelStandIn(QDBusConnection bus) : bus(std::move(bus)) {}

    QDBusConnection bus;
    const test::Published published{bus, QStringLiteral("org.kde.kglobalaccel"), kPath, this};
    QStringList calls;
    QList<int> kept;        // keys the user chose earlier: they win over the program's
    bool keysTaken = false; // another shortcut holds the keys asked for

    void emitShortcut(const QString& member, const QString& component, const QString& action)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(QStringLiteral("/component/") + component,
                                       QStringLiteral("org.kde.kglobalaccel.Component"), member);
        signal.setArguments({component, action, qlonglong(1000)});
        bus.send(signal);
    }
    void emitChanged(const QStringList& actionId, const QList<int>& keys)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("yourShortcutGotChanged"));
        signal.setArguments({actionId, QVariant::fromValue(keys)});
        bus.send(signal);
    }

public Q_SLOTS:
    void doRegister(const QStringList& actionId)
    {
        calls << QStringLiteral("doRegister ") + actionId.join(u'|');
    }
    QList<int> setShortcut(const QStringList& actionId, const QList<int>& keys, uint flags)
    {
        calls << QStringLiteral("setShortcut %1 %2 %3")
                     .arg(actionId.value(1))
                     .arg(keys.value(0), 0, 16)
                     .arg(flags);
        if (flags & 1) // the default
            return keys;
        if (!kept.isEmpty())
            return kept;
        return keysTaken ? QList<int>() : keys;
    }
    void setInactive(const QStringList& actionId)
    {
        calls << QStringLiteral("setInactive ") + actionId.value(1);
    }
};

} // namespace

class TestKdeGlobalAccel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { test::failOnUnexpectedWarnings(); }
    void combinations_data();
    void combinations();
    void registersAndReportsPresses();
    void keysTheDesktopGives_data();
    void keysTheDesktopGives();

private:
    std::unique_ptr<platform::KdeGlobalAccel> service();

    test::PrivateSessionBus m_bus;
    QString m_address;
    int m_connections = 0;
};

void TestKdeGlobalAccel::initTestCase()
{
    qDBusRegisterMetaType<QList<int>>();
    m_address = m_bus.start();
    QVERIFY(!m_address.isEmpty());
    QVERIFY(!service()); // none without the desktop's service
}

std::unique_ptr<platform::KdeGlobalAccel> TestKdeGlobalAccel::service()
{
    return platform::KdeGlobalAccel::create(
        QDBusConnection::connectToBus(m_address, QStringLiteral("app%1").arg(++m_connections)));
}

void TestKdeGlobalAccel::combinations_data()
{
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("modifiers");
    QTest::addColumn<int>("combination");
    QTest::newRow("Shift+Super+V") << 9u << 0x300u << (Qt::SHIFT | Qt::META | Qt::Key_V).toCombined();
    QTest::newRow("every modifier") << 40u << 0x1B00u
                                    << (Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::META | Qt::Key_K).toCombined();
    QTest::newRow("a function key") << 96u << 0x1000u << (Qt::CTRL | Qt::Key_F5).toCombined();
    QTest::newRow("space") << 49u << 0x800u << (Qt::ALT | Qt::Key_Space).toCombined();
    QTest::newRow("digit") << 18u << 0x100u << (Qt::META | Qt::Key_1).toCombined();
    QTest::newRow("no such key") << 0xFFFFu << 0x100u << 0;
}

void TestKdeGlobalAccel::combinations()
{
    QFETCH(quint32, keyCode);
    QFETCH(quint32, modifiers);
    QFETCH(int, combination);
    QCOMPARE(platform::KdeGlobalAccel::qtCombination(keyCode, modifiers), combination);
}

void TestKdeGlobalAccel::registersAndReportsPresses()
{
    GlobalAccelStandIn desktop(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop1")));
    QVERIFY(desktop.published.ok);
    auto hotkeys = service();
    QVERIFY(hotkeys);
    QVERIFY(hotkeys->desktopAssignsKeys());
    QStringList events;
    hotkeys->setHotKeyHandler(test::recordHotKeys(events));
    const auto registration = hotkeys->registerHotKey(9, 0x300, 1);
    QCOMPARE(registration.status, platform::HotKeyStatus::ok);
    QVERIFY(registration.reference);
    // The default first, then the keys in use, which the user's choice may override.
    QCOMPARE(desktop.calls,
             (QStringList{
                 QStringLiteral("doRegister ondrel|hotkey-1213617233-1|Ondrel|Show the clipboard history"),
                 QStringLiteral("setShortcut hotkey-1213617233-1 12000056 1"),
                 QStringLiteral("setShortcut hotkey-1213617233-1 12000056 2")}));
    QCOMPARE(hotkeys->assignedTriggers(),
             QKeySequence(Qt::SHIFT | Qt::META | Qt::Key_V).toString(QKeySequence::NativeText));
    QVERIFY(hotkeys->unavailableReason().isEmpty());

    desktop.emitShortcut(QStringLiteral("globalShortcutPressed"), QStringLiteral("ondrel"),
                         QStringLiteral("hotkey-1213617233-1"));
    desktop.emitShortcut(QStringLiteral("globalShortcutReleased"), QStringLiteral("ondrel"),
                         QStringLiteral("hotkey-1213617233-1"));
    QTRY_COMPARE(events, (QStringList{QStringLiteral("1 down"), QStringLiteral("1 up")}));
    // Another program's action, or one no longer ours, is not ours to run.
    desktop.emitShortcut(QStringLiteral("globalShortcutPressed"), QStringLiteral("kwin"),
                         QStringLiteral("hotkey-1213617233-1"));
    hotkeys->unregisterHotKey(*registration.reference);
    QCOMPARE(desktop.calls.last(), QStringLiteral("setInactive hotkey-1213617233-1"));
    desktop.emitShortcut(QStringLiteral("globalShortcutPressed"), QStringLiteral("ondrel"),
                         QStringLiteral("hotkey-1213617233-1"));
    QVERIFY(test::signalsDelivered(desktop.bus, QDBusConnection(QStringLiteral("app%1").arg(m_connections))));
    QCOMPARE(events.size(), 2);
}

void TestKdeGlobalAccel::keysTheDesktopGives_data()
{
    QTest::addColumn<bool>("chosen"); // the user chose Meta+Alt+C earlier; else the keys are taken
    QTest::addColumn<QString>("reason");
    QTest::newRow("the user's keys win") << true << QString();
    // Registered all the same: the user can give it keys in the desktop's settings.
    QTest::newRow("keys taken")
        << false
        << QStringLiteral("The desktop has not given this hotkey a key yet. Choose one in its keyboard "
                          "settings, or bind a key to \u201Condrel toggle\u201D.");
}

void TestKdeGlobalAccel::keysTheDesktopGives()
{
    QFETCH(bool, chosen);
    QFETCH(QString, reason);
    GlobalAccelStandIn desktop(
        QDBusConnection::connectToBus(m_address, QStringLiteral("desktop%1").arg(chosen)));
    QVERIFY(desktop.published.ok);
    if (chosen)
        desktop.kept = {(Qt::META | Qt::ALT | Qt::Key_C).toCombined()};
    desktop.keysTaken = !chosen;
    auto hotkeys = service();
    QStringList described;
    hotkeys->setDescriptionHandler([&] { described << hotkeys->assignedTriggers(); });
    QCOMPARE(hotkeys->registerHotKey(9, 0x300, 1).status, platform::HotKeyStatus::ok);
    QCOMPARE(hotkeys->assignedTriggers(),
             chosen ? QKeySequence(Qt::META | Qt::ALT | Qt::Key_C).toString(QKeySequence::NativeText)
                    : QString());
    QCOMPARE(hotkeys->unavailableReason(), reason);
    // The user changes them in System Settings while the program runs.
    desktop.emitChanged({QStringLiteral("ondrel"), QStringLiteral("hotkey-1213617233-1")},
                        {(Qt::CTRL | Qt::Key_F5).toCombined()});
    QTRY_COMPARE(described.value(described.size() - 1),
                 QKeySequence(Qt::CTRL | Qt::Key_F5).toString(QKeySequence::NativeText));
    QVERIFY(hotkeys->unavailableReason().isEmpty());
    // A key it has no name for is refused outright.
    QCOMPARE(hotkeys->registerHotKey(0xFFFF, 0x300, 2).status, platform::HotKeyStatus::invalid);
}

QTEST_MAIN(TestKdeGlobalAccel)
#include "tst_kdeglobalaccel.moc"
