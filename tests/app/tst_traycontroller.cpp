#include "AppFixture.h"
#include "PopoverParts.h"
#include "TrayIcon.h"

#include <QMenu>
#include <QPainter>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <cmath>

using namespace ondrel;
using namespace ondrel::test;

class TestTrayController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void launchRegistersTheHotkey();
    void hotkeyTogglesOnRelease();
    void keys_data();
    void keys();
    void returnTabArrows();
    void escapeWithAndWithoutDetail();
    void oneKeyMonitor();
    void workingElsewhereCloses();
    void rowClickPastesAndStaysOpen();
    void iconShowsOnEveryPanel_data();
    void iconShowsOnEveryPanel();
    void popoverHasAnEdge();
    void withoutKeystrokesReturnSaysCopied();
    void quitKeepsACopyInFlight();
};

void TestTrayController::launchRegistersTheHotkey()
{
    App app;
    QCOMPARE(app.settings.value(QStringLiteral("hotkeys/togglePopover")),
             QVariant(QStringLiteral("{\"keyCode\":9,\"modifiers\":768}")));
    QVERIFY(!app.popoverShown());
    // Built when first needed, and announced before it shows.
    QVERIFY(!app.popover->isPopoverBuilt());
    int built = 0;
    app.popover->whenPopoverBuilt([&built](PopoverWindow& popover) {
        ++built;
        QVERIFY(!popover.isVisible());
    });
    QCOMPARE(app.popover->popover()->size(), QSize(320, 480));
    app.popover->togglePopover();
    QVERIFY(app.popoverShown());
    QCOMPARE(built, 1);
}

void TestTrayController::hotkeyTogglesOnRelease()
{
    App app(3);
    app.hotKeys.press(9, 768, platform::HotKeyService::Phase::pressed);
    QVERIFY(app.popover->isPopoverBuilt()); // while the key is down
    QVERIFY(!app.popoverShown());
    app.hotKeys.press(9, 768, platform::HotKeyService::Phase::released);
    QVERIFY(app.popoverShown());
    QVERIFY(app.popover->hasKeyMonitor());
    QCOMPARE(app.focus.rememberCount(), 1); // where the paste will go back to
    app.hotKeys.press(9, 768, platform::HotKeyService::Phase::pressed);
    app.hotKeys.press(9, 768, platform::HotKeyService::Phase::released);
    QVERIFY(!app.popoverShown());
    QCOMPARE(app.focus.rememberCount(), 1);
    QVERIFY(!app.popover->hasKeyMonitor());
}

void TestTrayController::keys_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("evdev");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("taken"); // by the popover, which closes
    QTest::addColumn<QString>("pasted");
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("Ctrl+3 of two") << 2 << int(Qt::Key_3) << kEvdev3 << ctrl << true << QString();
    QTest::newRow("Ctrl+3 of five") << 5 << int(Qt::Key_3) << kEvdev3 << ctrl << true << "entry 3";
    QTest::newRow("Ctrl+Shift+1") << 5 << int(Qt::Key_Exclam) << kEvdev1 << int(ctrl | Qt::ShiftModifier)
                                  << true << "entry 1";
    // AZERTY: the key under 1 types "&"; its place tells the row.
    QTest::newRow("Ctrl+& on AZERTY") << 5 << int(Qt::Key_Ampersand) << kEvdev1 << ctrl << true << "entry 1";
    // A keyboard with its own keymap (wtype): codes say nothing of places.
    QTest::newRow("Ctrl+3 from a keymap of its own")
        << 5 << int(Qt::Key_3) << kEscape << ctrl << true << "entry 3";
    QTest::newRow("Ctrl+C where 1 is") << 5 << int(Qt::Key_C) << kEvdev1 << ctrl << false << QString();
    QTest::newRow("Return from a keymap of its own")
        << 5 << int(Qt::Key_Return) << kEvdev1 << int(Qt::NoModifier) << true << "entry 1";
    // Passed on, the popover stays.
    QTest::newRow("Alt+Return") << 3 << int(Qt::Key_Return) << kReturn << int(Qt::AltModifier) << false
                                << QString();
    QTest::newRow("Ctrl+Down") << 3 << int(Qt::Key_Down) << kDown << ctrl << false << QString();
    QTest::newRow("Super+Return") << 3 << int(Qt::Key_Return) << kReturn << int(Qt::MetaModifier) << false
                                  << QString();
    QTest::newRow("Ctrl+0") << 3 << int(Qt::Key_0) << 11 << ctrl << false << QString();
    QTest::newRow("letter") << 3 << int(Qt::Key_A) << 30 << int(Qt::NoModifier) << false << QString();
}

