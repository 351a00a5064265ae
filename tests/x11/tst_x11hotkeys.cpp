#include "Keys.h"
#include "MemorySettings.h"
#include "QtAlerts.h"
#include "QtScheduler.h"
#include "Registry.h"
#include "ShortcutField.h"
#include "TestSupport.h"
#include "X11HotKeyService.h"
#include "X11KeyboardLayout.h"
#include "X11TestSupport.h"
#include "Xcb.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace ondrel;
using namespace ondrel::hotkeys;
using test::connection;
using test::rootWindow;

namespace {

const Shortcut kCommandShiftV{9, 768};
constexpr xcb_keycode_t kVKeycode = 47 + 8;

// Stands for another program that took Super+Shift+V first (with `locks`
// on top: only that lock variant), or another combination.
class OtherClient
{
public:
    explicit OtherClient(uint16_t locks = 0, xcb_keycode_t keycode = kVKeycode,
                         uint16_t modifiers = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT)
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        m_ok = !platform::xcb::check(m_connection,
                                     xcb_grab_key_checked(m_connection, 1, root, uint16_t(modifiers | locks),
                                                          keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    ~OtherClient() { xcb_disconnect(m_connection); }
    bool ok() const { return m_ok; }
    // Whether no client holds the whole keyboard (it could take it).
    bool keyboardFree()
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const auto reply = platform::xcb::own(
            xcb_grab_keyboard_reply(m_connection,
                                    xcb_grab_keyboard(m_connection, 0, root, XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                    nullptr));
        xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    }
    // The key presses its grab brought it so far.
    int presses()
    {
        while (const auto event = platform::xcb::own(xcb_poll_for_event(m_connection)))
            m_presses += (event->response_type & 0x7f) == XCB_KEY_PRESS;
        return m_presses;
    }

private:
    xcb_connection_t* m_connection;
    bool m_ok = false;
    int m_presses = 0;
};

struct Hotkeys
{
    platform::MemorySettings settings;
    platform::X11HotKeyService service{connection(), rootWindow()};
    std::unique_ptr<platform::X11KeyboardLayout> layout = platform::X11KeyboardLayout::create(connection());
    QStringList console;
    Registry registry{settings, service, *layout, [this](const QString& line) { console << line; }};
    int sentinelUps = 0;

    // Returns once every key event sent before has reached us: the server
    // delivers events in order, so the release of a second hotkey pressed
    // now comes after them all.
    bool settle()
    {
        if (!registry.hasStoredValue(kSentinel))
            registry.onKeyUp(registry.makeName(kSentinel.rawValue(), Shortcut(11, 768)),
                             [this] { ++sentinelUps; });
        const int before = sentinelUps;
        return test::xdotool(QStringLiteral("key super+shift+b")) &&
               QTest::qWaitFor([&] { return sentinelUps > before; }, 5000);
    }
    static inline const Name kSentinel{QStringLiteral("settled")};
};

} // namespace

class TestX11Hotkeys : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { test::failOnUnexpectedWarnings(); }
    void cleanup();
    void runsOnce_data();
    void runsOnce();
    void layoutChangeFollows();
    void grabHeldElsewhere_data();
    void grabHeldElsewhere();
    void grabLostToAnotherProgramIsReported();
    void openMenuTakesTheCombination();
    void recorderTakesGrabbedCombinations();
};

void TestX11Hotkeys::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY(test::runProgram(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));
}

