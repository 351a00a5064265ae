#include "AppcastUpdater.h"
#include "ManualScheduler.h"
#include "MemorySettings.h"
#include "SettingsKeys.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace ondrel;
using Kind = UpdateCheckResult::Kind;

namespace {

// The program's own network module, from the build tree.
std::unique_ptr<FeedFetcher> networkModule(QString* error)
{
    return loadFeedFetcher(error, {QStringLiteral(ONDREL_NETWORK_MODULE_DIR)});
}

// Serves one fixed answer to every request, on 127.0.0.1.
class FeedServer final : public QObject
{
public:
    FeedServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    ++requests;
                    const QByteArray status = found ? "200 OK" : "404 Not Found";
                    socket->write("HTTP/1.1 " + status +
                                  "\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString url() const
    {
        return QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(m_server.serverPort());
    }
    QByteArray body;
    bool found = true;
    int requests = 0;

private:
    QTcpServer m_server;
};

QByteArray feed(const QList<std::pair<const char*, const char*>>& versions)
{
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
        "<channel><title>Ondrel</title>";
    for (const auto& [version, notes] : versions) {
        xml += "<item><title>Version " + QByteArray(version) + "</title>";
        if (notes)
            xml += "<sparkle:releaseNotesLink>" + QByteArray(notes) + "</sparkle:releaseNotesLink>";
        xml += "<enclosure url=\"https://example.org/ondrel-" + QByteArray(version) +
               ".tar.gz\" sparkle:version=\"" + QByteArray(version) + "\" sparkle:shortVersionString=\"" +
               QByteArray(version) + "\" length=\"1\" type=\"application/octet-stream\"/></item>";
    }
    return xml + "</channel></rss>";
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void versions_data();
    void versions();
    void parsing();
    void checks_data();
    void checks();
    void checksAreADayApartAcrossLaunches_data();
    void checksAreADayApartAcrossLaunches();
    void checksAreRecordedAndRestartTheDay();
};

void TestUpdater::versions_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    // (Numbers, not texts, and older against newer: the feeds in checks().)
    QTest::newRow("equal") << QStringLiteral("0.1.0") << QStringLiteral("0.1") << 0;
    QTest::newRow("longer") << QStringLiteral("1.0.1") << QStringLiteral("1.0") << 1;
}

void TestUpdater::versions()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    QCOMPARE(compareVersions(a, b), order);
    QCOMPARE(compareVersions(b, a), -order);
}

void TestUpdater::parsing()
{
    const auto items =
        parseAppcast(feed({{"0.2.0", "https://example.org/notes/0.2.0.html"}, {"0.1.0", nullptr}}));
    QVERIFY(items);
    QCOMPARE(items->size(), 2);
    QCOMPARE(items->at(0).shortVersionString, QStringLiteral("0.2.0"));
    QCOMPARE(items->at(0).releaseNotes, QUrl(QStringLiteral("https://example.org/notes/0.2.0.html")));
    QCOMPARE(items->at(1).enclosure, QUrl(QStringLiteral("https://example.org/ondrel-0.1.0.tar.gz")));
    QVERIFY(!parseAppcast("<rss><channel><item>"));
}

