#include "ShortcutsFixture.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QTest>

using namespace ondrel;
using namespace ondrel::hotkeys;
using test::kCommandShiftV;
using test::kDefaultJson;
using test::kStoredKey;
using test::kToggle;

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
    void storingTheSameShortcutRegistersAgain();
    void resetAndResetAll();
};

void TestShortcuts::creatingShortcuts_data()
{
    QTest::addColumn<int>("how"); // 0 stored, 1 key and flags, 2 event
    QTest::addColumn<qint64>("input");
    QTest::addColumn<qint64>("stored");
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
    QFETCH(qint64, stored);
    std::optional<Shortcut> s;
    if (how == 0)
        s = Shortcut(40, input);
    else if (how == 1)
        s = Shortcut(Key{40}, quint64(input));
    else
        s = Shortcut::fromEvent(kKeyDownEvent, 40, quint64(input));
    QVERIFY(s);
    QCOMPARE(s->keyCode(), 40);
    QCOMPARE(s->storedModifiers(), stored);
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
    QCOMPARE(plain.settingsKey(), kStoredKey);
    QVERIFY(Shortcut(9, 768) != Shortcut(768, 9));
}

void TestShortcuts::decoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("valid");
    QTest::newRow("written form") << QByteArray("{\"keyCode\":9,\"modifiers\":768}") << true;
    QTest::newRow("other order, spaces") << QByteArray("{ \"modifiers\": 768, \"keyCode\": 9 }") << true;
    QTest::newRow("extra member") << QByteArray("{\"keyCode\":9,\"modifiers\":768,\"x\":1}") << true;
    QTest::newRow("names of older files")
        << QByteArray("{\"carbonKeyCode\":9,\"carbonModifiers\":768}") << true;
    QTest::newRow("names mixed") << QByteArray("{\"keyCode\":9,\"carbonModifiers\":768}") << false;
    QTest::newRow("missing modifiers") << QByteArray("{\"keyCode\":9}") << false;
    QTest::newRow("string number") << QByteArray("{\"keyCode\":\"9\",\"modifiers\":768}") << false;
    QTest::newRow("fraction") << QByteArray("{\"keyCode\":9.5,\"modifiers\":768}") << false;
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
    f.settings.setString(kStoredKey, QString::fromUtf8(json));
    QCOMPARE(f.registry->getShortcut(Name(kToggle)) == kCommandShiftV, valid);
}

void TestShortcuts::firstStartWritesAndRegistersTheDefault()
{
    test::ShortcutsFixture f;
    QSignalSpy changed(f.registry.get(), &Registry::shortcutByNameDidChange);
    const Name name = f.registry->makeName(kToggle, kCommandShiftV);
    QCOMPARE(f.settings.value(kStoredKey), QVariant(kDefaultJson));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<Name>(), name);
    // Registered before anything is attached.
    QCOMPARE(f.hotKeys.grabs().size(), size_t(1));
    const auto& grab = f.hotKeys.grabs().begin()->second;
    QCOMPARE(grab.keyCode, 9u);
    QCOMPARE(grab.modifiers, 768u);
    QCOMPARE(grab.id, 1u);
    QVERIFY(f.registry->registeredShortcuts().contains(kCommandShiftV));
    QVERIFY(f.hotKeys.hotKeyEventsEnabled());
}

void TestShortcuts::laterStartsKeepWhatIsStored()
{
    test::ShortcutsFixture f;
    f.settings.setString(kStoredKey, QStringLiteral("{\"keyCode\":40,\"modifiers\":6144}"));
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
    QCOMPARE(f.settings.value(kStoredKey), QVariant(false));
    QVERIFY(f.registry->hasStoredValue(name));
    QVERIFY(!f.registry->getShortcut(name));
    QVERIFY(f.hotKeys.grabs().empty());
    QCOMPARE(changed.count(), 1);
    // The next start does not bring the default back.
    f.restart();
    name = f.registry->makeName(kToggle, kCommandShiftV);
    QCOMPARE(f.settings.value(kStoredKey), QVariant(false));
    QVERIFY(f.hotKeys.grabs().empty());

    // Without a default the key goes.
    const Name other = f.registry->makeName(QStringLiteral("other"));
    f.registry->setShortcut(Shortcut(40, 6144), other);
    f.registry->setShortcut(std::nullopt, other);
    QVERIFY(!f.settings.contains(QStringLiteral("hotkeys/other")));
    // Clearing what holds no shortcut changes nothing, and says nothing.
    QSignalSpy quiet(f.registry.get(), &Registry::shortcutByNameDidChange);
    f.settings.setString(other.settingsKey(), QStringLiteral("garbage"));
    f.registry->setShortcut(std::nullopt, other);
    QCOMPARE(quiet.count(), 0);
    QCOMPARE(f.settings.value(other.settingsKey()), QVariant(QStringLiteral("garbage")));
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
    QCOMPARE(f.settings.value(kStoredKey), QVariant(kDefaultJson));
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
    QVERIFY(!f.settings.contains(other.settingsKey()));
    f.settings.setString(QStringLiteral("unrelated"), QStringLiteral("kept"));
    QSignalSpy changed(f.registry.get(), &Registry::shortcutByNameDidChange);
    f.registry->resetAll();
    // Names made from stored keys have no default: their entries go.
    QVERIFY(!f.settings.contains(kStoredKey));
    QCOMPARE(f.settings.value(QStringLiteral("unrelated")), QVariant(QStringLiteral("kept")));
    QCOMPARE(changed.count(), 1);
    QVERIFY(f.hotKeys.grabs().empty());
}

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
