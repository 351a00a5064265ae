#include "AppDelegate.h"
#include "AppcastUpdater.h"
#include "ClipboardListView.h"
#include "ClipboardManager.h"
#include "KeyboardShortcuts.h"
#include "ManualMainQueue.h"
#include "MemoryLoginItemService.h"
#include "MemoryPasteboard.h"
#include "MemoryUserDefaults.h"
#include "MemoryWorkspace.h"
#include "PopoverWindow.h"
#include "RecordingKeystrokePoster.h"
#include "ScriptedAlerts.h"
#include "ScriptedHotKeyService.h"
#include "TestSupport.h"
#include "Theme.h"
#include "UpdateManager.h"
#include "XkbKeyboardLayout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace ondrel;

namespace {

class ScriptedUpdater final : public platform::Updater
{
public:
    bool automaticallyChecksForUpdates() const override { return m_checks; }
    void setAutomaticallyChecksForUpdates(bool on) override { m_checks = on; }
    bool automaticallyDownloadsUpdates() const override { return m_downloads; }
    void setAutomaticallyDownloadsUpdates(bool on) override { m_downloads = on; }
    bool canCheckForUpdates() const override { return true; }
    void checkForUpdates() override { ++checks; }
    int checks = 0;
    bool m_checks = false;
    bool m_downloads = false;
};

// The delegate over in-memory services.
struct App
{
    platform::MemoryUserDefaults defaults;
    platform::ManualMainQueue queue;
    platform::MemoryPasteboard pasteboard;
    platform::RecordingKeystrokePoster keystrokes;
    platform::MemoryWorkspace workspace;
    platform::ScriptedHotKeyService hotKeys;
    std::unique_ptr<platform::XkbKeyboardLayout> layout =
        platform::XkbKeyboardLayout::fromNames(QStringLiteral("us"));
    platform::ScriptedAlerts alerts;
    platform::MemoryLoginItemService loginItem;
    ScriptedUpdater updater;
    std::unique_ptr<AppDelegate> delegate;

    explicit App(int entries = 0)
    {
        delegate = std::make_unique<AppDelegate>(
            AppDelegate::Services{defaults, queue, pasteboard, keystrokes, workspace, hotKeys, *layout,
                                  alerts, loginItem, updater, nullptr, QStringLiteral("0.1.0"), false});
        QList<ClipboardItem> items;
        for (int i = 0; i < entries; ++i)
            items << ClipboardItem::makeText(QStringLiteral("entry %1").arg(i + 1), std::nullopt,
                                             std::nullopt,
                                             Timestamp::fromSecondsSinceReferenceDate(1000 - i));
        store().setItems(items);
        delegate->applicationDidFinishLaunching();
    }
    ClipboardManager& store() { return delegate->clipboardManager(); }
    bool popoverShown() const { return delegate->popover()->isShown(); }
    // A key as X delivers it: with the key's hardware code.
    bool key(int qtKey, int evdev, Qt::KeyboardModifiers modifiers = {})
    {
        const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, quint32(evdev + 8), 0, 0);
        return delegate->handleKeyDown(event);
    }
};

constexpr int kEvdev1 = 2, kEvdev3 = 4, kReturn = 28, kTab = 15, kEscape = 1, kDown = 108;

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void launchRegistersTheHotkey();
    void hotkeyTogglesOnRelease();
    void controlDigitPastesThatRow_data();
    void controlDigitPastesThatRow();
    void keysPassedOn_data();
    void keysPassedOn();
    void returnTabArrows();
    void escapeWithAndWithoutDetail();
    void reopeningSelectsTheFirstRow();
    void oneKeyMonitor();
    void keysElsewhereAreNotThePopovers();
    void workingElsewhereCloses();
    void statusMenu();
    void settingsWindow();
    void launchAtLoginFailureDoesNotLoop();
    void updateManagerDefaults();
    void shutdownStopsTheWatcher();
    void screens();
};