void TestUpdater::checks_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("asked");     // by the user, not on schedule
    QTest::addColumn<QString>("module"); // the network module: built, missing or broken
    QTest::addColumn<int>("kind");       // -1: nothing is said
    QTest::addColumn<QString>("version");
    const QByteArray newer = feed({{"0.2.0", "https://example.org/n"}, {"0.10.0", nullptr}});
    const QByteArray same = feed({{"0.1.0", nullptr}});
    QTest::newRow("newer, newest chosen")
        << newer << true << true << "built" << int(Kind::available) << "0.10.0";
    QTest::newRow("same version") << same << true << true << "built" << int(Kind::upToDate) << QString();
    QTest::newRow("older only") << feed({{"0.0.9", nullptr}}) << true << true << "built"
                                << int(Kind::upToDate) << QString();
    QTest::newRow("not found") << QByteArray("missing") << false << true << "built" << int(Kind::failed)
                               << QString();
    QTest::newRow("not a feed") << QByteArray("<html/>") << true << true << "built" << int(Kind::failed)
                                << QString();
    // A scheduled check speaks only of news.
    QTest::newRow("scheduled, same version") << same << true << false << "built" << -1 << QString();
    QTest::newRow("scheduled, newer")
        << newer << true << false << "built" << int(Kind::available) << "0.10.0";
    // Installed without its module (or with a broken one): a check the user
    // asked for says why it cannot read the feed; a scheduled one stays quiet.
    QTest::newRow("module missing") << newer << true << true << "missing" << int(Kind::failed) << QString();
    QTest::newRow("module broken") << newer << true << true << "broken" << int(Kind::failed) << QString();
    QTest::newRow("module missing, scheduled") << newer << true << false << "missing" << -1 << QString();
}

void TestUpdater::checks()
{
    platform::ManualScheduler clock;
    QFETCH(QByteArray, body);
    QFETCH(bool, found);
    QFETCH(bool, asked);
    QFETCH(QString, module);
    QFETCH(int, kind);
    QFETCH(QString, version);
    FeedServer server;
    server.body = body;
    server.found = found;
    platform::MemorySettings settings;
    settings.setString(keys::feedURL, server.url());
    QTemporaryDir folder;
    if (module == u"broken")
        QVERIFY(test::writeFile(folder.path() + QStringLiteral("/ondrel-network.so"), "not a library"));
    QList<UpdateCheckResult> shown;
    const QString from = module == u"built" ? QStringLiteral(ONDREL_NETWORK_MODULE_DIR) : folder.path();
    AppcastUpdater updater(
        settings, clock, QStringLiteral("0.1.0"), [&](const UpdateCheckResult& r) { shown << r; },
        [from](QString* error) { return loadFeedFetcher(error, {from}); });
    QSignalSpy busy(&updater, &platform::Updater::canCheckForUpdatesChanged);
    asked ? updater.checkForUpdates() : updater.checkInBackground();
    const bool fetches = module == u"built";
    QCOMPARE(updater.canCheckForUpdates(), !fetches);
    QTRY_COMPARE(server.requests, fetches ? 1 : 0);
    QTRY_VERIFY(updater.canCheckForUpdates());
    QTRY_COMPARE(shown.size(), kind < 0 ? 0 : 1);
    QCOMPARE(busy.count(), fetches ? 2 : 0);
    if (kind < 0)
        return;
    QCOMPARE(int(shown.first().kind), kind);
    QCOMPARE(shown.first().version, version);
    QCOMPARE(shown.first().userInitiated, asked);
    QCOMPARE(shown.first().error.isEmpty(), kind != int(Kind::failed));
    if (!fetches)
        QVERIFY2(shown.first().error.startsWith(QStringLiteral("the network module could not be loaded: ")),
                 qPrintable(shown.first().error));
}

void TestUpdater::checksAreADayApartAcrossLaunches_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<qint64>("lastCheckAgo"); // seconds; -1: never checked
    QTest::addColumn<int>("earliestMs");
    QTest::addColumn<int>("latestMs"); // -1: no check planned
    constexpr int day = AppcastUpdater::kCheckIntervalMs;
    constexpr int soon = AppcastUpdater::kDueCheckDelayMs;
    QTest::newRow("never checked") << true << qint64(-1) << soon - 5000 << soon;
    QTest::newRow("an hour ago") << true << qint64(3600) << day - 3600 * 1000 - 5000 << day - 3600 * 1000;
    QTest::newRow("a day and an hour ago") << true << qint64(25 * 3600) << soon - 5000 << soon;
    QTest::newRow("a second ago") << true << qint64(1) << day - 6000 << day - 1000;
    QTest::newRow("in the future (clock set back)") << true << qint64(-3600) << day - 5000 << day;
    QTest::newRow("automatic checks off") << false << qint64(25 * 3600) << -1 << -1;
}

