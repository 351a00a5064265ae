// The real program on a real (private) desktop, driven as a user would.
#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

using namespace ondrel;

namespace {

QString runText(const QString& program, const QStringList& arguments)
{
    return test::runProgram(program, arguments).value_or(QString());
}

bool xdotool(const QStringList& arguments)
{
    return test::runProgram(QStringLiteral("xdotool"), arguments).has_value();
}

} // namespace

class TestX11App : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void copyOpenChooseAndPaste();
    void trayMenuClearsAndQuits();
    void sigtermQuits();
    void secondInstanceTogglesTheFirst();
    void hostileOwnersAndImagesFreezeNothing();
    void holdingTheHotkeyTogglesOnce();
    void clickOnRowPastesAndStaysOpen();

private:
    void startApp();
    // Opens the tray icon's menu and answers the screen point of its entry
    // named `text` (none when the menu did not show it).
    std::optional<QPoint> openTrayMenuAt(const QString& icon, const QString& text);
    bool popoverVisible() const;
    QString popoverWindow() const;
    // How many trace lines of `event` the program printed from line `from` on.
    int traced(const QString& event, qsizetype from);
    QString trayIcon() const;
    int storedEntries() const;

    std::unique_ptr<QTemporaryDir> m_home;
    QProcess m_app;
    QStringList m_output; // the program's standard error, line by line
    std::unique_ptr<test::TestWindow> m_target;
};

void TestX11App::initTestCase()
{
    connect(&m_app, &QProcess::readyReadStandardError, this, [this] {
        while (m_app.canReadLine())
            m_output << QString::fromUtf8(m_app.readLine()).trimmed();
    });
}

void TestX11App::init()
{
    test::failOnUnexpectedWarnings();
    m_home = std::make_unique<QTemporaryDir>();
    QDir(m_home->path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(m_home->path() + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestX11App::cleanup()
{
    // The program said nothing but its trace lines: no warning went by.
    m_app.waitForReadyRead(0);
    const QStringList said = m_output.filter(QRegularExpression(QStringLiteral("^(?!trace )")));
    QVERIFY2(said.isEmpty(), qPrintable(said.join(u'\n')));
    m_output.clear();
    m_target.reset();
    if (m_app.state() != QProcess::NotRunning) {
        m_app.kill();
        m_app.waitForFinished();
    }
}

void TestX11App::startApp()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path() + QStringLiteral("/run"));
    env.insert(QStringLiteral("ONDREL_TRACE"), QStringLiteral("1"));
    m_app.setProcessEnvironment(env);
    m_app.setReadChannel(QProcess::StandardError);
    m_app.start(QStringLiteral(ONDREL_BINARY), {});
    QVERIFY(m_app.waitForStarted());
    // Up when its tray icon is.
    QTRY_VERIFY_WITH_TIMEOUT(!trayIcon().isEmpty(), 10000);
}

bool TestX11App::popoverVisible() const
{
    return !runText(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                QStringLiteral("--name"), QStringLiteral("^Ondrel$")})
                .isEmpty();
}

QString TestX11App::popoverWindow() const
{
    return runText(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--name"), QStringLiteral("^Ondrel$")})
        .section(u'\n', 0, 0);
}

int TestX11App::traced(const QString& event, qsizetype from)
{
    m_app.waitForReadyRead(0);
    const QString prefix = QStringLiteral("trace ") + event + u' ';
    int count = 0;
    for (qsizetype i = from; i < m_output.size(); ++i)
        count += m_output[i].startsWith(prefix);
    return count;
}

QString TestX11App::trayIcon() const
{
    // The program's small window docked in the tray.
    const QStringList windows =
        runText(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--pid"), QString::number(m_app.processId())})
            .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& w : windows)
        if (runText(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), w}).contains(u"22x22"))
            return w;
    return {};
}