void TestTrayController::keys()
{
    QFETCH(int, entries);
    QFETCH(int, qtKey);
    QFETCH(int, evdev);
    QFETCH(int, modifiers);
    QFETCH(bool, taken);
    QFETCH(QString, pasted);
    App app(entries);
    app.popover->togglePopover();
    QCOMPARE(app.key(qtKey, evdev, Qt::KeyboardModifiers(modifiers)), taken);
    QCOMPARE(app.popoverShown(), !taken);
    QCOMPARE(app.clipboard.string().value_or(QString()), pasted);
    app.scheduler.advance(0.1);
    QCOMPARE(app.pasteTyper.pasteCount(), pasted.isEmpty() ? 0 : 1);
}

void TestTrayController::returnTabArrows()
{
    App app(3);
    app.popover->togglePopover();
    QVERIFY(app.key(Qt::Key_Down, kDown));
    QCOMPARE(app.state().selectedIndex(), 1);
    QVERIFY(app.key(Qt::Key_Up, 103));
    QVERIFY(app.key(Qt::Key_Up, 103));
    QCOMPARE(app.state().selectedIndex(), 2); // wraps
    QVERIFY(app.key(Qt::Key_Backtab, kTab, Qt::ShiftModifier));
    QVERIFY(app.popover->popover()->content()->detailItem());
    app.popover->popover()->content()->closeDetail();
    QVERIFY(app.key(Qt::Key_Return, kReturn));
    QCOMPARE(app.clipboard.string(), QStringLiteral("entry 3"));
    QVERIFY(!app.popoverShown());
    // Opened again, the first row is selected.
    app.popover->togglePopover();
    QCOMPARE(app.state().selectedIndex(), 0);

    // The menu key, or Shift+F10, opens the selected row's menu, where the
    // keyboard reaches Pin and Delete.
    const auto rowMenu = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
    QVERIFY(app.key(Qt::Key_Down, kDown));
    QVERIFY(app.key(Qt::Key_Menu, 127));
    QTRY_VERIFY(rowMenu());
    QCOMPARE(rowMenu()->accessibleName(), QStringLiteral("Entry actions"));
    QTest::keyClick(rowMenu(), Qt::Key_Down); // Edit, then Pin
    QTest::keyClick(rowMenu(), Qt::Key_Down);
    QTest::keyClick(rowMenu(), Qt::Key_Return);
    QTRY_VERIFY(app.state().filteredItems().first().isPinned());
    QVERIFY(!app.key(Qt::Key_F10, 68));
    QVERIFY(app.key(Qt::Key_F10, 68, Qt::ShiftModifier));
    QTRY_VERIFY(rowMenu());
    rowMenu()->close();
}

void TestTrayController::escapeWithAndWithoutDetail()
{
    App app(3);
    app.popover->togglePopover();
    QVERIFY(app.key(Qt::Key_Tab, kTab));
    QVERIFY(app.popover->popover()->content()->detailItem());
    // Open, it leaves Tab to the detail view, to walk its editor and buttons.
    QVERIFY(!app.key(Qt::Key_Tab, kTab));
    QVERIFY(app.key(Qt::Key_Escape, kEscape));
    QVERIFY(!app.popover->popover()->content()->detailItem());
    app.scheduler.advance(0.2);
    QVERIFY(app.popoverShown()); // only the detail view closed
    QVERIFY(app.key(Qt::Key_Escape, kEscape));
    app.scheduler.advance(0.09);
    QVERIFY(app.popoverShown());
    app.scheduler.advance(0.02);
    QVERIFY(!app.popoverShown());
    QVERIFY(!app.state().closeDetailRequested());
}