void TestUpdater::checksAreADayApartAcrossLaunches()
{
    QFETCH(bool, automatic);
    QFETCH(qint64, lastCheckAgo);
    QFETCH(int, earliestMs);
    QFETCH(int, latestMs);
    platform::MemorySettings settings;
    settings.setBool(keys::automaticChecks, automatic);
    platform::ManualScheduler clock;
    const qint64 now = qint64(clock.secondsSinceEpoch());
    if (lastCheckAgo != -1)
        settings.setInteger(keys::lastCheckTime, now - lastCheckAgo);
    AppcastUpdater updater(settings, clock, QStringLiteral("0.1.0"), {}, networkModule);
    const int next = updater.msUntilNextCheck();
    QVERIFY2(next >= earliestMs && next <= latestMs, qPrintable(QString::number(next)));
}

void TestUpdater::checksAreRecordedAndRestartTheDay()
{
    FeedServer server;
    server.body = feed({{"0.1.0", nullptr}});
    platform::MemorySettings settings;
    settings.setString(keys::feedURL, server.url());
    settings.setBool(keys::automaticChecks, true);
    platform::ManualScheduler clock;
    const qint64 before = qint64(clock.secondsSinceEpoch());
    settings.setInteger(keys::lastCheckTime, before - 25 * 3600);
    QList<UpdateCheckResult> shown;
    AppcastUpdater updater(
        settings, clock, QStringLiteral("0.1.0"), [&](const UpdateCheckResult& r) { shown << r; },
        networkModule);
    QCOMPARE(updater.msUntilNextCheck(), AppcastUpdater::kDueCheckDelayMs);
    QVERIFY(updater.unavailableReason().isEmpty());
    // The overdue check runs when its time comes, quietly (nothing new).
    clock.advance(AppcastUpdater::kDueCheckDelayMs / 1000.0);
    QTRY_COMPARE(server.requests, 1);
    QTRY_VERIFY(updater.canCheckForUpdates());
    QVERIFY(shown.isEmpty());
    QCOMPARE(settings.integer(keys::lastCheckTime), before + AppcastUpdater::kDueCheckDelayMs / 1000);
    QCOMPARE(updater.msUntilNextCheck(), AppcastUpdater::kCheckIntervalMs);
    // One asked for restarts the day.
    clock.advance(3600);
    updater.checkForUpdates();
    QTRY_COMPARE(shown.size(), 1);
    QCOMPARE(updater.msUntilNextCheck(), AppcastUpdater::kCheckIntervalMs);

    // Without a feed there is nothing to check, and the menu is told why.
    platform::MemorySettings none;
    none.setBool(keys::automaticChecks, true);
    QList<UpdateCheckResult> told;
    AppcastUpdater packaged(
        none, clock, QStringLiteral("0.1.0"), [&](const UpdateCheckResult& r) { told << r; }, networkModule);
    QCOMPARE(packaged.unavailableReason(),
             QStringLiteral("Updates come from your system's package manager."));
    packaged.checkInBackground();
    QCOMPARE(none.integer(keys::lastCheckTime), 0);
    QVERIFY(told.isEmpty());
    // A check the user asks for says so.
    packaged.checkForUpdates();
    QCOMPARE(told.size(), 1);
    QCOMPARE(told.first().kind, Kind::noFeed);
    // The switches are settings of their own.
    platform::MemorySettings fresh;
    AppcastUpdater switched(fresh, clock, QStringLiteral("0.1.0"), {}, networkModule);
    QVERIFY(!switched.automaticallyChecksForUpdates());
    switched.setAutomaticallyChecksForUpdates(true);
    switched.setAutomaticallyDownloadsUpdates(true);
    QCOMPARE(fresh.value(keys::automaticChecks), QVariant(true));
    QCOMPARE(fresh.value(keys::automaticallyUpdate), QVariant(true));
}

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
