// The real program on a real (private) desktop, driven as a user would.
#include "AppProcess.h"
#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPoint>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>

#include <csignal>
#include <optional>

using namespace ondrel;

namespace {

bool popoverVisible()
{
    return !test::popoverWindow().isEmpty();
}

QString activeWindow()
{
    return test::xdotool(QStringLiteral("getactivewindow")).value_or(QString());
}

} // namespace

class TestX11App : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void copyOpenChooseAndPaste();
    void trayMenuClearsAndQuits_data();
    void trayMenuClearsAndQuits();
    void hostileOwnersAndImagesFreezeNothing();
    void holdingTheHotkeyTogglesOnce();
    void excludedApplicationsAndLargeCopies();

private:
    // Opens the tray icon's menu and answers the screen point of its entry
    // named `text` (none when the menu did not show it).
    std::optional<QPoint> openTrayMenuAt(const QString& text);
    QString trayIcon() const { return test::trayIconWindow(m_app->process().processId()); }
    qsizetype storedEntries() const { return m_app->history().size(); }
    bool quitsCleanly();

    std::unique_ptr<test::AppProcess> m_app;
    std::unique_ptr<test::TestWindow> m_target;
};

void TestX11App::init()
{
    test::failOnUnexpectedWarnings();
    m_app = std::make_unique<test::AppProcess>(QStringLiteral(ONDREL_BINARY));
}

void TestX11App::cleanup()
{
    // The program said nothing but its trace lines: no warning went by.
    // Only a desktop without a session bus (openbox here) is named.
    const QStringList said = m_app->unexpectedLines({test::kNoSessionBusLine});
    m_app.reset();
    m_target.reset();
    QVERIFY2(said.isEmpty(), qPrintable(said.join(u'\n')));
}

std::optional<QPoint> TestX11App::openTrayMenuAt(const QString& text)
{
    m_app->forgetTrace(); // what an earlier menu said
    if (!test::xdotool(QStringLiteral("mousemove --window %1 8 8 click 3").arg(trayIcon())))
        return std::nullopt;
    return m_app->menuItem(text);
}

bool TestX11App::quitsCleanly()
{
    QProcess& app = m_app->process();
    return app.waitForFinished(5000) && app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0;
}

void TestX11App::copyOpenChooseAndPaste()
{
    m_target = std::make_unique<test::TestWindow>();
    QVERIFY(m_target->start(QStringLiteral("Target"), test::isActiveWindow));
    QVERIFY(m_app->start());
    // Up when its tray icon is.
    QTRY_VERIFY_WITH_TIMEOUT(!trayIcon().isEmpty(), 10000);
    test::offer("first");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    test::offer("second");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 2, 5000);
    QVERIFY(test::xdotool(QStringLiteral("key super+shift+v")));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    // Newest first: Down selects "first".
    QVERIFY(test::xdotool(QStringLiteral("key Down Return")));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
    QCOMPARE(m_target->waitForPaste(), QStringLiteral("ctrl+v first"));
    // A click on the tray icon opens it, a second one closes it.
    QVERIFY(test::xdotool(QStringLiteral("mousemove --window %1 8 8 click 1").arg(trayIcon())));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    QVERIFY(test::xdotool(QStringLiteral("click 1")));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);

    // A click on a row pastes it and leaves the popover open.
    m_app->forgetTrace();
    QVERIFY(test::xdotool(QStringLiteral("key super+shift+v")));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    const QString popover = test::popoverWindow();
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), popover, 5000);
    // The first row, under the search field.
    QVERIFY(test::xdotool(QStringLiteral("mousemove --window %1 160 90 click 1").arg(popover)));
    QCOMPARE(m_target->waitForPaste(), QStringLiteral("ctrl+v second"));
    // Still open once the focus had its time to come back, with the
    // keyboard, so that Escape, another click or a click elsewhere still work.
    QVERIFY(m_app->said(QStringLiteral("trace paste-hold-ended ")));
    QVERIFY(popoverVisible());
    QVERIFY(!m_app->said(QStringLiteral("trace popover-hidden "), 0));
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), popover, 5000);

    // A row's menu is painted opaque: no compositor runs here to blend a
    // translucent one, which would show as a black box.
    m_app->forgetTrace();
    QVERIFY(test::xdotool(QStringLiteral("mousemove --window %1 160 90 click 3").arg(popover)));
    const auto edit = m_app->menuItem(QStringLiteral("Edit"));
    QVERIFY(edit);
    const QImage shot =
        QGuiApplication::primaryScreen()->grabWindow(0, edit->x() - 30, edit->y() - 6, 60, 12).toImage();
    qsizetype dark = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            dark += qGray(shot.pixel(x, y)) < 64 ? 1 : 0;
    // The entry's text is dark; the rest is the menu's light background.
    QVERIFY2(dark * 3 < shot.width() * shot.height(), qPrintable(QString::number(dark)));
    QVERIFY(test::xdotool(QStringLiteral("key Escape")));
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), popover, 5000);
    QVERIFY(test::xdotool(QStringLiteral("key Escape")));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
}

