#include "TestSupport.h"
#include "X11FocusTracker.h"
#include "X11TestSupport.h"

#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>

using namespace ondrel;
using test::connection;
using test::rootWindow;

class TestX11FocusTracker : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void initTestCase();
    void cleanup();
    void nothingFocusedIsNone();
    void named_data();
    void named();
    void ownWindowsNameTheWindowTheyOpenedOver();

private:
    void startWindow(const QString& title);
    QTemporaryDir m_data;
    std::unique_ptr<test::TestWindow> m_window;
};

void TestX11FocusTracker::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY(QDir().mkpath(m_data.path() + QStringLiteral("/applications")));
    QVERIFY(test::filledImage(QSize(16, 16), Qt::blue).save(m_data.path() + QStringLiteral("/icon.png")));
    QVERIFY(test::writeFile(m_data.path() + QStringLiteral("/applications/org.example.TestWindow.desktop"),
                            "[Desktop Entry]\nType=Application\nName=Test Window\nName[xx]=Ignored\n"
                            "Exec=/usr/bin/true %U\nStartupWMClass=Ondrel-Test-Window\nIcon=" +
                                m_data.path().toUtf8() + "/icon.png\n"));
    QVERIFY(test::writeFile(m_data.path() + QStringLiteral("/applications/hidden.desktop"),
                            "[Desktop Entry]\nType=Application\nName=Hidden\nNoDisplay=true\nExec=true\n"));
}

void TestX11FocusTracker::cleanup()
{
    m_window.reset();
}

void TestX11FocusTracker::startWindow(const QString& title)
{
    m_window = std::make_unique<test::TestWindow>();
    QVERIFY(m_window->start(title, test::isActiveWindow));
}

void TestX11FocusTracker::nothingFocusedIsNone()
{
    platform::X11FocusTracker focus(connection(), rootWindow(), platform::DesktopEntries({m_data.path()}));
    QCOMPARE(focus.activeApplication().has_value(), false);
}

void TestX11FocusTracker::named_data()
{
    QTest::addColumn<QString>("entries"); // where desktop entries are looked for
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    // What exclusions match it by: its desktop entry, WM_CLASS (class and
    // instance are the same here), its executable.
    QTest::addColumn<QStringList>("ids");
    const QStringList window{QStringLiteral("ondrel-test-window"), QStringLiteral("tst_x11focustracker")};
    QTest::newRow("from its desktop entry")
        << "given"
        << "Some document"
        << "Test Window" << QStringList{QStringLiteral("org.example.TestWindow")} + window;
    QTest::newRow("from the data folders of the session")
        << "XDG_DATA_DIRS"
        << "Some document"
        << "Test Window" << QStringList{QStringLiteral("org.example.TestWindow")} + window;
    // Never by its title (a document's name, a mail's subject).
    QTest::newRow("by its window class") << "none"
                                         << "Re: salary review.pdf"
                                         << "ondrel-test-window" << window;
}

void TestX11FocusTracker::named()
{
    QFETCH(QString, entries);
    QFETCH(QString, title);
    QFETCH(QString, name);
    QFETCH(QStringList, ids);
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", m_data.path().toUtf8());
    platform::X11FocusTracker focus(
        connection(), rootWindow(),
        entries == u"XDG_DATA_DIRS"
            ? platform::DesktopEntries()
            : platform::DesktopEntries(entries == u"given" ? QStringList{m_data.path()} : QStringList()));
    qputenv("XDG_DATA_DIRS", dataDirs);
    startWindow(title);
    QTRY_VERIFY_WITH_TIMEOUT(focus.activeApplication() && focus.activeApplication()->icon, 5000);
    const auto app = focus.activeApplication();
    QCOMPARE(app->name, std::optional<QString>(name));
    QCOMPARE(app->ids, ids);
    QCOMPARE(app->icon->pixelColor(app->icon->width() / 2, app->icon->height() / 2), QColor(Qt::blue));
}

void TestX11FocusTracker::ownWindowsNameTheWindowTheyOpenedOver()
{
    // Our own windows are never the source: a copy made while one has the
    // focus (copying an entry out, Edit & Copy) comes from the window the
    // popover was opened over, not from the program of the last capture.
    platform::X11FocusTracker focus(connection(), rootWindow(), platform::DesktopEntries({m_data.path()}));
    startWindow(QStringLiteral("First"));
    QTRY_VERIFY_WITH_TIMEOUT(
        focus.activeApplication() && focus.activeApplication()->name == QStringLiteral("Test Window"), 5000);
    const xcb_window_t first = focus.activeForeignWindow();
    QRasterWindow mine;
    mine.resize(100, 100);
    mine.show();
    // As a pager asks: window managers that prevent focus stealing refuse
    // a window of another program than the active one otherwise. Qt hears
    // of the focus before the window manager names the active window.
    const auto activateMine = [&] {
        return focus.activate(mine.winId()) &&
               QTest::qWaitFor(
                   [] { return test::activeWindowPid() == quint32(QCoreApplication::applicationPid()); },
                   5000);
    };
    QVERIFY(activateMine());
    QCOMPARE(focus.activeForeignWindow(), xcb_window_t(0));
    const auto before = focus.activeApplication();
    QVERIFY(before);
    QCOMPARE(before->name, std::optional<QString>(QStringLiteral("Test Window")));

    QProcess other;
    other.start(QStringLiteral("xmessage"), {QStringLiteral("another program")});
    QVERIFY(other.waitForStarted());
    QVERIFY(test::xdotool(QStringLiteral("search --sync --class Xmessage windowactivate")));
    QTRY_VERIFY_WITH_TIMEOUT(focus.activeForeignWindow() != 0 && focus.activeForeignWindow() != first, 5000);
    focus.rememberFocus(); // the popover opens over it
    QVERIFY(activateMine());
    const auto app = focus.activeApplication();
    other.kill();
    other.waitForFinished();
    QVERIFY(app);
    QCOMPARE(app->name, std::optional<QString>(QStringLiteral("Xmessage")));
}

ONDREL_TEST_MAIN_WITH_TEST_WINDOW(TestX11FocusTracker)

#include "tst_x11focustracker.moc"