std::optional<QPoint> TestX11App::openTrayMenuAt(const QString& icon, const QString& text)
{
    const qsizetype seen = m_output.size();
    if (!xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), icon, QStringLiteral("8"),
                  QStringLiteral("8"), QStringLiteral("click"), QStringLiteral("3")}))
        return std::nullopt;
    // "trace menu-item X Y TEXT", told once the menu is on screen.
    const QRegularExpression item(QStringLiteral("^trace menu-item (-?\\d+) (-?\\d+) (.*)$"));
    std::optional<QPoint> found;
    [[maybe_unused]] const bool shown = QTest::qWaitFor(
        [&] {
            for (qsizetype i = seen; i < m_output.size() && !found; ++i)
                if (const auto m = item.match(m_output[i]); m.hasMatch() && m.captured(3) == text)
                    found = QPoint(m.captured(1).toInt(), m.captured(2).toInt());
            return found.has_value();
        },
        5000);
    return found;
}

int TestX11App::storedEntries() const
{
    const QByteArray bytes =
        test::readFile(m_home->path() + QStringLiteral("/.local/share/ondrel/history.json"));
    return int(QJsonDocument::fromJson(bytes).array().size());
}

void TestX11App::copyOpenChooseAndPaste()
{
    m_target = std::make_unique<test::TestWindow>();
    QVERIFY(m_target->start(QStringLiteral("Target"), test::isActiveWindow));
    startApp();
    test::offer("first");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    test::offer("second");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 2, 5000);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("super+shift+v")}));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    // Newest first: Down selects "first".
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")}));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
    QCOMPARE(m_target->waitForPaste(), QStringLiteral("ctrl+v first"));
    // The hotkey also closes it while it has the keyboard.
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("super+shift+v")}));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("super+shift+v")}));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
    // A click on the tray icon opens it, a second one closes it.
    const QString icon = trayIcon();
    QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), icon, QStringLiteral("8"),
                     QStringLiteral("8"), QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    QVERIFY(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
}

void TestX11App::trayMenuClearsAndQuits()
{
    startApp();
    test::offer("to be cleared");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    const QString icon = trayIcon();
    const auto clear = openTrayMenuAt(icon, QStringLiteral("Clear History"));
    QVERIFY(clear);
    QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(clear->x()), QString::number(clear->y()),
                     QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 0, 5000);
    // Quit from the menu with its shortcut.
    QVERIFY(openTrayMenuAt(icon, QStringLiteral("Quit Ondrel")));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")}));
    QVERIFY(m_app.waitForFinished(5000));
    QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_app.exitCode(), 0);
}

void TestX11App::sigtermQuits()
{
    startApp();
    ::kill(pid_t(m_app.processId()), SIGTERM);
    QVERIFY(m_app.waitForFinished(5000));
    QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_app.exitCode(), 0);
}

void TestX11App::secondInstanceTogglesTheFirst()
{
    startApp();
    QVERIFY(!popoverVisible());
    QProcess second;
    second.setProcessEnvironment(m_app.processEnvironment());
    second.start(QStringLiteral(ONDREL_BINARY), {});
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    QProcess toggle;
    toggle.setProcessEnvironment(m_app.processEnvironment());
    toggle.start(QStringLiteral(ONDREL_BINARY), {QStringLiteral("toggle")});
    QVERIFY(toggle.waitForFinished(5000));
    QCOMPARE(toggle.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
    // With none running, toggle says so.
    ::kill(pid_t(m_app.processId()), SIGTERM);
    QVERIFY(m_app.waitForFinished(5000));
    toggle.start(QStringLiteral(ONDREL_BINARY), {QStringLiteral("toggle")});
    QVERIFY(toggle.waitForFinished(5000));
    QCOMPARE(toggle.exitCode(), 1);
    QVERIFY(QString::fromUtf8(toggle.readAllStandardError()).contains(QStringLiteral("not running")));
}

void TestX11App::hostileOwnersAndImagesFreezeNothing()
{
    startApp();
    auto toggle = [this] {
        QProcess process;
        process.setProcessEnvironment(m_app.processEnvironment());
        process.start(QStringLiteral(ONDREL_BINARY), {QStringLiteral("toggle")});
        return process.waitForFinished(5000) && process.exitCode() == 0;
    };
    auto said = [this](const QString& text) {
        return QTest::qWaitFor(
            [&] {
                m_app.waitForReadyRead(0);
                const qsizetype at = m_output.indexOf(text);
                if (at >= 0)
                    m_output.removeAt(at);
                return at >= 0;
            },
            10000);
    };

    // An owner that never answers: toggle still opens and closes the popover.
    {
        test::HungOwner owner;
        QVERIFY(owner.start());
        QVERIFY(said(QStringLiteral(
            "ondrel: the program that owns the clipboard does not answer; its copy is not recorded")));
        QVERIFY(toggle());
        QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
        QVERIFY(toggle());
        QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
        QCOMPARE(owner.requests(), QStringList{QStringLiteral("TARGETS")});
    }

    // A vector image that takes minutes at its own size (kept as a
    // thumbnail; images live in memory only), and the next copy is there at once.
    test::offer(test::heavySvg(5600, 2000, 2700), QStringLiteral("image/svg+xml"));
    test::offer("after the big image");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    // One that is slow even as a thumbnail is skipped, and says so.
    test::offer(test::heavySvg(1024, 1000, 450), QStringLiteral("image/svg+xml"));
    QVERIFY(said(QStringLiteral(
        "ondrel: an image on the clipboard (image/svg+xml) took too long to decode; not recorded")));
    test::offer("after the slow image");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 2, 5000);
    QVERIFY(toggle());
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);

    // The decode still running does not hold up quitting.
    ::kill(pid_t(m_app.processId()), SIGTERM);
    QVERIFY(m_app.waitForFinished(5000));
    QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_app.exitCode(), 0);
    QCOMPARE(storedEntries(), 2);
}

