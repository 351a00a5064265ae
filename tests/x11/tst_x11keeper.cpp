#include "ExcludedApplications.h"
#include "LiveStore.h"
#include "TestSupport.h"
#include "X11Clipboard.h"
#include "X11ClipboardKeeper.h"
#include "X11TestSupport.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>

#include <cstdio>
#include <cstring>

using namespace ondrel;
using test::connection;
using test::offer;
using test::readBack;
using test::rootWindow;

namespace {

QByteArray png()
{
    return test::encodedImage(test::filledImage(QSize(5, 4), Qt::darkGreen, QImage::Format_RGB32));
}

// Another program that owns the clipboard until a line arrives on its
// standard input, then quits normally (and hands its contents over).
// argv: --own KIND [keeper]; KIND is text, secret or image; with "keeper"
// it is also the clipboard manager itself.
int runOwnerIfAsked(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "--own") != 0)
        return -1;
    QGuiApplication app(argc, argv);
    const QByteArray kind = argv[2];
    platform::X11Clipboard board(QGuiApplication::clipboard());
    // Left alive past the application on purpose: only the aboutToQuit hook
    // can then give the manager role up before Qt's exit-time hand-over.
    // (Held by a static so that the leak checker sees it still reachable.)
    static platform::X11ClipboardKeeper* keeper = nullptr;
    keeper = new platform::X11ClipboardKeeper(connection(), rootWindow(), board, [] { return true; });
    if (argc > 3 && std::strcmp(argv[3], "keeper") == 0 && !keeper->start())
        return 3;
    auto* data = new QMimeData;
    if (kind == "image") {
        data->setData(QStringLiteral("image/png"), png());
    } else {
        data->setText(kind == "secret" ? QStringLiteral("hunter2") : QStringLiteral("kept text ✓"));
        if (kind == "secret")
            data->setData(QStringLiteral("x-kde-passwordManagerHint"), "secret");
    }
    QGuiApplication::clipboard()->setMimeData(data);
    std::puts("ready");
    std::fflush(stdout);
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    return app.exec();
}

} // namespace

class TestX11Keeper : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void keepsWhatAnExitedOwnerHad_data();
    void keepsWhatAnExitedOwnerHad();
    void quittingAsManagerWhileOwningDoesNotHang();
    void anotherManagersHandOverIsNoCopy();

private:
    void startOwner(const QString& kind, bool keeper = false);
    void stopOwner();

    platform::X11Clipboard* m_board = nullptr;
    platform::X11ClipboardKeeper* m_keeper = nullptr;
    bool m_enabled = true;
    QProcess m_owner;
};

void TestX11Keeper::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
}

void TestX11Keeper::init()
{
    test::failOnUnexpectedWarnings();
    m_enabled = true;
    m_board = new platform::X11Clipboard(QGuiApplication::clipboard(), this);
    m_keeper = new platform::X11ClipboardKeeper(
        connection(), rootWindow(), *m_board, [this] { return m_enabled; }, this);
    QVERIFY(m_keeper->start());
}

void TestX11Keeper::cleanup()
{
    if (m_owner.state() != QProcess::NotRunning) {
        m_owner.kill();
        m_owner.waitForFinished();
    }
    delete m_keeper;
    delete m_board;
    QGuiApplication::clipboard()->clear();
}

void TestX11Keeper::startOwner(const QString& kind, bool keeper)
{
    QStringList args{QStringLiteral("--own"), kind};
    if (keeper)
        args << QStringLiteral("keeper");
    m_owner.start(QCoreApplication::applicationFilePath(), args);
    QVERIFY(m_owner.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return m_owner.canReadLine(); }, 5000));
    QCOMPARE(m_owner.readLine().trimmed(), QByteArray("ready"));
}