void TestX11Hotkeys::cleanup()
{
    test::runProgram(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
}

void TestX11Hotkeys::runsOnce_data()
{
    QTest::addColumn<QString>("typed"); // xdotool commands, as a shell runs them
    QTest::newRow("pressed, and another combination") << "xdotool key super+shift+v key super+v";
    QTest::newRow("held, as a slow hand does")
        << "xdotool keydown super+shift+v; sleep 1; xdotool keyup v; xdotool keyup super+shift";
    QTest::newRow("with Num Lock on") << "xdotool key Num_Lock key super+shift+v key Num_Lock";
}

void TestX11Hotkeys::runsOnce()
{
    QFETCH(QString, typed);
    Hotkeys h;
    QVERIFY(h.layout);
    const Name name = h.registry.makeName(QStringLiteral("togglePopover"), kCommandShiftV);
    int downs = 0, ups = 0;
    h.registry.onKeyDown(name, [&] { ++downs; });
    h.registry.onKeyUp(name, [&] { ++ups; });
    QVERIFY(test::runProgram(QStringLiteral("sh"), {QStringLiteral("-c"), typed}));
    QVERIFY(h.settle());
    QCOMPARE(downs, 1);
    QCOMPARE(ups, 1);
    QVERIFY(h.console.isEmpty());
}

void TestX11Hotkeys::layoutChangeFollows()
{
    Hotkeys h;
    QCOMPARE(h.registry.description(Shortcut(16, 256)), QStringLiteral("\u2318Y"));
    const Name name = h.registry.makeName(QStringLiteral("togglePopover"), kCommandShiftV);
    int ups = 0;
    h.registry.onKeyUp(name, [&] { ++ups; });
    QVERIFY(test::runProgram(QStringLiteral("setxkbmap"), {QStringLiteral("de")}));
    QTRY_COMPARE(h.registry.description(Shortcut(16, 256)), QStringLiteral("\u2318Z"));
    // The key at V's place still is the hotkey.
    QVERIFY(test::xdotool(QStringLiteral("key super+shift+v")));
    QTRY_COMPARE(ups, 1);

    // With several layouts, keys are named in the one selected now when it
    // is Latin, else in the first Latin one.
    const auto lockGroup = [](uint8_t group) {
        std::free(xcb_request_check(connection(),
                                    xcb_xkb_latch_lock_state_checked(connection(), XCB_XKB_ID_USE_CORE_KBD, 0,
                                                                     0, 1, group, 0, 0, 0)));
    };
    const auto setLayouts = [&h](const QString& layouts) {
        const int loads = h.layout->loadCount();
        return test::runProgram(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layouts}) &&
               QTest::qWaitFor([&] { return h.layout->loadCount() > loads; }, 5000);
    };
    QVERIFY(setLayouts(QStringLiteral("us,de")));
    QCOMPARE(h.registry.description(Shortcut(16, 256)), QStringLiteral("\u2318Y"));
    lockGroup(1);
    QCOMPARE(h.registry.description(Shortcut(16, 256)), QStringLiteral("\u2318Z"));
    QVERIFY(setLayouts(QStringLiteral("ru,de")));
    lockGroup(0);
    QCOMPARE(h.registry.description(Shortcut(9, 768)), QStringLiteral("\u21E7\u2318V"));
    QCOMPARE(h.registry.description(Shortcut(16, 256)), QStringLiteral("\u2318Z"));
}

void TestX11Hotkeys::grabHeldElsewhere_data()
{
    QTest::addColumn<int>("locks");
    QTest::newRow("as it is") << 0;
    // Held with Caps Lock only: ours cannot be registered either, so the
    // probe must not call it free.
    QTest::newRow("with a lock") << int(XCB_MOD_MASK_LOCK);
}

void TestX11Hotkeys::grabHeldElsewhere()
{
    QFETCH(int, locks);
    OtherClient other{uint16_t(locks)};
    QVERIFY(other.ok());
    Hotkeys h;
    QVERIFY(h.registry.registrations().isSystemShortcut(kCommandShiftV));
    h.registry.makeName(QStringLiteral("togglePopover"), kCommandShiftV);
    QCOMPARE(h.console, QStringList{QStringLiteral("Error registering hotkey \u21E7\u2318V: -9878")});
    // The probe let go of every variant it took: a free combination stays
    // free, and can be ours.
    QVERIFY(!h.registry.registrations().isSystemShortcut(Shortcut(40, 6144)));
    h.registry.makeName(QStringLiteral("free"), Shortcut(40, 6144));
    QCOMPARE(h.console.size(), 1);
}

// The server's modifier map, as keycodes per modifier.
struct ModifierMap
{
    uint8_t perModifier = 0;
    std::vector<xcb_keycode_t> codes; // 8 rows of perModifier

    static ModifierMap read()
    {
        ModifierMap map;
        const auto reply = platform::xcb::own(
            xcb_get_modifier_mapping_reply(connection(), xcb_get_modifier_mapping(connection()), nullptr));
        if (!reply)
            return map;
        map.perModifier = reply->keycodes_per_modifier;
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
        map.codes.assign(codes, codes + 8 * map.perModifier);
        return map;
    }
    bool write() const
    {
        const auto reply = platform::xcb::own(xcb_set_modifier_mapping_reply(
            connection(), xcb_set_modifier_mapping(connection(), perModifier, codes.data()), nullptr));
        return reply && reply->status == XCB_MAPPING_STATUS_SUCCESS;
    }
};

void TestX11Hotkeys::grabLostToAnotherProgramIsReported()
{
    // Num Lock moves from Mod2 to Mod3, where another program already holds
    // Super+Shift+V: grabbing again with the new lock variants fails, and
    // the hotkey is reported lost like a failed registration.
    const ModifierMap original = ModifierMap::read();
    QVERIFY(original.perModifier > 0);
    const auto row = [&](int modifier) {
        return std::vector<xcb_keycode_t>(original.codes.begin() + modifier * original.perModifier,
                                          original.codes.begin() + (modifier + 1) * original.perModifier);
    };
    std::vector<xcb_keycode_t> mod2 = row(4);
    QVERIFY(std::any_of(mod2.begin(), mod2.end(), [](xcb_keycode_t c) { return c != 0; }));
    const std::vector<xcb_keycode_t> mod3 = row(5);
    QVERIFY(std::all_of(mod3.begin(), mod3.end(), [](xcb_keycode_t c) { return c == 0; }));
    Hotkeys h;
    h.registry.makeName(QStringLiteral("togglePopover"), kCommandShiftV);
    QVERIFY(h.registry.registrations().isHeld(kCommandShiftV));
    OtherClient other(XCB_MOD_MASK_3);
    QVERIFY(other.ok());

    ModifierMap moved = original;
    std::copy(mod2.begin(), mod2.end(), moved.codes.begin() + 5 * moved.perModifier);
    std::fill(moved.codes.begin() + 4 * moved.perModifier, moved.codes.begin() + 5 * moved.perModifier, 0);
    QVERIFY(moved.write());
    const bool reported = QTest::qWaitFor([&] { return !h.console.isEmpty(); }, 5000);
    const bool restored = original.write();
    QVERIFY(restored);
    QVERIFY(reported);
    QCOMPARE(h.console, QStringList{QStringLiteral("Error registering hotkey \u21E7\u2318V: -9878")});
    QVERIFY(!h.registry.registrations().isHeld(kCommandShiftV));
}

