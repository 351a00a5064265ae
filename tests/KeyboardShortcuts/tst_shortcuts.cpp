#include "ShortcutsFixture.h"
#include "TestSupport.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace ondrel;
using namespace ondrel::KeyboardShortcuts;
using Phase = platform::HotKeyService::Phase;
using test::kCommandShiftV;

namespace {
const QString kToggle = QStringLiteral("toggleBrisol");
const QString kStoredKey = QStringLiteral("KeyboardShortcuts_toggleBrisol");
const QString kDefaultJson = QStringLiteral("{\"carbonKeyCode\":9,\"carbonModifiers\":768}");
} // namespace

class TestShortcuts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void creatingShortcuts_data();
    void creatingShortcuts();
    void namesCompareByRawValue();
    void decoding_data();
    void decoding();
    void firstStartWritesAndRegistersTheDefault();
    void laterStartsKeepWhatIsStored();
    void clearingLeavesFalseOrRemoves();
    void clearingAnEmptyNamePostsNothing();
    void storingTheSameShortcutRegistersAgain();
    void resetAndResetAll();
    void idsCountEveryAttempt();
    void failedRegistrationWritesOneLine();
    void outOfRangeValuesAreNotRegistered();
    void actionRunsOnReleaseOnly();
    void foreignEventsAreNotHandled();
    void pauseSilencesCallbacks();
    void dispatchReadsTheStoredShortcut();
    void twoNamesShareAShortcut();
    void menuSuspendsAndRestoresUnderOldIds();
    void failedReRegistrationDropsTheRecord();
    void menusOfTheApplicationAreTracked();
    void removingHandlersUnregisters();
    void streamsAndEnabling();
};

void TestShortcuts::creatingShortcuts_data()
{
    QTest::addColumn<int>("how"); // 0 stored, 1 key and flags, 2 event
    QTest::addColumn<qint64>("input");
    QTest::addColumn<qint64>("carbon");
    QTest::newRow("stored keeps fn") << 0 << qint64(0x20000 | 0x100) << qint64(0x20000 | 0x100);
    QTest::newRow("stored keeps foreign bits") << 0 << qint64(0x1) << qint64(0x1);
    QTest::newRow("flags: command shift") << 1 << qint64(0x120000) << qint64(768);
    QTest::newRow("flags: fn kept") << 1 << qint64(0x800000 | 0x40000) << qint64(0x20000 | 0x1000);
    QTest::newRow("flags: caps lock, keypad, help lost")
        << 1 << qint64(0x10000 | 0x200000 | 0x400000 | 0x80000) << qint64(0x800);
    QTest::newRow("event: fn dropped") << 2 << qint64(0x800000 | 0x100000) << qint64(0x100);
}

void TestShortcuts::creatingShortcuts()
{
    QFETCH(int, how);
    QFETCH(qint64, input);
    QFETCH(qint64, carbon);
    std::optional<Shortcut> s;
    if (how == 0)
        s = Shortcut(40, input);
    else if (how == 1)
        s = Shortcut(Key{40}, quint64(input));
    else
        s = Shortcut::fromEvent(kKeyDownEvent, 40, quint64(input));
    QVERIFY(s);
    QCOMPARE(s->carbonKeyCode(), 40);
    QCOMPARE(s->carbonModifiers(), carbon);
    // Only key events make shortcuts.
    QVERIFY(!Shortcut::fromEvent(1, 40, 0));
    QVERIFY(Shortcut::fromEvent(kKeyUpEvent, 40, 0));
}

void TestShortcuts::namesCompareByRawValue()
{
    const Name plain(kToggle);
    const Name withDefault(kToggle, kCommandShiftV);
    QCOMPARE(plain, withDefault);
    QCOMPARE(qHash(plain), qHash(withDefault));
    QVERIFY(Name(QStringLiteral("other")) != plain);
    QCOMPARE(plain.userDefaultsKey(), kStoredKey);
    QVERIFY(Shortcut(9, 768) != Shortcut(768, 9));
    QCOMPARE(qHash(Shortcut(9, 768)), qHash(kCommandShiftV));
}

