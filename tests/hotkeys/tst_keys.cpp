#include "KeyCodes.h"
#include "Keys.h"
#include "TestSupport.h"
#include "XkbKeyboardLayout.h"

#include <QSet>
#include <QTest>

using namespace ondrel;
using namespace ondrel::hotkeys;

namespace {

// A layout that prints given texts.
class FixedLayout final : public platform::KeyboardLayout
{
public:
    explicit FixedLayout(QHash<qint64, QString> keys) : m_keys(std::move(keys)) {}
    std::optional<QString> character(qint64 code) const override
    {
        if (const auto it = m_keys.constFind(code); it != m_keys.constEnd())
            return *it;
        return std::nullopt;
    }

private:
    QHash<qint64, QString> m_keys;
};

} // namespace

class TestKeys : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void everyNamedKeyHasAPlace();
    void names_data();
    void names();
    void keyToCharacterLimits();
    void menuEquivalents();
};

void TestKeys::everyNamedKeyHasAPlace()
{
    // Each named key maps to one physical key and back.
    QSet<int> places;
    for (Key k : allKeys()) {
        const auto evdev = platform::keycodes::evdevForKeyCode(k.rawValue);
        QVERIFY2(evdev, qPrintable(QString::number(k.rawValue)));
        QCOMPARE(platform::keycodes::keyCodeForEvdev(*evdev), k.rawValue);
        places.insert(*evdev);
    }
    QCOMPARE(places.size(), 125);
}

void TestKeys::names_data()
{
    // Each shortcut as the console and the settings name it (description)
    // and as the desktop's menus do (label).
    QTest::addColumn<QString>("layout");
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("label");
    const auto row = [](const char* name, const char* layout, qint64 keyCode, qint64 stored,
                        const char* description, const char* label) {
        QTest::newRow(name) << QString::fromUtf8(layout) << keyCode << stored
                            << QString::fromUtf8(description) << QString::fromUtf8(label);
    };
    row("default", "us", 9, 768, "\u21E7\u2318V", "Shift+Super+V");
    row("y on us", "us", 16, 0x100, "\u2318Y", "Super+Y");
    row("z on de", "de", 16, 0x100, "\u2318Z", "Super+Z");
    row("shift-1 stays 1", "us", 18, 0x200, "\u21E71", "Shift+1");
    row("keypad 1", "us", 83, 0x1000, "\u23031\u20E3", "Ctrl+Num 1");
    row("keypad enter", "us", 76, 0x1000, "\u2303\u21A9\u20E3", "Ctrl+Num Enter");
    row("control option space", "us", 49, 0x1800, "\u2303\u2325Space", "Ctrl+Alt+Space");
    row("every modifier, in order", "us", 40, 0x1000 | 0x800 | 0x200 | 0x100 | 0x20000,
        "\u2303\u2325\u21E7\u2318\U0001F310\uFE0EK", "Ctrl+Alt+Shift+Super+Fn+K");
    row("F20", "us", 90, 0x100, "\u2318F20", "Super+F20");
    row("backspace", "us", 51, 0x800, "\u2325\u232B", "Alt+Backspace");
    row("forward delete", "us", 117, 0x800, "\u2325\u2326", "Alt+Delete");
    row("insert", "us", 114, 0x100, "\u2318?\u20DD", "Super+Insert");
    row("left arrow", "us", 123, 0x100, "\u2318\u2190", "Super+Left");
    // Keys the Mac lacks (Print, media keys, F21 on): named as PC keyboards print them.
    row("print", "us", 0x1000 + 99, 0x100, "\u2318Print", "Super+Print");
    row("F24", "us", 0x1000 + 194, 0, "F24", "F24");
    row("no such key", "us", 200, 0x100, "\u2318\uFFFD", "Super+\uFFFD");
    row("beyond 16 bits", "us", 65536 + 9, 0, "\uFFFD", "\uFFFD");
    row("umlaut on de", "de", 41, 0x1000, "\u2303\u00D6", "Ctrl+\u00D6");
    row("ru,us", "ru,us", 9, 768, "\u21E7\u2318V", "Shift+Super+V");
    row("us,ru", "us,ru", 9, 768, "\u21E7\u2318V", "Shift+Super+V");
    row("ru,de keeps de's Z", "ru,de", 16, 0x100, "\u2318Z", "Super+Z");
    // Latin layouts that put letters elsewhere name keys themselves, not
    // through the US layout beside them ("layouts variants").
    row("fr,us", "fr,us", 12, 0x100, "\u2318A", "Super+A");
    row("dvorak,us", "us,us dvorak,", 1, 0x100, "\u2318O", "Super+O");
    row("tr,us", "tr,us", 33, 0x100, "\u2318\u011E", "Super+\u011E");
    row("ru alone", "ru", 9, 768, "\u21E7\u2318\u041C", "Shift+Super+\u041C");
    row("dead acute on de", "de", 24, 0x1000, "\u2303\u00B4", "Ctrl+\u00B4");
}

void TestKeys::names()
{
    QFETCH(QString, layout);
    QFETCH(qint64, keyCode);
    QFETCH(qint64, stored);
    QFETCH(QString, description);
    QFETCH(QString, label);
    const QStringList names = layout.split(u' ');
    const auto keyboard = platform::XkbKeyboardLayout::fromNames(names.first(), names.value(1));
    QVERIFY(keyboard);
    QCOMPARE(hotkeys::description(Shortcut(keyCode, stored), *keyboard), description);
    QCOMPARE(linuxLabel(Shortcut(keyCode, stored), *keyboard), label);
}

void TestKeys::keyToCharacterLimits()
{
    // Two characters (a ligature, a dead-key pair) are no character.
    const FixedLayout layout({{0, QStringLiteral("ab")}, {1, QStringLiteral("e\u0301")}, {2, QString()}});
    QVERIFY(!keyToCharacter(0, layout));
    QCOMPARE(keyToCharacter(1, layout), QStringLiteral("e\u0301"));
    QVERIFY(!keyToCharacter(2, layout));
    QCOMPARE(description(Shortcut(0, 0x100), layout), QStringLiteral("\u2318\uFFFD"));
    QVERIFY(!keyToCharacter(-1, layout));
    // Special keys are never translated.
    const FixedLayout returns({{36, QStringLiteral("\r")}});
    QVERIFY(!keyToCharacter(36, returns));
    QCOMPARE(description(Shortcut(36, 0), returns), QStringLiteral("\u21A9"));
}

void TestKeys::menuEquivalents()
{
    const auto us = platform::XkbKeyboardLayout::fromNames(QStringLiteral("us"));
    QCOMPARE(menuEquivalentText(9, *us), QStringLiteral("v")); // not capitalised
    QCOMPARE(menuEquivalentText(49, *us), QStringLiteral(" "));
    QCOMPARE(menuEquivalentText(122, *us), QStringLiteral("\uF704"));
    QVERIFY(!menuEquivalentText(83, *us)); // keypad keys never match
}

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"
