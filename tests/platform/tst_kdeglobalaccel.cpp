// Global hotkeys through KDE's shortcut service, against a stand-in of it on
// a private session bus: the key form, what is registered with which flags,
// the keys the desktop keeps, presses and releases, a change in the
// desktop's settings, no keys at all, and a desktop slow to answer.
// (tst_kdedesktop runs it on KWin.)

#include "BusStandIn.h"
#include "HotKeyRegistrations.h"
#include "KdeGlobalAccel.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTest>

using namespace ondrel;

namespace {

const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");

class GlobalAccelStandIn final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KGlobalAccel")
public:
    explicit GlobalAccelStandIn(QDBusConnection bus) : bus(std::move(bus)) {}

    QDBusConnection bus;
    const test::Published published{bus, QStringLiteral("org.kde.kglobalaccel"), kPath, this};
    QStringList calls;
    bool keysTaken = false;    // another shortcut holds the keys asked for
    bool holdsAnswers = false; // setShortcut's answers wait for answerHeld()
    QList<std::pair<QDBusMessage, QList<int>>> held;

    void answerHeld(int index, bool fail)
    {
        const auto& [call, keys] = held.at(index);
        bus.send(fail ? call.createErrorReply(QDBusError::Failed, QStringLiteral("no"))
                      : call.createReply(QVariant::fromValue(keys)));
    }

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
        const QList<int> answer = keysTaken ? QList<int>() : keys;
        if (holdsAnswers) {
            setDelayedReply(true);
            held.append({message(), answer});
        }
        return answer;
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
    void keysTakenAreLeftToTheUser();
    void slowDesktopHoldsNothingUp();

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
    QTest::newRow("every modifier") << 40u << 0x1B00u
                                    << (Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::META | Qt::Key_K).toCombined();
    QTest::newRow("a function key") << 96u << 0x1000u << (Qt::CTRL | Qt::Key_F5).toCombined();
    QTest::newRow("space") << 49u << 0x800u << (Qt::ALT | Qt::Key_Space).toCombined();
    QTest::newRow("digit") << 18u << 0x100u << (Qt::META | Qt::Key_1).toCombined();
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
    QTRY_COMPARE(desktop.calls,
                 (QStringList{QStringLiteral(
                                  "doRegister ondrel|hotkey-1213617233-1|Ondrel|Show the clipboard history"),
                              QStringLiteral("setShortcut hotkey-1213617233-1 12000056 1"),
                              QStringLiteral("setShortcut hotkey-1213617233-1 12000056 2")}));
    // (The keys it then names are tst_kdedesktop's, on KWin.)

    desktop.emitShortcut(QStringLiteral("globalShortcutPressed"), QStringLiteral("ondrel"),
                         QStringLiteral("hotkey-1213617233-1"));
    desktop.emitShortcut(QStringLiteral("globalShortcutReleased"), QStringLiteral("ondrel"),
                         QStringLiteral("hotkey-1213617233-1"));
    QTRY_COMPARE(events, (QStringList{QStringLiteral("1 down"), QStringLiteral("1 up")}));
    // Another program's action, or one no longer ours, is not ours to run.
    desktop.emitShortcut(QStringLiteral("globalShortcutPressed"), QStringLiteral("kwin"),
                         QStringLiteral("hotkey-1213617233-1"));
    hotkeys->unregisterHotKey(*registration.reference);
    QTRY_COMPARE(desktop.calls.last(), QStringLiteral("setInactive hotkey-1213617233-1"));
    desktop.emitShortcut(QStringLiteral("globalShortcutPressed"), QStringLiteral("ondrel"),
                         QStringLiteral("hotkey-1213617233-1"));
    QVERIFY(test::signalsDelivered(desktop.bus, QDBusConnection(QStringLiteral("app%1").arg(m_connections))));
    QCOMPARE(events.size(), 2);
}