void TestX11App::trayMenuClearsAndQuits_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("clearHistory");
    QTest::addColumn<QString>("quit");
    QTest::addColumn<QString>("edit"); // in a row's menu in the popover
    QTest::newRow("English") << QStringLiteral("en") << QStringLiteral("Clear History")
                             << QStringLiteral("Quit Ondrel") << QStringLiteral("Edit");
    QTest::newRow("German") << QStringLiteral("de") << QStringLiteral("Verlauf leeren")
                            << QStringLiteral("Ondrel beenden") << QStringLiteral("Bearbeiten");
}

void TestX11App::trayMenuClearsAndQuits()
{
    QFETCH(QString, language);
    QFETCH(QString, clearHistory);
    QFETCH(QString, quit);
    QFETCH(QString, edit);
    QProcessEnvironment env;
    env.insert(QStringLiteral("LANGUAGE"), language);
    QVERIFY(m_app->start(env));
    QTRY_VERIFY_WITH_TIMEOUT(!trayIcon().isEmpty(), 10000);
    test::offer("to be cleared");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    // The popover speaks the same language.
    QVERIFY(test::xdotool(QStringLiteral("key super+shift+v")));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    const QString popover = test::popoverWindow();
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), popover, 5000);
    m_app->forgetTrace();
    QVERIFY(test::xdotool(QStringLiteral("mousemove --window %1 160 90 click 3").arg(popover)));
    QVERIFY(m_app->menuItem(edit));
    QVERIFY(test::xdotool(QStringLiteral("key Escape")));
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), popover, 5000);
    QVERIFY(test::xdotool(QStringLiteral("key Escape")));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
    const auto clear = openTrayMenuAt(clearHistory);
    QVERIFY(clear);
    QVERIFY(test::xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(clear->x()).arg(clear->y())));
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 0, 5000);
    // Quit from the menu with its shortcut.
    QVERIFY(openTrayMenuAt(quit));
    QVERIFY(test::xdotool(QStringLiteral("key ctrl+q")));
    QVERIFY(quitsCleanly());
}

void TestX11App::hostileOwnersAndImagesFreezeNothing()
{
    QVERIFY(m_app->start());
    // A second start toggles the first one's popover, as `ondrel toggle` does.
    QCOMPARE(m_app->command({}).code, 0);
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    QVERIFY(m_app->toggle());
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
    // One that does not find it (another runtime folder, as after a second
    // login) still leaves the history to it, and says who has it.
    QTemporaryDir runtime;
    QProcessEnvironment elsewhere = m_app->process().processEnvironment();
    elsewhere.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess second;
    second.setProcessEnvironment(elsewhere);
    second.start(QStringLiteral(ONDREL_BINARY), {});
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(QString::fromUtf8(second.readAllStandardError())
                .contains(QStringLiteral("ondrel: another Ondrel (process %1) is using the history in ")
                              .arg(m_app->process().processId())));

    // An owner that never answers: toggle still opens and closes the popover.
    {
        test::HungOwner owner;
        QVERIFY(owner.start());
        // Asked first: a copy an earlier test left may have been slow at
        // start and said the same.
        QVERIFY(owner.waitFor("request TARGETS"));
        QVERIFY(m_app->said(QStringLiteral(
            "ondrel: the program that owns the clipboard does not answer; its copy is not recorded")));
        QVERIFY(m_app->toggle());
        QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
        QVERIFY(m_app->toggle());
        QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
        QCOMPARE(owner.requests(), QStringList{QStringLiteral("TARGETS")});
    }

    // A vector image that takes minutes at its own size (kept as a
    // thumbnail; images live in memory only), and the next copy is there at once.
    test::offer(test::heavySvg(5600, 2000, 2700), QStringLiteral("image/svg+xml"));
    test::offer("after the big image");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    // Copied right after it, the text may have cut the image's read short, which is said.
    m_app->line(QStringLiteral("ondrel: a newer copy came while the clipboard was being read"), 0);
    // One that is slow even as a thumbnail is skipped, and says so.
    test::offer(test::heavySvg(1024, 1000, 450), QStringLiteral("image/svg+xml"));
    QVERIFY(m_app->said(QStringLiteral(
        "ondrel: an image on the clipboard (image/svg+xml) took too long to decode; not recorded")));
    test::offer("after the slow image");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 2, 5000);
    QVERIFY(m_app->toggle());
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);

    // The decode still running does not hold up quitting on SIGTERM.
    ::kill(pid_t(m_app->process().processId()), SIGTERM);
    QVERIFY(quitsCleanly());
    QCOMPARE(storedEntries(), 2);
    // With none running, toggle says so.
    const auto toggle = m_app->command({QStringLiteral("toggle")});
    QCOMPARE(toggle.code, 1);
    QVERIFY(toggle.err.contains("not running"));
}