void TestAppDelegate::launchRegistersTheHotkey()
{
    App app;
    QCOMPARE(app.defaults.object(QStringLiteral("KeyboardShortcuts_toggleBrisol")),
             QVariant(QStringLiteral("{\"carbonKeyCode\":9,\"carbonModifiers\":768}")));
    QCOMPARE(app.hotKeys.grabs().size(), size_t(1));
    QVERIFY(app.store().isMonitoring());
    QVERIFY(app.delegate->updateManager());
    QVERIFY(!app.popoverShown());
    QCOMPARE(app.delegate->popover()->size(), QSize(320, 480));
}

void TestAppDelegate::hotkeyTogglesOnRelease()
{
    App app(3);
    app.hotKeys.press(9, 768, platform::HotKeyService::Phase::pressed);
    QVERIFY(!app.popoverShown());
    app.hotKeys.press(9, 768, platform::HotKeyService::Phase::released);
    QVERIFY(app.popoverShown());
    QVERIFY(app.delegate->hasKeyMonitor());
    QCOMPARE(app.workspace.rememberCount(), 1); // where the paste will go back to
    app.hotKeys.press(9, 768, platform::HotKeyService::Phase::pressed);
    app.hotKeys.press(9, 768, platform::HotKeyService::Phase::released);
    QVERIFY(!app.popoverShown());
    QCOMPARE(app.workspace.rememberCount(), 1);
    QVERIFY(!app.delegate->hasKeyMonitor());
}

void TestAppDelegate::controlDigitPastesThatRow_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("evdev");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("pasted");
    QTest::newRow("Ctrl+3 of two") << 2 << kEvdev3 << int(Qt::ControlModifier) << QString();
    QTest::newRow("Ctrl+3 of five") << 5 << kEvdev3 << int(Qt::ControlModifier) << QStringLiteral("entry 3");
    QTest::newRow("Ctrl+Shift+1") << 5 << kEvdev1 << int(Qt::ControlModifier | Qt::ShiftModifier)
                                  << QStringLiteral("entry 1");
}

void TestAppDelegate::controlDigitPastesThatRow()
{
    QFETCH(int, entries);
    QFETCH(int, evdev);
    QFETCH(int, modifiers);
    QFETCH(QString, pasted);
    App app(entries);
    app.delegate->togglePopover();
    QVERIFY(app.key(Qt::Key_3, evdev, Qt::KeyboardModifiers(modifiers)));
    QVERIFY(!app.popoverShown());
    QCOMPARE(app.pasteboard.string().value_or(QString()), pasted);
    app.queue.advance(0.1);
    QCOMPARE(app.keystrokes.pasteCount(), pasted.isEmpty() ? 0 : 1);
}

void TestAppDelegate::keysPassedOn_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("evdev");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Alt+Return") << int(Qt::Key_Return) << kReturn << int(Qt::AltModifier);
    QTest::newRow("Ctrl+Down") << int(Qt::Key_Down) << kDown << int(Qt::ControlModifier);
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << 46 << int(Qt::ControlModifier);
    QTest::newRow("Super+Return") << int(Qt::Key_Return) << kReturn << int(Qt::MetaModifier);
    QTest::newRow("Ctrl+0") << int(Qt::Key_0) << 11 << int(Qt::ControlModifier);
    QTest::newRow("letter") << int(Qt::Key_A) << 30 << int(Qt::NoModifier);
}

void TestAppDelegate::keysPassedOn()
{
    QFETCH(int, qtKey);
    QFETCH(int, evdev);
    QFETCH(int, modifiers);
    App app(3);
    app.delegate->togglePopover();
    QVERIFY(!app.key(qtKey, evdev, Qt::KeyboardModifiers(modifiers)));
    QVERIFY(app.popoverShown());
    QVERIFY(!app.pasteboard.string());
}

void TestAppDelegate::returnTabArrows()
{
    App app(3);
    app.delegate->togglePopover();
    QVERIFY(app.key(Qt::Key_Down, kDown));
    QCOMPARE(app.store().selectedIndex(), 1);
    QVERIFY(app.key(Qt::Key_Up, 103));
    QVERIFY(app.key(Qt::Key_Up, 103));
    QCOMPARE(app.store().selectedIndex(), 2); // wraps
    QVERIFY(app.key(Qt::Key_Backtab, kTab, Qt::ShiftModifier));
    QVERIFY(app.delegate->popover()->content()->detailItem());
    app.delegate->popover()->content()->closeDetail();
    QVERIFY(app.key(Qt::Key_Return, kReturn));
    QCOMPARE(app.pasteboard.string(), QStringLiteral("entry 3"));
    QVERIFY(!app.popoverShown());
}