void TestX11App::holdingTheHotkeyTogglesOnce()
{
    m_target = std::make_unique<test::TestWindow>();
    QVERIFY(m_target->start(QStringLiteral("Target"), test::isActiveWindow));
    startApp();
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("super+shift+v")}));
    QTRY_COMPARE_WITH_TIMEOUT(traced(QStringLiteral("popover-painted"), 0), 1, 5000);
    QTest::qWait(500); // past the first moments, in which losing the focus is forgiven
    // The key grab moves the focus away while the keys are down; that must
    // not count as the user working elsewhere.
    const qsizetype seen = m_output.size();
    QVERIFY(xdotool({QStringLiteral("keydown"), QStringLiteral("super+shift+v")}));
    QTest::qWait(700); // held, as a slow hand does
    QVERIFY(xdotool({QStringLiteral("keyup"), QStringLiteral("super+shift+v")}));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
    QTest::qWait(400); // a reopening would follow the key-up at once
    QVERIFY(!popoverVisible());
    QCOMPARE(traced(QStringLiteral("popover-hidden"), seen), 1);
    QCOMPARE(traced(QStringLiteral("popover-painted"), seen), 0);
}

void TestX11App::clickOnRowPastesAndStaysOpen()
{
    m_target = std::make_unique<test::TestWindow>();
    QVERIFY(m_target->start(QStringLiteral("Target"), test::isActiveWindow));
    startApp();
    test::offer("clicked entry");
    QTRY_COMPARE_WITH_TIMEOUT(storedEntries(), 1, 5000);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("super+shift+v")}));
    QTRY_VERIFY_WITH_TIMEOUT(popoverVisible(), 5000);
    const QString popover = popoverWindow();
    QTRY_COMPARE_WITH_TIMEOUT(runText(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}),
                              popover, 5000);
    // The first row, under the search field.
    QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), popover, QStringLiteral("160"),
                     QStringLiteral("90"), QStringLiteral("click"), QStringLiteral("1")}));
    QCOMPARE(m_target->waitForPaste(), QStringLiteral("ctrl+v clicked entry"));
    // Open past the notice's second, with the keyboard back, so that
    // Escape, another click or a click elsewhere still work.
    QTest::qWait(1300);
    QVERIFY(popoverVisible());
    QTRY_COMPARE_WITH_TIMEOUT(runText(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}),
                              popover, 5000);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    QTRY_VERIFY_WITH_TIMEOUT(!popoverVisible(), 5000);
}

ONDREL_TEST_MAIN_WITH_TEST_WINDOW(TestX11App)
#include "tst_x11app.moc"