void TestShortcuts::decoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("valid");
    QTest::newRow("written form") << QByteArray("{\"carbonKeyCode\":9,\"carbonModifiers\":768}") << true;
    QTest::newRow("other order, spaces")
        << QByteArray("{ \"carbonModifiers\": 768, \"carbonKeyCode\": 9 }") << true;
    QTest::newRow("extra member") << QByteArray("{\"carbonKeyCode\":9,\"carbonModifiers\":768,\"x\":1}")
                                  << true;
    QTest::newRow("missing modifiers") << QByteArray("{\"carbonKeyCode\":9}") << false;
    QTest::newRow("string number") << QByteArray("{\"carbonKeyCode\":\"9\",\"carbonModifiers\":768}")
                                   << false;
    QTest::newRow("fraction") << QByteArray("{\"carbonKeyCode\":9.5,\"carbonModifiers\":768}") << false;
    QTest::newRow("not json") << QByteArray("cmd+shift+v") << false;
    QTest::newRow("array") << QByteArray("[9,768]") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestShortcuts::decoding()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, valid);
    QCOMPARE(Shortcut::fromJson(json) == kCommandShiftV, valid);
    // Whatever is stored, reading never fails loudly.
    test::ShortcutsFixture f;
    f.defaults.setString(kStoredKey, QString::fromUtf8(json));
    QCOMPARE(f.registry->getShortcut(Name(kToggle)) == kCommandShiftV, valid);
}

void TestShortcuts::firstStartWritesAndRegistersTheDefault()
{
    test::ShortcutsFixture f;
    QSignalSpy changed(f.registry.get(), &Registry::shortcutByNameDidChange);
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QCOMPARE(f.defaults.object(kStoredKey), QVariant(kDefaultJson));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<Name>(), name);
    // Registered before anything is attached.
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
    const auto& grab = f.hotKeys.grabs().begin()->second;
    QCOMPARE(grab.keyCode, 9u);
    QCOMPARE(grab.modifiers, 768u);
    QCOMPARE(grab.signature, 0x48565451u); // "HVTQ"
    QCOMPARE(grab.id, 1u);
    QVERIFY(f.registry->registeredShortcuts().contains(kCommandShiftV));
    QVERIFY(f.hotKeys.hotKeyEventsEnabled());
}

void TestShortcuts::laterStartsKeepWhatIsStored()
{
    test::ShortcutsFixture f;
    f.defaults.setString(kStoredKey, QStringLiteral("{\"carbonKeyCode\":40,\"carbonModifiers\":6144}"));
    QSignalSpy changed(f.registry.get(), &Registry::shortcutByNameDidChange);
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QCOMPARE(changed.count(), 0);
    QVERIFY(f.hotKeys.grabs().empty()); // nothing until a callback is attached
    int ups = 0;
    f.registry->onKeyUp(name, [&] { ++ups; });
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
    f.pressAndRelease(Shortcut(40, 6144));
    QCOMPARE(ups, 1);
}

void TestShortcuts::clearingLeavesFalseOrRemoves()
{
    test::ShortcutsFixture f;
    Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QSignalSpy changed(f.registry.get(), &Registry::shortcutByNameDidChange);
    f.registry->setShortcut(std::nullopt, name);
    QCOMPARE(f.defaults.object(kStoredKey), QVariant(false));
    QVERIFY(f.registry->hasStoredValue(name));
    QVERIFY(!f.registry->getShortcut(name));
    QVERIFY(f.hotKeys.grabs().empty());
    QCOMPARE(changed.count(), 1);
    // The next start does not bring the default back.
    f.restart();
    name = f.registry->makeName(kToggle, kCommandShiftV);
    QCOMPARE(f.defaults.object(kStoredKey), QVariant(false));
    QVERIFY(f.hotKeys.grabs().empty());

    // Without a default the key goes.
    const Name other = f.registry->makeName(QStringLiteral("other"));
    f.registry->setShortcut(Shortcut(40, 6144), other);
    f.registry->setShortcut(std::nullopt, other);
    QVERIFY(!f.defaults.contains(QStringLiteral("KeyboardShortcuts_other")));
}