void TestTrayController::oneKeyMonitor()
{
    App app(3);
    app.popover->togglePopover();
    QVERIFY(app.key(Qt::Key_Return, kReturn)); // closes, the monitor stays
    QVERIFY(app.popover->hasKeyMonitor());
    app.popover->togglePopover();
    QVERIFY(app.popoverShown());
    // Keys typed in another window are not the popover's.
    QLineEdit elsewhere;
    QTest::keyClick(&elsewhere, Qt::Key_Down);
    QCOMPARE(app.state().selectedIndex(), 0);
    // Still one monitor: a key acts once.
    QTest::keyClick(app.popover->popover()->content()->searchField(), Qt::Key_Down);
    QCOMPARE(app.state().selectedIndex(), 1);
    // Shutting down stops the monitor and the watcher.
    app.shell->shutdown();
    QVERIFY(!app.watcher().isMonitoring());
    QVERIFY(!app.popover->hasKeyMonitor());
}

// The rules of closing on deactivation, on the virtual clock.
void TestTrayController::workingElsewhereCloses()
{
    App app(2);
    QWidget elsewhere;
    elsewhere.resize(100, 100);
    elsewhere.show();
    PopoverWindow* popover = app.popover->popover();
    const auto focusElsewhere = [&] {
        elsewhere.activateWindow();
        return QTest::qWaitForWindowActive(&elsewhere);
    };

    // The focus moving away in the first moments (the panel after a tray
    // click) does not close it.
    app.popover->togglePopover();
    QVERIFY(QTest::qWaitForWindowActive(popover));
    QVERIFY(focusElsewhere());
    app.scheduler.advance(1.0);
    QVERIFY(app.popoverShown());
    app.popover->togglePopover(); // closed by hand
    QVERIFY(!app.popoverShown());

    // Later it closes once the focus has stayed elsewhere a little while...
    app.popover->togglePopover();
    QVERIFY(QTest::qWaitForWindowActive(popover));
    app.scheduler.advance(PopoverWindow::kSettleSeconds + 0.05);
    QVERIFY(focusElsewhere());
    app.scheduler.advance(PopoverWindow::kDeactivationSeconds - 0.05);
    QVERIFY(app.popoverShown());
    app.scheduler.advance(0.1);
    QVERIFY(!app.popoverShown());
    // ... and a tray click right after that close counts as the closing click.
    app.scheduler.advance(0.2);
    app.tray->trayIconActivated(QSystemTrayIcon::Trigger);
    QVERIFY(!app.popoverShown());
    app.scheduler.advance(0.2);
    app.tray->trayIconActivated(QSystemTrayIcon::Trigger);
    QVERIFY(app.popoverShown());

    // Coming back before the delay is up keeps it open.
    QVERIFY(QTest::qWaitForWindowActive(popover));
    app.scheduler.advance(PopoverWindow::kSettleSeconds + 0.05);
    QVERIFY(focusElsewhere());
    popover->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(popover));
    app.scheduler.advance(1.0);
    QVERIFY(app.popoverShown());
}

void TestTrayController::rowClickPastesAndStaysOpen()
{
    // (tst_x11app checks a window manager that gives the focus back.)
    App app(3);
    QWidget target; // the window pasted into, which the paste activates
    target.resize(100, 100);
    target.show();
    PopoverWindow* popover = app.popover->popover();
    app.popover->togglePopover();
    // Opening is the user's request: the keyboard is asked for the way a
    // pager asks, which focus-stealing prevention does not refuse.
    QCOMPARE(app.focus.activated(), QList<quintptr>{popover->winId()});
    QVERIFY(QTest::qWaitForWindowActive(popover));
    app.scheduler.advance(PopoverWindow::kSettleSeconds + 0.05);
    popover->content()->pasteEntry(app.state().filteredItems().at(1));
    QVERIFY(popover->content()->showCopiedToast());
    app.scheduler.advance(0.1);
    QCOMPARE(app.pasteTyper.pasteCount(), 1);
    target.activateWindow(); // what the keystroke's delivery does
    QVERIFY(QTest::qWaitForWindowActive(&target));
    // The focus is asked back for the popover; a window manager that keeps
    // it in the other window has the popover give up once the notice is over.
    QCOMPARE(app.focus.activated(), (QList<quintptr>{popover->winId(), popover->winId()}));
    app.scheduler.advance(PopoverWindow::kRefocusSeconds - 0.2);
    QVERIFY(app.popoverShown());
    app.scheduler.advance(0.3);
    QVERIFY(!app.popoverShown());

    // Return pastes and closes: nothing to take back.
    app.popover->togglePopover();
    QVERIFY(QTest::qWaitForWindowActive(popover));
    const qsizetype asked = app.focus.activated().size();
    QVERIFY(app.key(Qt::Key_Return, kReturn));
    QVERIFY(!app.popoverShown());
    app.scheduler.advance(0.2);
    QCOMPARE(app.focus.activated().size(), asked);
}