void TestAppDelegate::escapeWithAndWithoutDetail()
{
    App app(3);
    app.delegate->togglePopover();
    QVERIFY(app.key(Qt::Key_Tab, kTab));
    QVERIFY(app.delegate->popover()->content()->detailItem());
    QVERIFY(app.key(Qt::Key_Escape, kEscape));
    QVERIFY(!app.delegate->popover()->content()->detailItem());
    app.queue.advance(0.2);
    QVERIFY(app.popoverShown()); // only the detail view closed
    QVERIFY(app.key(Qt::Key_Escape, kEscape));
    app.queue.advance(0.09);
    QVERIFY(app.popoverShown());
    app.queue.advance(0.02);
    QVERIFY(!app.popoverShown());
    QVERIFY(!app.store().closeDetailRequested());
}

void TestAppDelegate::reopeningSelectsTheFirstRow()
{
    App app(5);
    app.delegate->togglePopover();
    app.store().moveSelection(3);
    app.delegate->togglePopover();
    app.delegate->togglePopover();
    QCOMPARE(app.store().selectedIndex(), 0);
}

void TestAppDelegate::oneKeyMonitor()
{
    App app(3);
    app.delegate->togglePopover();
    QVERIFY(app.key(Qt::Key_Return, kReturn)); // closes, the monitor stays
    QVERIFY(app.delegate->hasKeyMonitor());
    app.delegate->togglePopover();
    QVERIFY(app.popoverShown());
    // Still one: a key acts once.
    QSignalSpy moved(&app.store(), &ClipboardManager::selectedIndexChanged);
    QTest::keyClick(app.delegate->popover()->content()->searchField(), Qt::Key_Down);
    QCOMPARE(app.store().selectedIndex(), 1);
}

void TestAppDelegate::keysElsewhereAreNotThePopovers()
{
    App app(3);
    app.delegate->togglePopover();
    QLineEdit elsewhere;
    QTest::keyClick(&elsewhere, Qt::Key_Down);
    QCOMPARE(app.store().selectedIndex(), 0);
    QTest::keyClick(app.delegate->popover()->content()->searchField(), Qt::Key_Down);
    QCOMPARE(app.store().selectedIndex(), 1);
}

// The rules of closing on deactivation, on the virtual clock.
void TestAppDelegate::workingElsewhereCloses()
{
    App app(2);
    QWidget elsewhere;
    elsewhere.resize(100, 100);
    elsewhere.show();
    PopoverWindow* popover = app.delegate->popover();
    const auto focusElsewhere = [&] {
        elsewhere.activateWindow();
        return QTest::qWaitForWindowActive(&elsewhere);
    };

    // The focus moving away in the first moments (the panel after a tray
    // click) does not close it.
    app.delegate->togglePopover();
    QVERIFY(QTest::qWaitForWindowActive(popover));
    QVERIFY(focusElsewhere());
    app.queue.advance(1.0);
    QVERIFY(app.popoverShown());
    app.delegate->togglePopover(); // closed by hand
    QVERIFY(!app.popoverShown());

    // Later it closes once the focus has stayed elsewhere a little while...
    app.delegate->togglePopover();
    QVERIFY(QTest::qWaitForWindowActive(popover));
    app.queue.advance(PopoverWindow::kSettleSeconds + 0.05);
    QVERIFY(focusElsewhere());
    app.queue.advance(PopoverWindow::kDeactivationSeconds - 0.05);
    QVERIFY(app.popoverShown());
    app.queue.advance(0.1);
    QVERIFY(!app.popoverShown());
    // ... and a tray click right after that close counts as the closing click.
    app.queue.advance(0.2);
    app.delegate->statusItemClicked(QSystemTrayIcon::Trigger);
    QVERIFY(!app.popoverShown());
    app.queue.advance(0.2);
    app.delegate->statusItemClicked(QSystemTrayIcon::Trigger);
    QVERIFY(app.popoverShown());

    // Coming back before the delay is up keeps it open.
    QVERIFY(QTest::qWaitForWindowActive(popover));
    app.queue.advance(PopoverWindow::kSettleSeconds + 0.05);
    QVERIFY(focusElsewhere());
    popover->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(popover));
    app.queue.advance(1.0);
    QVERIFY(app.popoverShown());
}