void TestShortcuts::clearingAnEmptyNamePostsNothing()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(QStringLiteral("empty"));
    QSignalSpy changed(f.registry.get(), &Registry::shortcutByNameDidChange);
    f.registry->setShortcut(std::nullopt, name);
    f.defaults.setString(name.userDefaultsKey(), QStringLiteral("garbage"));
    f.registry->setShortcut(std::nullopt, name);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(f.defaults.object(name.userDefaultsKey()), QVariant(QStringLiteral("garbage")));
}

void TestShortcuts::storingTheSameShortcutRegistersAgain()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QSignalSpy changed(f.registry.get(), &Registry::shortcutByNameDidChange);
    f.registry->setShortcut(kCommandShiftV, name);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(f.hotKeys.registrationCount(), 2);
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
    QCOMPARE(f.hotKeys.grabs().begin()->second.id, 2u); // a new registration
    QCOMPARE(f.defaults.object(kStoredKey), QVariant(kDefaultJson));
}

void TestShortcuts::resetAndResetAll()
{
    test::ShortcutsFixture f;
    const Name toggle = f.registry->makeName(kToggle, kCommandShiftV);
    const Name other = f.registry->makeName(QStringLiteral("other"));
    f.registry->setShortcut(Shortcut(40, 6144), toggle);
    f.registry->setShortcut(Shortcut(3, 256), other);
    f.registry->reset({toggle, other});
    QCOMPARE(f.registry->getShortcut(toggle), kCommandShiftV);
    QVERIFY(!f.defaults.contains(other.userDefaultsKey()));
    f.defaults.setString(QStringLiteral("unrelated"), QStringLiteral("kept"));
    QSignalSpy changed(f.registry.get(), &Registry::shortcutByNameDidChange);
    f.registry->resetAll();
    // Names made from stored keys have no default: their entries go.
    QVERIFY(!f.defaults.contains(kStoredKey));
    QCOMPARE(f.defaults.object(QStringLiteral("unrelated")), QVariant(QStringLiteral("kept")));
    QCOMPARE(changed.count(), 1);
    QVERIFY(f.hotKeys.grabs().empty());
}

void TestShortcuts::idsCountEveryAttempt()
{
    test::ShortcutsFixture f;
    f.hotKeys.failRegistrations(platform::HotKeyService::kEventHotKeyExistsErr);
    const Name a = f.registry->makeName(QStringLiteral("a"), Shortcut(0, 256));
    f.hotKeys.failRegistrations(0);
    const Name b = f.registry->makeName(QStringLiteral("b"), Shortcut(11, 256));
    QCOMPARE(f.hotKeys.attemptedIds(), (QList<quint32>{1, 2}));
    QCOMPARE(f.registry->carbon().lastHotKeyId(), 2);
    // A failed registration still counts as registered: no new attempt.
    f.registry->onKeyUp(a, [] {});
    QCOMPARE(f.hotKeys.registrationCount(), 2);
    Q_UNUSED(b);
}

void TestShortcuts::failedRegistrationWritesOneLine()
{
    test::ShortcutsFixture f;
    f.hotKeys.takeElsewhere(9, 768);
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QCOMPARE(f.console, QStringList{QStringLiteral("Error registering hotkey \u21E7\u2318V: -9878")});
    // The shortcut is stored anyway.
    QCOMPARE(f.registry->getShortcut(name), kCommandShiftV);
}

