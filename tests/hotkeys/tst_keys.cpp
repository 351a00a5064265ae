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
    QTest::newRow("default") << "us" << qint64(9) << qint64(768) << QStringLiteral("\u21E7\u2318V")
                             << QStringLiteral("Shift+Super+V");
    QTest::newRow("y on us") << "us" << qint64(16) << qint64(0x100) << QStringLiteral("\u2318Y")
                             << QStringLiteral("Super+Y");
    QTest::newRow("z on de") << "de" << qint64(16) << qint64(0x100) << QStringLiteral("\u2318Z")
                             << QStringLiteral("Super+Z");
    QTest::newRow("shift-1 stays 1") << "us" << qint64(18) << qint64(0x200) << QStringLiteral("\u21E71")
                                     << QStringLiteral("Shift+1");
    QTest::newRow("shift-1 on de") << "de" << qint64(18) << qint64(0x200) << QStringLiteral("\u21E71")
                                   << QStringLiteral("Shift+1");
    QTest::newRow("keypad 1") << "us" << qint64(83) << qint64(0x1000) << QStringLiteral("\u23031\u20E3")
                              << QStringLiteral("Ctrl+Num 1");
    QTest::newRow("keypad enter") << "us" << qint64(76) << qint64(0x1000)
                                  << QStringLiteral("\u2303\u21A9\u20E3") << QStringLiteral("Ctrl+Num Enter");
    QTest::newRow("control option space")
        << "us" << qint64(49) << qint64(0x1800) << QStringLiteral("\u2303\u2325Space")
        << QStringLiteral("Ctrl+Alt+Space");
    QTest::newRow("every modifier, in order")
        << "us" << qint64(40) << qint64(0x1000 | 0x800 | 0x200 | 0x100 | 0x20000)
        << QStringLiteral("\u2303\u2325\u21E7\u2318\U0001F310\uFE0EK")
        << QStringLiteral("Ctrl+Alt+Shift+Super+Fn+K");
    QTest::newRow("fn last") << "us" << qint64(96) << qint64(0x20000 | 0x100)
                             << QStringLiteral("\u2318\U0001F310\uFE0EF5") << QStringLiteral("Super+Fn+F5");
    QTest::newRow("F5 alone") << "us" << qint64(96) << qint64(0) << QStringLiteral("F5")
                              << QStringLiteral("F5");
    QTest::newRow("F20") << "us" << qint64(90) << qint64(0x100) << QStringLiteral("\u2318F20")
                         << QStringLiteral("Super+F20");
    QTest::newRow("backspace") << "us" << qint64(51) << qint64(0x800) << QStringLiteral("\u2325\u232B")
                               << QStringLiteral("Alt+Backspace");
    QTest::newRow("forward delete") << "us" << qint64(117) << qint64(0x800) << QStringLiteral("\u2325\u2326")
                                    << QStringLiteral("Alt+Delete");
    QTest::newRow("insert") << "us" << qint64(114) << qint64(0x100) << QStringLiteral("\u2318?\u20DD")
                            << QStringLiteral("Super+Insert");
    QTest::newRow("page down") << "us" << qint64(121) << qint64(0x100) << QStringLiteral("\u2318\u21DF")
                               << QStringLiteral("Super+Page Down");
    QTest::newRow("left arrow") << "us" << qint64(123) << qint64(0x100) << QStringLiteral("\u2318\u2190")
                                << QStringLiteral("Super+Left");
    QTest::newRow("escape") << "us" << qint64(53) << qint64(0x100) << QStringLiteral("\u2318\u238B")
                            << QStringLiteral("Super+Esc");
    // PC keys the Mac lacks, and media keys: named as PC keyboards print them.
    QTest::newRow("print") << "us" << qint64(0x1000 + 99) << qint64(0x100) << QStringLiteral("\u2318Print")
                           << QStringLiteral("Super+Print");
    QTest::newRow("menu") << "us" << qint64(110) << qint64(0x800) << QStringLiteral("\u2325Menu")
                          << QStringLiteral("Alt+Menu");
    QTest::newRow("F24") << "us" << qint64(0x1000 + 194) << qint64(0) << QStringLiteral("F24")
                         << QStringLiteral("F24");
    QTest::newRow("mute") << "us" << qint64(74) << qint64(0x100) << QStringLiteral("\u2318Mute")
                          << QStringLiteral("Super+Mute");
    QTest::newRow("play") << "us" << qint64(0x1000 + 164) << qint64(0x100) << QStringLiteral("\u2318Play")
                          << QStringLiteral("Super+Play");
    QTest::newRow("no such key") << "us" << qint64(200) << qint64(0x100) << QStringLiteral("\u2318\uFFFD")
                                 << QStringLiteral("Super+\uFFFD");
    QTest::newRow("beyond 16 bits") << "us" << qint64(65536 + 9) << qint64(0) << QStringLiteral("\uFFFD")
                                    << QStringLiteral("\uFFFD");
    QTest::newRow("umlaut on de") << "de" << qint64(41) << qint64(0x1000) << QStringLiteral("\u2303\u00D6")
                                  << QStringLiteral("Ctrl+\u00D6");
    QTest::newRow("ru,us") << "ru,us" << qint64(9) << qint64(768) << QStringLiteral("\u21E7\u2318V")
                           << QStringLiteral("Shift+Super+V");
    QTest::newRow("us,ru") << "us,ru" << qint64(9) << qint64(768) << QStringLiteral("\u21E7\u2318V")
                           << QStringLiteral("Shift+Super+V");
    QTest::newRow("ru,de keeps de's Z")
        << "ru,de" << qint64(16) << qint64(0x100) << QStringLiteral("\u2318Z") << QStringLiteral("Super+Z");
    // Latin layouts that put letters elsewhere name keys themselves, not
    // through the US layout beside them ("layouts variants").
    QTest::newRow("fr,us") << "fr,us" << qint64(12) << qint64(0x100) << QStringLiteral("\u2318A")
                           << QStringLiteral("Super+A");
    QTest::newRow("be,us") << "be,us" << qint64(46) << qint64(0x100) << QStringLiteral("\u2318,")
                           << QStringLiteral("Super+,");
    QTest::newRow("dvorak,us") << "us,us dvorak," << qint64(1) << qint64(0x100) << QStringLiteral("\u2318O")
                               << QStringLiteral("Super+O");
    QTest::newRow("colemak,us") << "us,us colemak," << qint64(1) << qint64(0x100) << QStringLiteral("\u2318R")
                                << QStringLiteral("Super+R");
    QTest::newRow("tr,us") << "tr,us" << qint64(33) << qint64(0x100) << QStringLiteral("\u2318\u011E")
                           << QStringLiteral("Super+\u011E");
    QTest::newRow("ru alone") << "ru" << qint64(9) << qint64(768) << QStringLiteral("\u21E7\u2318\u041C")
                              << QStringLiteral("Shift+Super+\u041C");
    QTest::newRow("dead circumflex on de")
        << "de" << qint64(50) << qint64(0x1000) << QStringLiteral("\u2303^") << QStringLiteral("Ctrl+^");
    QTest::newRow("dead acute on de") << "de" << qint64(24) << qint64(0x1000)
                                      << QStringLiteral("\u2303\u00B4") << QStringLiteral("Ctrl+\u00B4");
    QTest::newRow("dead circumflex on fr")
        << "fr" << qint64(33) << qint64(0x1000) << QStringLiteral("\u2303^") << QStringLiteral("Ctrl+^");
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