void TestAppDelegate::statusMenu()
{
    App app(3);
    QList<ClipboardItem> items = app.store().items();
    items[1].setPinned(true);
    app.store().setItems(items);
    std::unique_ptr<QMenu> menu(app.delegate->buildStatusMenu());
    QStringList titles;
    for (QAction* a : menu->actions())
        titles << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(titles, (QStringList{QStringLiteral("Settings..."), QStringLiteral("-"),
                                  QStringLiteral("Check for Updates..."), QStringLiteral("Automatic Updates"),
                                  QStringLiteral("-"), QStringLiteral("Clear History"), QStringLiteral("-"),
                                  QStringLiteral("Quit Ondrel")}));
    QCOMPARE(menu->actions().at(0)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QCOMPARE(menu->actions().at(7)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    app.queue.runPending();
    QVERIFY(menu->actions().at(3)->isChecked()); // first launch: automatic updates on

    menu->actions().at(3)->trigger();
    app.queue.runPending();
    QVERIFY(!app.delegate->updateManager()->automaticallyChecksForUpdates());
    QVERIFY(!app.updater.m_downloads);
    QCOMPARE(app.defaults.object(QStringLiteral("SUAutomaticallyUpdate")), QVariant(false));
    std::unique_ptr<QMenu> again(app.delegate->buildStatusMenu());
    app.queue.runPending();
    QVERIFY(!again->actions().at(3)->isChecked());

    menu->actions().at(2)->trigger();
    app.queue.runPending();
    QCOMPARE(app.updater.checks, 1);

    menu->actions().at(5)->trigger(); // no question asked
    QCOMPARE(app.store().items().size(), 1);
    QVERIFY(app.store().items().first().isPinned());

    QSignalSpy quit(app.delegate.get(), &AppDelegate::quitRequested);
    menu->actions().at(7)->trigger();
    QCOMPARE(quit.count(), 1);
    // Its shortcuts work while it is open.
    QTest::keyClick(menu.get(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(quit.count(), 2);

    // Opening the menu closes the popover and its key monitor.
    app.delegate->togglePopover();
    app.delegate->showStatusMenu();
    QVERIFY(!app.popoverShown());
    QVERIFY(!app.delegate->hasKeyMonitor());
    if (auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
        shown->close();
    app.delegate->statusItemClicked(QSystemTrayIcon::Trigger);
    QVERIFY(app.popoverShown());
}

void TestAppDelegate::settingsWindow()
{
    App app;
    app.delegate->openSettings();
    QVERIFY(!app.delegate->settingsWindow());
    app.queue.runPending();
    SettingsView* settings = app.delegate->settingsWindow();
    QVERIFY(settings);
    QVERIFY(settings->isVisible());
    QCOMPARE(settings->size(), QSize(350, 340));
    QVERIFY(settings->findChild<QLabel*>() != nullptr);
    QStringList labels;
    for (const QLabel* l : settings->findChildren<QLabel*>())
        labels << l->text();
    for (const char* text :
         {"Accent Color", "Global Hotkey:", "Max History Items:", "Version", "0.1.0", "Made by", "Kestrune"})
        QVERIFY2(labels.contains(QString::fromUtf8(text)), text);

    // Swatches: coral checked at first; butter when clicked.
    QAbstractButton* butter = nullptr;
    for (QAbstractButton* b : settings->findChildren<QAbstractButton*>())
        if (b->toolTip() == u"Butter")
            butter = b;
    QVERIFY(butter);
    QCOMPARE(app.delegate->themeManager().accentColor(), AccentColor::coral);
    QTest::mouseClick(butter, Qt::LeftButton);
    QCOMPARE(app.defaults.object(QStringLiteral("accentColor")), QVariant(QStringLiteral("Butter")));

    // The history size.
    QComboBox* picker = settings->historyPicker();
    QCOMPARE(picker->currentText(), QStringLiteral("50"));
    picker->setCurrentIndex(0);
    Q_EMIT picker->activated(0);
    QCOMPARE(app.defaults.object(QStringLiteral("maxHistoryItems")).toInt(), 25);
    app.defaults.setInteger(QStringLiteral("maxHistoryItems"), 30);
    QCOMPARE(picker->currentIndex(), -1); // shown as none of them, kept as it is
    QCOMPARE(app.defaults.integer(QStringLiteral("maxHistoryItems")), 30);

    // Opening it again raises the same window.
    app.delegate->openSettings();
    app.queue.runPending();
    QCOMPARE(app.delegate->settingsWindow(), settings);
}

void TestAppDelegate::launchAtLoginFailureDoesNotLoop()
{
    App app;
    app.loginItem.setEnabled(true);
    app.delegate->openSettings();
    app.queue.runPending();
    SettingsView* settings = app.delegate->settingsWindow();
    QStringList console;
    settings->setConsole([&](const QString& line) { console << line; });
    QCheckBox* toggle = settings->launchAtLoginToggle();
    QVERIFY(toggle->isChecked());
    toggle->setChecked(false); // works
    QVERIFY(!app.loginItem.isEnabled());
    app.loginItem.refuseWith(QStringLiteral("the session refused"));
    toggle->setChecked(true);
    QCOMPARE(console, QStringList{QStringLiteral("Failed to enable launch at login: the session refused")});
    QVERIFY(!toggle->isChecked());
    QCOMPARE(app.loginItem.calls(), 2); // the reversal did not try again
    app.loginItem.refuseWith(std::nullopt);
    toggle->setChecked(true);
    app.loginItem.refuseWith(QStringLiteral("no"));
    toggle->setChecked(false);
    QCOMPARE(console.last(), QStringLiteral("Failed to disable launch at login: no"));
    QVERIFY(toggle->isChecked());
}

void TestAppDelegate::updateManagerDefaults()
{
    {
        App app; // first launch
        QCOMPARE(app.defaults.object(QStringLiteral("SUAutomaticallyUpdate")), QVariant(true));
        QVERIFY(app.updater.m_checks);
        QVERIFY(app.updater.m_downloads);
        app.delegate->updateManager()->toggleAutomaticUpdates();
        app.delegate->updateManager()->toggleAutomaticUpdates();
        QVERIFY(app.updater.m_checks && app.updater.m_downloads);
        QCOMPARE(app.defaults.object(QStringLiteral("SUAutomaticallyUpdate")), QVariant(true));
    }
    App later;
    later.defaults.setBool(QStringLiteral("SUAutomaticallyUpdate"), false);
    later.updater.m_checks = true;
    UpdateManager manager(later.defaults, later.updater);
    QVERIFY(manager.automaticallyChecksForUpdates()); // the updater's own setting stands
    QCOMPARE(later.defaults.object(QStringLiteral("SUAutomaticallyUpdate")), QVariant(false));
}

void TestAppDelegate::shutdownStopsTheWatcher()
{
    App app(2);
    app.delegate->togglePopover();
    app.delegate->applicationWillTerminate();
    QVERIFY(!app.store().isMonitoring());
    QVERIFY(!app.delegate->hasKeyMonitor());
}

void TestAppDelegate::screens()
{
    App app;
    app.delegate->openSettings();
    app.queue.runPending();
    SettingsView* settings = app.delegate->settingsWindow();
    QVERIFY(QTest::qWaitForWindowExposed(settings));
    const QString dir = QStringLiteral(QT_TESTCASE_BUILDDIR "/../../screens");
    QDir().mkpath(dir);
    QVERIFY(settings->grab().save(dir + QStringLiteral("/settings.png")));
    std::unique_ptr<QMenu> menu(app.delegate->buildStatusMenu());
    app.queue.runPending();
    menu->adjustSize();
    QVERIFY(menu->grab().save(dir + QStringLiteral("/status-menu.png")));
}

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