void TestShortcuts::outOfRangeValuesAreNotRegistered()
{
    test::ShortcutsFixture f;
    f.defaults.setString(kStoredKey,
                         QStringLiteral("{\"carbonKeyCode\":4294967296,\"carbonModifiers\":256}"));
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    f.registry->onKeyUp(name, [] {});
    QCOMPARE(f.hotKeys.registrationCount(), 0);
    QCOMPARE(f.console.size(), 1);
    QVERIFY(f.console.first().endsWith(QStringLiteral(": -50")));
    f.defaults.setString(QStringLiteral("KeyboardShortcuts_neg"),
                         QStringLiteral("{\"carbonKeyCode\":9,\"carbonModifiers\":-1}"));
    f.registry->onKeyUp(Name(QStringLiteral("neg")), [] {});
    QCOMPARE(f.hotKeys.registrationCount(), 0);
    QCOMPARE(f.registry->carbon().lastHotKeyId(), 2);
}

void TestShortcuts::actionRunsOnReleaseOnly()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QStringList seen;
    f.registry->onKeyUp(name, [&] { seen << QStringLiteral("up"); });
    f.hotKeys.press(9, 768, Phase::pressed);
    QCOMPARE(seen, QStringList());
    f.hotKeys.press(9, 768, Phase::released);
    QCOMPARE(seen, QStringList{QStringLiteral("up")});
    f.registry->onKeyDown(name, [&] { seen << QStringLiteral("down"); });
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(seen, (QStringList{QStringLiteral("up"), QStringLiteral("down"), QStringLiteral("up")}));
}

void TestShortcuts::foreignEventsAreNotHandled()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    int ups = 0;
    f.registry->onKeyUp(name, [&] { ++ups; });
    QCOMPARE(f.hotKeys.sendHotKeyEvent(0x41424344, 1, Phase::released),
             platform::HotKeyService::kEventNotHandledErr);
    QCOMPARE(f.hotKeys.sendHotKeyEvent(0x48565451, 7, Phase::released),
             platform::HotKeyService::kEventNotHandledErr);
    QCOMPARE(f.hotKeys.sendHotKeyEvent(0x48565451, 1, Phase::released), platform::HotKeyService::kNoErr);
    QCOMPARE(ups, 1);
}

void TestShortcuts::pauseSilencesCallbacks()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    int ups = 0;
    f.registry->onKeyUp(name, [&] { ++ups; });
    f.registry->setPaused(true);
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(ups, 0);
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1)); // still registered
    f.registry->setPaused(false);
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(ups, 1);
}

void TestShortcuts::dispatchReadsTheStoredShortcut()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    int ups = 0;
    f.registry->onKeyUp(name, [&] { ++ups; });
    // Changed behind the registry's back: the old grab stays, the Name no
    // longer answers to it.
    f.defaults.setString(kStoredKey, QStringLiteral("{\"carbonKeyCode\":40,\"carbonModifiers\":6144}"));
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(ups, 0);
}

void TestShortcuts::twoNamesShareAShortcut()
{
    test::ShortcutsFixture f;
    const Name a = f.registry->makeName(QStringLiteral("a"), kCommandShiftV);
    const Name b = f.registry->makeName(QStringLiteral("b"), kCommandShiftV);
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1)); // registered once
    QStringList seen;
    f.registry->onKeyUp(a, [&] { seen << QStringLiteral("a"); });
    f.registry->onKeyUp(b, [&] { seen << QStringLiteral("b"); });
    f.pressAndRelease(kCommandShiftV);
    seen.sort();
    QCOMPARE(seen, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    // A new shortcut for one removes every record of the old combination.
    f.registry->setShortcut(Shortcut(40, 6144), a);
    seen.clear();
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(seen, QStringList());
    f.pressAndRelease(Shortcut(40, 6144));
    QCOMPARE(seen, QStringList{QStringLiteral("a")});
}

