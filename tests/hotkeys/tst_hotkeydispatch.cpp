#include "ShortcutsFixture.h"
#include "TestSupport.h"

#include <QTest>

using namespace ondrel;
using namespace ondrel::hotkeys;
using Phase = platform::HotKeyService::Phase;
using test::kCommandShiftV;
using test::kStoredKey;
using test::kToggle;

// Registration with the hotkey service and the dispatch of its events:
// ids, failures, key-up actions, pausing, menus, streams.
class TestHotkeyDispatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void idsCountEveryAttempt();
    void dispatch();
    void twoNamesShareAShortcut();
    void menuSuspendsAndRestoresUnderOldIds();
    void streamsHandlersAndEnabling();
};

void TestHotkeyDispatch::idsCountEveryAttempt()
{
    test::ShortcutsFixture f;
    f.hotKeys.failRegistrations(platform::HotKeyStatus::taken);
    const Name a = f.registry->makeName(QStringLiteral("a"), Shortcut(0, 256));
    f.hotKeys.failRegistrations(platform::HotKeyStatus::ok);
    f.registry->makeName(QStringLiteral("b"), Shortcut(11, 256));
    QCOMPARE(f.hotKeys.attemptedIds(), (QList<quint32>{1, 2}));
    QCOMPARE(f.registry->registrations().lastHotKeyId(), 2);
    // A failed registration still counts as registered: no new attempt.
    f.registry->onKeyUp(a, [] {});
    QCOMPARE(f.hotKeys.registrationCount(), 2);
    // Stored values out of range are not registered, and take an id all the same.
    f.settings.setString(kStoredKey, QStringLiteral("{\"keyCode\":4294967296,\"modifiers\":256}"));
    f.registry->onKeyUp(f.registry->makeName(kToggle, kCommandShiftV), [] {});
    QCOMPARE(f.console.size(), 2);
    QVERIFY(f.console.last().endsWith(QStringLiteral(": -50")));
    f.settings.setString(QStringLiteral("hotkeys/neg"), QStringLiteral("{\"keyCode\":9,\"modifiers\":-1}"));
    f.registry->onKeyUp(Name(QStringLiteral("neg")), [] {});
    QCOMPARE(f.hotKeys.registrationCount(), 2);
    QCOMPARE(f.registry->registrations().lastHotKeyId(), 4);
}

void TestHotkeyDispatch::dispatch()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QStringList seen;
    f.registry->onKeyUp(name, [&] { seen << QStringLiteral("up"); });
    // The action runs on the release only.
    f.hotKeys.press(9, 768, Phase::pressed);
    QCOMPARE(seen, QStringList());
    f.hotKeys.press(9, 768, Phase::released);
    QCOMPARE(seen, QStringList{QStringLiteral("up")});
    f.registry->onKeyDown(name, [&] { seen << QStringLiteral("down"); });
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(seen, (QStringList{QStringLiteral("up"), QStringLiteral("down"), QStringLiteral("up")}));
    // Events of an id not ours are not handled.
    QCOMPARE(f.hotKeys.sendHotKeyEvent(7, Phase::released), std::optional<bool>(false));
    QCOMPARE(f.hotKeys.sendHotKeyEvent(1, Phase::released), std::optional<bool>(true));
    QCOMPARE(seen.size(), 4);
    // Paused: still registered, and silent.
    f.registry->setPaused(true);
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(seen.size(), 4);
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
    f.registry->setPaused(false);
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(seen.size(), 6);
    // Changed behind the registry's back: the old grab stays, the Name no
    // longer answers to it.
    f.settings.setString(kStoredKey, QStringLiteral("{\"keyCode\":40,\"modifiers\":6144}"));
    f.pressAndRelease(kCommandShiftV);
    QCOMPARE(seen.size(), 6);
}

void TestHotkeyDispatch::twoNamesShareAShortcut()
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

void TestHotkeyDispatch::menuSuspendsAndRestoresUnderOldIds()
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
    QCOMPARE(f.hotKeys.typeInMenu(9, 768, Phase::pressed), std::optional<bool>(true));
    QCOMPARE(f.hotKeys.typeInMenu(9, 768 | 0x10000 /* caps lock */, Phase::released),
             std::optional<bool>(true));
    QCOMPARE(f.hotKeys.typeInMenu(9, 0, Phase::pressed), std::optional<bool>(false));
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
    // Taken by someone else meanwhile: the record goes, with a line.
    f.registry->menuDidBeginTracking();
    f.hotKeys.takeElsewhere(9, 768);
    f.registry->menuDidEndTracking();
    QVERIFY(f.registry->registrations().hotKeys().empty());
    QCOMPARE(f.console.size(), 1);
    QVERIFY(f.hotKeys.grabs().empty());
}

void TestHotkeyDispatch::streamsHandlersAndEnabling()
{
    test::ShortcutsFixture f;
    const Name name = f.registry->makeName(QStringLiteral("a"));
    f.registry->setShortcut(Shortcut(40, 6144), name);
    QList<EventType> events;
    const quint64 token = f.registry->addStream(name, [&](EventType e) { events << e; });
    f.pressAndRelease(Shortcut(40, 6144));
    QCOMPARE(events, (QList<EventType>{EventType::keyDown, EventType::keyUp}));
    // A stream of the same Name keeps it registered without its handlers...
    f.registry->onKeyUp(name, [] {});
    f.registry->removeAllHandlers();
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
    // ... and without the stream, nothing is.
    f.registry->removeStream(token);
    f.pressAndRelease(Shortcut(40, 6144));
    QCOMPARE(events.size(), 2);
    f.registry->onKeyUp(name, [] {});
    f.registry->removeHandler(name);
    QVERIFY(f.hotKeys.grabs().empty());
    QVERIFY(!f.registry->registeredShortcuts().contains(Shortcut(40, 6144)));
    f.registry->disable({name});
    QVERIFY(!f.registry->isEnabled(name));
    QVERIFY(f.hotKeys.grabs().empty());
    f.registry->enable({name});
    QVERIFY(f.registry->isEnabled(name));
}

QTEST_MAIN(TestHotkeyDispatch)
#include "tst_hotkeydispatch.moc"