void TestTrayController::iconShowsOnEveryPanel_data()
{
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QColor>("panel");
    for (const bool paused : {false, true})
        for (const QRgb panel : {0xFFFFFF, 0xEFF0F1, 0x000000, 0x31363B})
            QTest::addRow("%s on #%06X", paused ? "paused" : "recording", panel) << paused << QColor(panel);
}

void TestTrayController::iconShowsOnEveryPanel()
{
    // Over the panel, the icon's silhouette stands out at 3:1 or more: all
    // around its outside, the icon's pixel there or one of the two just
    // inside it does (a rim of one colour reads on the panels it contrasts with, the
    // body on the rest). The gaps inside the symbol need not: its outline
    // tells the shape.
    QFETCH(bool, paused);
    QFETCH(QColor, panel);
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double panelLuminance = luminance(panel.rgb());
    // (At 16 pixels the layers' gaps are a pixel wide and the rim's mouths
    // over them too narrow to read whole: 84% of the outline there.)
    for (const int side : {22, 24, 32, 44}) {
        const QImage icon =
            trayIcon(paused).pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
        QImage shown(icon.size(), QImage::Format_RGB32);
        shown.fill(panel);
        QPainter(&shown).drawImage(0, 0, icon);
        const auto solid = [&](QPoint p) { return icon.rect().contains(p) && qAlpha(icon.pixel(p)) >= 128; };
        // The outside: the panel the border reaches around the icon.
        QSet<QPoint> outside;
        QList<QPoint> pending;
        for (int i = 0; i < side; ++i)
            pending << QPoint(i, 0) << QPoint(i, side - 1) << QPoint(0, i) << QPoint(side - 1, i);
        while (!pending.isEmpty()) {
            const QPoint p = pending.takeLast();
            if (!icon.rect().contains(p) || solid(p) || outside.contains(p))
                continue;
            outside.insert(p);
            pending << p + QPoint(1, 0) << p - QPoint(1, 0) << p + QPoint(0, 1) << p - QPoint(0, 1);
        }
        const auto stands = [&](QPoint p) {
            const double l = luminance(shown.pixel(p));
            return (std::max(l, panelLuminance) + 0.05) / (std::min(l, panelLuminance) + 0.05) >= 3;
        };
        int edge = 0, seen = 0;
        for (const QPoint& o : std::as_const(outside))
            for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
                if (solid(o + step)) {
                    ++edge;
                    // The rim, or the body within the next two pixels.
                    bool stood = false;
                    for (int in = 1; in <= 3 && !stood && solid(o + in * step); ++in)
                        stood = stands(o + in * step);
                    seen += stood;
                }
        QVERIFY(edge > 0);
        QVERIFY2(seen >= edge * 0.9,
                 qPrintable(
                     QStringLiteral("%1 px: %2 of %3 edge pixels stand out").arg(side).arg(seen).arg(edge)));
    }
}

void TestTrayController::popoverHasAnEdge()
{
    // Without a compositor there is no shadow: on a white window behind,
    // only an outline shows where the popover ends.
    App app(3);
    app.popover->togglePopover();
    PopoverWindow* popover = app.popover->popover();
    QVERIFY(QTest::qWaitForWindowExposed(popover));
    const QImage image = popover->grab().toImage();
    const int w = image.width(), h = image.height();
    for (int i = 0; i < 8; ++i) {
        const int x = 5 + i * (w - 10) / 7, y = 5 + i * (h - 10) / 7;
        for (const QPoint p : {QPoint(x, 0), QPoint(x, h - 1), QPoint(0, y), QPoint(w - 1, y)})
            QVERIFY2(qGray(image.pixel(p)) < 60,
                     qPrintable(QStringLiteral("no edge at %1,%2").arg(p.x()).arg(p.y())));
    }
    // Only at the edge: the search row's card starts further in.
    QVERIFY(qGray(image.pixel(4, h / 2)) > 200);
}