void TestShortcuts::menuSuspendsAndRestoresUnderOldIds()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QStringList seen;
    f.registry->onKeyDown(name, [&] { seen << QStringLiteral("down"); });
    f.registry->onKeyUp(name, [&] { seen << QStringLiteral("up"); });
    f.registry->menuDidBeginTracking();
    QVERIFY(f.registry->isMenuOpen());
    QVERIFY(f.hotKeys.grabs().empty());
    QVERIFY(!f.hotKeys.hotKeyEventsEnabled());
    QVERIFY(f.hotKeys.rawKeyEventsEnabled());
    // The combination typed into the menu runs the callbacks and is consumed;
    // other keys go to the menu.
    QCOMPARE(f.hotKeys.typeInMenu(9, 768, Phase::pressed), platform::HotKeyService::kNoErr);
    QCOMPARE(f.hotKeys.typeInMenu(9, 768 | 0x10000 /* caps lock */, Phase::released),
             platform::HotKeyService::kNoErr);
    QCOMPARE(f.hotKeys.typeInMenu(9, 0, Phase::pressed), platform::HotKeyService::kEventNotHandledErr);
    QCOMPARE(seen, (QStringList{QStringLiteral("down"), QStringLiteral("up")}));
    f.registry->menuDidEndTracking();
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
    QCOMPARE(f.hotKeys.grabs().begin()->second.id, 1u); // its old id
    QVERIFY(f.hotKeys.hotKeyEventsEnabled());
    QVERIFY(!f.hotKeys.rawKeyEventsEnabled());
    // Disabled: suspended the same way, no raw keys either.
    f.registry->setEnabled(false);
    QVERIFY(f.hotKeys.grabs().empty());
    QVERIFY(!f.hotKeys.rawKeyEventsEnabled());
    QVERIFY(!f.registry->isEnabled(name));
    f.registry->setEnabled(true);
    QVERIFY(f.registry->isEnabled(name));
}

void TestShortcuts::failedReRegistrationDropsTheRecord()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    int ups = 0;
    f.registry->onKeyUp(name, [&] { ++ups; });
    f.registry->menuDidBeginTracking();
    f.hotKeys.takeElsewhere(9, 768); // someone took it meanwhile
    f.registry->menuDidEndTracking();
    QVERIFY(f.registry->carbon().hotKeys().empty());
    QCOMPARE(f.console.size(), 1);
    QVERIFY(f.hotKeys.grabs().empty());
}

void TestShortcuts::menusOfTheApplicationAreTracked()
{
    test::ShortcutsFixture f;
    f.registry->makeName(kToggle, kCommandShiftV);
    f.registry->trackApplicationMenus();
    QMenu menu;
    QMenu* sub = menu.addMenu(QStringLiteral("More"));
    sub->addAction(QStringLiteral("Item"));
    menu.show();
    QVERIFY(f.registry->isMenuOpen());
    sub->show();
    sub->hide();
    QVERIFY(f.registry->isMenuOpen()); // the outer one is still open
    menu.hide();
    QVERIFY(!f.registry->isMenuOpen());
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
}

void TestShortcuts::removingHandlersUnregisters()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(QStringLiteral("a"));
    f.registry->setShortcut(Shortcut(40, 6144), name);
    f.registry->onKeyUp(name, [] {});
    f.registry->removeHandler(name);
    QVERIFY(f.hotKeys.grabs().empty());
    QVERIFY(!f.registry->registeredShortcuts().contains(Shortcut(40, 6144)));
    // A stream of the same Name keeps it registered.
    f.registry->onKeyUp(name, [] {});
    const quint64 token = f.registry->addStream(name, [](EventType) {});
    f.registry->removeAllHandlers();
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
    f.registry->removeStream(token);
}

void TestShortcuts::streamsAndEnabling()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(QStringLiteral("a"));
    f.registry->setShortcut(Shortcut(40, 6144), name);
    QList<EventType> events;
    const quint64 token = f.registry->addStream(name, [&](EventType e) { events << e; });
    f.pressAndRelease(Shortcut(40, 6144));
    QCOMPARE(events, (QList<EventType>{EventType::keyDown, EventType::keyUp}));
    f.registry->removeStream(token);
    f.pressAndRelease(Shortcut(40, 6144));
    QCOMPARE(events.size(), 2);
    f.registry->disable({name});
    QVERIFY(!f.registry->isEnabled(name));
    QVERIFY(f.hotKeys.grabs().empty());
    f.registry->enable({name});
    QVERIFY(f.registry->isEnabled(name));
}

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