void TestX11App::holdingTheHotkeyTogglesOnce()
{
    m_target = std::make_unique<test::TestWindow>();
    QVERIFY(m_target->start(QStringLiteral("Target"), test::isActiveWindow));
    QVERIFY(m_app->start());
    QVERIFY(test::xdotool(QStringLiteral("key super+shift+v")));
    QVERIFY(m_app->said(QStringLiteral("trace popover-painted ")));
    // Past the first moments, in which losing the focus is forgiven anyway.
    QVERIFY(m_app->said(QStringLiteral("trace popover-settled ")));
    // The key grab moves the focus away while the keys are down, as long as
    // a slow hand holds them; that must not count as working elsewhere.
    QVERIFY(test::xdotool(QStringLiteral("keydown super+shift+v")));
    QVERIFY(m_app->said(QStringLiteral("trace hotkey-down ")));
    QVERIFY(m_app->said(QStringLiteral("trace popover-kept ")));
    QVERIFY(test::xdotool(QStringLiteral("keyup super+shift+v")));
    QVERIFY(m_app->said(QStringLiteral("trace popover-hidden ")));
    // No reopening after the key-up: the next press, which comes after it,
    // opens the popover again, and nothing closes it.
    QVERIFY(test::xdotool(QStringLiteral("key super+shift+v")));
    QVERIFY(m_app->said(QStringLiteral("trace popover-painted ")));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    QVERIFY(!m_app->said(QStringLiteral("trace popover-hidden "), 0));
}

void TestX11App::excludedApplicationsAndLargeCopies()
{
    // Set as a user editing the file would: the class in another case.
    QVERIFY(QDir().mkpath(m_app->home() + QStringLiteral("/.config/ondrel")));
    QVERIFY(test::writeFile(
        m_app->home() + QStringLiteral("/.config/ondrel/settings.json"),
        R"({"history":{"excludedApplications":["Ondrel-Test-Window"],"maxEntryBytes":1024}})"));
    m_target = std::make_unique<test::TestWindow>();
    QVERIFY(m_target->start(QStringLiteral("Excluded"), test::isActiveWindow));
    QVERIFY(m_app->start());
    test::offer("copied in the excluded window");
    QVERIFY(m_app->said(QStringLiteral("trace copy-left-out ")));
    // Another program's copies are recorded, up to the size limit.
    QProcess other;
    other.start(QStringLiteral("xmessage"), {QStringLiteral("another program")});
    const auto stopOther = qScopeGuard([&other] {
        other.kill();
        other.waitForFinished();
    });
    QVERIFY(test::xdotool(QStringLiteral("search --sync --class Xmessage windowactivate --sync")));
    test::offer(QByteArray(1025, 'x'));
    QVERIFY(m_app->said(QStringLiteral("ondrel: not recording a copy from Xmessage: larger than the 1 KiB "
                                       "limit (setting history/maxEntryBytes)")));
    test::offer("copied in another program");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    const QJsonObject entry = m_app->history().first().toObject();
    QCOMPARE(entry[QStringLiteral("text")].toString(), QStringLiteral("copied in another program"));
    QCOMPARE(entry[QStringLiteral("appName")].toString(), QStringLiteral("Xmessage"));
}

ONDREL_TEST_MAIN_WITH_TEST_WINDOW(TestX11App)
#include "tst_x11app.moc"