void TestTrayController::withoutKeystrokesReturnSaysCopied()
{
    // A desktop where no keystroke reaches another program: the user pastes
    // by hand, so the popover says the entry is on the clipboard, then goes.
    App app(3);
    app.pasteTyper.setCanPaste(false);
    for (const auto& [key, code, modifiers] : {std::tuple{Qt::Key_Return, kReturn, Qt::NoModifier},
                                               std::tuple{Qt::Key_2, kEvdev1 + 1, Qt::ControlModifier}}) {
        app.popover->togglePopover();
        QVERIFY(app.key(key, code, modifiers));
        QVERIFY(app.popoverShown());
        QVERIFY(app.popover->popover()->content()->showCopiedToast());
        app.scheduler.advance(PopoverContent::kCopiedSeconds - 0.05);
        QVERIFY(app.popoverShown());
        app.scheduler.advance(0.1);
        QVERIFY(!app.popoverShown());
        // Closed and opened again within that second: the new opening stays.
        app.popover->togglePopover();
        QVERIFY(app.key(key, code, modifiers));
        app.popover->togglePopover();
        app.popover->togglePopover();
        app.scheduler.advance(PopoverContent::kCopiedSeconds + 0.1);
        QVERIFY(app.popoverShown());
        app.popover->togglePopover();
    }
    QCOMPARE(app.clipboard.string(), std::optional<QString>(QStringLiteral("entry 2")));
    QCOMPARE(app.popover->popover()->content()->copiedNotice()->text(), QStringLiteral("Copied!"));
    // Where keystrokes work, Return closes at once.
    app.pasteTyper.setCanPaste(true);
    app.popover->togglePopover();
    QVERIFY(app.key(Qt::Key_Return, kReturn));
    QVERIFY(!app.popoverShown());

    // Nothing reached the clipboard (a clipboard that refuses, a search that
    // found nothing): the popover says so, and no keystroke pastes what the
    // clipboard held before.
    app.scheduler.advance(1);
    const int pasted = app.pasteTyper.pasteCount();
    for (const auto& [refuses, search] :
         {std::pair{true, QString()}, std::pair{false, QStringLiteral("zzz")}}) {
        app.clipboard.setRefusesWrites(refuses);
        app.popover->togglePopover();
        app.state().setSearchText(search);
        QVERIFY(app.key(Qt::Key_Return, kReturn));
        QVERIFY(app.popoverShown());
        QVERIFY(app.popover->popover()->content()->showCopiedToast());
        QCOMPARE(app.popover->popover()->content()->copiedNotice()->text(), QStringLiteral("Could not copy"));
        app.scheduler.advance(PopoverContent::kCopiedSeconds + 0.05);
        QVERIFY(!app.popoverShown());
        app.state().setSearchText(QString());
    }
    QCOMPARE(app.pasteTyper.pasteCount(), pasted);
    QCOMPARE(app.clipboard.string(), std::optional<QString>(QStringLiteral("entry 1")));
}

void TestTrayController::quitKeepsACopyInFlight()
{
    App app;
    // One copy is being made into an entry on a worker, the next one's
    // owner answers only once quitting has begun.
    app.watcher().setBackgroundDetectionThreshold(5);
    app.clipboard.setString(QStringLiteral("fn main() {}"));
    app.scheduler.advance(ClipboardWatcher::kPollIntervalSeconds);
    app.clipboard.setDeferredReads(true);
    app.clipboard.setString(QStringLiteral("answered late"));
    app.scheduler.advance(ClipboardWatcher::kPollIntervalSeconds);
    QCOMPARE(app.clipboard.pendingReads(), 1);
    QTimer::singleShot(0, [&app] { app.clipboard.answerRead(); });
    app.shell->shutdown();
    QStringList kept;
    for (const ClipboardItem& item : app.store().items())
        kept << item.contentLabel();
    QCOMPARE(kept, (QStringList{QStringLiteral("answered late"), QStringLiteral("fn main() {}")}));
    // An owner that never answers holds quitting up only so long.
    App stuck;
    stuck.clipboard.setDeferredReads(true);
    stuck.clipboard.setString(QStringLiteral("never"));
    stuck.scheduler.advance(ClipboardWatcher::kPollIntervalSeconds);
    stuck.shell->shutdown();
    QVERIFY(stuck.store().items().isEmpty());
}

QTEST_MAIN(TestTrayController)
#include "tst_traycontroller.moc"