void TestX11Keeper::stopOwner()
{
    m_owner.write("quit\n");
    // Keep the event loop running: the owner hands its contents to us as it exits.
    QVERIFY(QTest::qWaitFor([&] { return m_owner.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(m_owner.exitCode(), 0);
}

void TestX11Keeper::keepsWhatAnExitedOwnerHad_data()
{
    QTest::addColumn<QString>("kind"); // what the owner copies
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("kept"); // empty: the clipboard empties
    QTest::addColumn<QString>("leftOut"); // why the history leaves the copy out, if it does
    QTest::newRow("text") << "text" << true << "UTF8_STRING" << QByteArray("kept text ✓") << QString();
    QTest::newRow("image") << "image" << true << "image/png" << png() << QString();
    QTest::newRow("never a secret") << "secret" << true << QString() << QByteArray() << QString();
    QTest::newRow("switched off") << "text" << false << QString() << QByteArray() << QString();
    QTest::newRow("not while paused") << "text" << true << QString() << QByteArray() << "paused";
    QTest::newRow("never from an excluded application")
        << "text" << true << QString() << QByteArray() << "excluded";
}

void TestX11Keeper::keepsWhatAnExitedOwnerHad()
{
    QFETCH(QString, kind);
    QFETCH(bool, enabled);
    QFETCH(QString, type);
    QFETCH(QByteArray, kept);
    QFETCH(QString, leftOut);
    m_enabled = enabled;
    test::LiveStore store(*m_board);
    store.focus.setActiveApplication(
        platform::ApplicationInfo{QStringLiteral("Owner"), std::nullopt, {QStringLiteral("owner-app")}});
    if (leftOut == u"paused")
        store.history.watcher.pause();
    else if (leftOut == u"excluded")
        exclusions::add(store.settings, QStringLiteral("Owner-App"));
    QSignalSpy keptSignal(m_keeper, &platform::X11ClipboardKeeper::contentsKept);
    startOwner(kind);
    // A poll looked at the copy (and took nothing of a secret).
    const qsizetype recorded = kind == u"secret" || !leftOut.isEmpty() ? 0 : 1;
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > 0 &&
                                 store.history.watcher.lastChangeCount() == m_board->changeCount() &&
                                 store.history.store.items().size() == recorded,
                             3000);
    const qint64 before = m_board->changeCount();
    stopOwner();
    if (kept.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(!m_board->string().has_value(), 5000);
        QCOMPARE(keptSignal.count(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(keptSignal.count(), 1, 5000);
    QCOMPARE(readBack(type), kept);
    QVERIFY(!m_board->types().contains(QStringLiteral("TARGETS")));
    QCOMPARE(m_board->changeCount(), before); // the user's clipboard did not change
    // Nor is what was kept recorded again.
    QTRY_COMPARE_WITH_TIMEOUT(store.history.watcher.lastChangeCount(), m_board->changeCount(), 3000);
    QCOMPARE(store.history.store.items().size(), recorded);
}

void TestX11Keeper::quittingAsManagerWhileOwningDoesNotHang()
{
    m_keeper->stop(); // the other program is the clipboard manager here
    startOwner(QStringLiteral("text"), true);
    QElapsedTimer timer;
    timer.start();
    stopOwner();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
}

void TestX11Keeper::anotherManagersHandOverIsNoCopy()
{
    // Another program is the clipboard manager, holding an image.
    m_keeper->stop();
    QProcess manager;
    manager.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--own"), QStringLiteral("image"), QStringLiteral("keeper")});
    const auto stopManager = qScopeGuard([&manager] {
        manager.kill();
        manager.waitForFinished();
    });
    QVERIFY(QTest::qWaitFor([&] { return manager.canReadLine(); }, 5000));
    test::LiveStore store(*m_board);
    // A program copies the same image: a copy. It quits and hands the image
    // to the manager: no copy.
    startOwner(QStringLiteral("image"));
    QTRY_COMPARE_WITH_TIMEOUT(store.history.store.items().size(), 1, 3000);
    const qint64 before = m_board->changeCount();
    stopOwner();
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before &&
                                 store.history.watcher.lastChangeCount() == m_board->changeCount() &&
                                 !store.history.watcher.isReading(),
                             3000);
    QCOMPARE(store.history.store.items().size(), 1);
}

int main(int argc, char** argv)
{
    if (const int code = runOwnerIfAsked(argc, argv); code >= 0)
        return code;
    QGuiApplication app(argc, argv);
    TestX11Keeper test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11keeper.moc"