void TestX11Hotkeys::openMenuTakesTheCombination()
{
    Hotkeys h;
    const Name name = h.registry.makeName(QStringLiteral("togglePopover"), kCommandShiftV);
    int downs = 0, ups = 0;
    h.registry.onKeyDown(name, [&] { ++downs; });
    h.registry.onKeyUp(name, [&] { ++ups; });
    QMenu menu;
    menu.addAction(QStringLiteral("Settings..."));
    QMenu* more = menu.addMenu(QStringLiteral("More"));
    more->addAction(QStringLiteral("Quit"));
    menu.popup(QPoint(100, 100));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTRY_VERIFY(h.registry.isMenuOpen());
    // A submenu that closes leaves the menu open.
    more->popup(QPoint(300, 100));
    QVERIFY(QTest::qWaitForWindowExposed(more));
    more->hide();
    QVERIFY(h.registry.isMenuOpen());
    QTRY_VERIFY(QWidget::keyboardGrabber() == &menu || QApplication::activePopupWidget() == &menu);
    // The menu holds the keyboard: the combination comes as its key events.
    QVERIFY(test::xdotool(QStringLiteral("key super+shift+v")));
    QTRY_COMPARE(ups, 1);
    QCOMPARE(downs, 1);
    QVERIFY(menu.isVisible());
    // Other keys still reach the menu.
    QVERIFY(test::xdotool(QStringLiteral("key Escape")));
    QTRY_VERIFY(!menu.isVisible());
    QTRY_VERIFY(!h.registry.isMenuOpen());
    // Closed again: the hotkey is back with the system.
    QVERIFY(test::xdotool(QStringLiteral("key super+shift+v")));
    QTRY_COMPARE(ups, 2);
}

namespace {

// Answers every alert as the user would: the Return key, sent through the
// server once the alert has the focus.
struct AlertAnswerer final : QObject
{
    QStringList texts;
    AlertAnswerer() { qApp->installEventFilter(this); }
    ~AlertAnswerer() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::WindowActivate) {
            texts << box->text();
            QTimer::singleShot(0, this, [] { test::xdotool(QStringLiteral("key Return")); });
        }
        return false;
    }
};

} // namespace

void TestX11Hotkeys::recorderTakesGrabbedCombinations()
{
    // Another program holds Super+E. While the field records, the
    // combination comes to it and is refused as taken; recording goes on
    // once the alert is answered and the window manager gives the window back.
    OtherClient other(0, 18 + 8, XCB_MOD_MASK_4);
    QVERIFY(other.ok());
    Hotkeys h;
    platform::QtAlerts alerts;
    platform::QtScheduler scheduler;
    const Name name = h.registry.makeName(QStringLiteral("togglePopover"), kCommandShiftV);
    QWidget window;
    auto* field = new ShortcutField(h.registry, alerts, scheduler, name, {}, &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    AlertAnswerer answerer;
    QTest::mouseClick(field, Qt::LeftButton);
    QVERIFY(field->isRecording());
    QVERIFY(test::xdotool(QStringLiteral("key super+e")));
    QTRY_COMPARE(answerer.texts, QStringList{texts::usedBySystem()});
    QTRY_VERIFY(field->isRecording());
    QCOMPARE(other.presses(), 0);
    QVERIFY(h.registry.getShortcut(name) == kCommandShiftV);
    // A key the Mac keyboard lacks, known by the server's key code.
    QVERIFY(test::xdotool(QStringLiteral("key super+Print")));
    QTRY_VERIFY(h.registry.getShortcut(name) == Shortcut(Keys::printScreen, ModifierFlags::command));
    QCOMPARE(field->text(), QStringLiteral("Super+Print"));
    // Recording over, the other program has its combination back.
    QVERIFY(!field->isRecording());
    QTRY_VERIFY(other.keyboardFree());
    QVERIFY(test::xdotool(QStringLiteral("key super+e")));
    QTRY_COMPARE(other.presses(), 1);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestX11Hotkeys test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_x11hotkeys.moc"