void TestKdeGlobalAccel::keysTakenAreLeftToTheUser()
{
    // Registered all the same: the user can give it keys in the desktop's
    // settings. (Keys the user chose earlier winning over the program's
    // default is tst_kdedesktop's, on KWin.)
    GlobalAccelStandIn desktop(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop0")));
    QVERIFY(desktop.published.ok);
    desktop.keysTaken = true;
    auto hotkeys = service();
    QStringList described;
    hotkeys->setDescriptionHandler([&] { described << hotkeys->assignedTriggers(); });
    QCOMPARE(hotkeys->registerHotKey(9, 0x300, 1).status, platform::HotKeyStatus::ok);
    QTRY_COMPARE(hotkeys->unavailableReason(),
                 QStringLiteral("The desktop has not given this hotkey a key yet. Choose one in its keyboard "
                                "settings, or bind a key to \u201Condrel toggle\u201D."));
    QVERIFY(hotkeys->assignedTriggers().isEmpty());
    // The user changes them in System Settings while the program runs.
    desktop.emitChanged({QStringLiteral("ondrel"), QStringLiteral("hotkey-1213617233-1")},
                        {(Qt::CTRL | Qt::Key_F5).toCombined()});
    QTRY_COMPARE(described.value(described.size() - 1),
                 QKeySequence(Qt::CTRL | Qt::Key_F5).toString(QKeySequence::NativeText));
    QVERIFY(hotkeys->unavailableReason().isEmpty());
    // A key it has no name for is refused outright.
    QCOMPARE(hotkeys->registerHotKey(0xFFFF, 0x300, 2).status, platform::HotKeyStatus::invalid);
}

void TestKdeGlobalAccel::slowDesktopHoldsNothingUp()
{
    GlobalAccelStandIn desktop(QDBusConnection::connectToBus(m_address, QStringLiteral("desktop3")));
    QVERIFY(desktop.published.ok);
    desktop.holdsAnswers = true;
    auto service = this->service();
    QStringList console, events;
    hotkeys::HotKeyRegistrations registrations(
        *service, [](const hotkeys::Shortcut& s) { return QString::number(s.keyCode()); },
        [&console](const QString& line) { console << line; });
    registrations.registerShortcut(hotkeys::Shortcut(9, 0x300),
                                   [&events](const hotkeys::Shortcut&) { events << QStringLiteral("down"); },
                                   {});
    registrations.registerShortcut(hotkeys::Shortcut(40, 0x300), {}, {});
    // Nothing waited for the desktop, which has not answered yet: both are
    // kept, keys unknown, and no "no key yet" is said meanwhile.
    QTRY_COMPARE(desktop.held.size(), 2);
    QCOMPARE(registrations.hotKeys().size(), std::size_t(2));
    QVERIFY(service->assignedTriggers().isEmpty());
    QVERIFY(service->unavailableReason().isEmpty());

    // A menu opening and closing asks nothing of the desktop, which keeps
    // delivering the hotkey meanwhile.
    const QStringList calls = desktop.calls;
    registrations.setMenuOpen(true);
    desktop.emitShortcut(QStringLiteral("globalShortcutPressed"), QStringLiteral("ondrel"),
                         QStringLiteral("hotkey-1213617233-1"));
    QTRY_COMPARE(events, QStringList{QStringLiteral("down")});
    registrations.setMenuOpen(false);

    // The answers: keys for one, a refusal for the other, reported as a
    // refused registration.
    desktop.answerHeld(0, false);
    desktop.answerHeld(1, true);
    QTRY_COMPARE(console, QStringList{QStringLiteral("Error registering hotkey 40: -9878")});
    QCOMPARE(registrations.hotKeys().size(), std::size_t(1));
    QCOMPARE(service->assignedTriggers(),
             QKeySequence(Qt::SHIFT | Qt::META | Qt::Key_V).toString(QKeySequence::NativeText));
    QCOMPARE(desktop.calls, calls);
}

QTEST_MAIN(TestKdeGlobalAccel)
#include "tst_kdeglobalaccel.moc"
