// The real program's history on a real (private) session bus, asked with
// the tools scripts use (busctl, gdbus) and watched by a second client; its
// popover as a screen reader hears it through the accessibility bus.
#include "AppProcess.h"
#include "BusStandIn.h"
#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <memory>

using namespace ondrel;

namespace {

const QString kName = QStringLiteral("io.github.ondrel.Ondrel");
const QString kPath = QStringLiteral("/io/github/ondrel/Ondrel");
const QString kInterface = QStringLiteral("io.github.ondrel.Ondrel1");

// A tool run to its end on the test's bus (its address is in the
// environment): its output, or its error when it failed.
std::pair<bool, QByteArray> run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    // The program may own the clipboard meanwhile: this process keeps answering.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
        return {false, {}};
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return {ok, ok ? process.readAllStandardOutput() : process.readAllStandardError().trimmed()};
}

// `busctl --user --json=short VERB NAME PATH INTERFACE WORDS...`: the data it printed.
QJsonValue busctl(const char* verb, const QString& words)
{
    const QStringList arguments{QStringLiteral("--user"),
                                QStringLiteral("--json=short"),
                                QString::fromLatin1(verb),
                                kName,
                                kPath,
                                kInterface};
    const QByteArray out = run(QStringLiteral("busctl"), arguments + words.split(u' ')).second;
    return QJsonDocument::fromJson(out).object().value(QStringLiteral("data"));
}

// `gdbus call` of a method: whether it succeeded, and its output or error line.
std::pair<bool, QByteArray> gdbus(const QString& method, const QStringList& arguments)
{
    return run(QStringLiteral("gdbus"),
               QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                           kName, QStringLiteral("--object-path"), kPath, QStringLiteral("--method"),
                           method} +
                   arguments);
}

int count()
{
    return busctl("get-property", QStringLiteral("Count")).toInt(-1);
}

} // namespace

class TestX11DBus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void scriptsReachTheHistory();
    void withoutTheName_data();
    void withoutTheName();
    void screenReaderHearsTheSelectedRow();

public Q_SLOTS:
    void historyChanged() { ++m_historyChanged; }
    void propertiesChanged(const QString&, const QVariantMap& changed, const QStringList&)
    {
        m_changed.insert(changed);
    }

private:
    // The rows of List(): [id, type, preview, timestamp, pinned, app, language].
    QJsonArray list() { return busctl("call", QStringLiteral("List")).toArray().at(0).toArray(); }
    // Waits for the next HistoryChanged, then for a round trip: one that
    // came late would be counted by then.
    bool oneHistoryChanged();

    std::unique_ptr<test::PrivateSessionBus> m_daemon;
    QByteArray m_desktopBus;              // the test desktop's own, given back afterwards
    std::optional<QDBusConnection> m_bus; // the second client
    std::unique_ptr<test::AppProcess> m_app;
    int m_historyChanged = 0;
    int m_historyChangedSeen = 0;
    QVariantMap m_changed;
};

void TestX11DBus::init()
{
    test::failOnUnexpectedWarnings();
    m_daemon = std::make_unique<test::PrivateSessionBus>();
    const QString address = m_daemon->start();
    QVERIFY(!address.isEmpty());
    m_desktopBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    m_bus = QDBusConnection::connectToBus(address, QStringLiteral("watcher"));
    QVERIFY(m_bus->isConnected());
    m_app = std::make_unique<test::AppProcess>(QStringLiteral(ONDREL_BINARY));
    m_historyChanged = m_historyChangedSeen = 0;
    m_changed.clear();
}

void TestX11DBus::cleanup()
{
    m_app.reset();
    m_bus.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
    m_daemon.reset();
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_desktopBus);
}

bool TestX11DBus::oneHistoryChanged()
{
    if (!QTest::qWaitFor([this] { return m_historyChanged > m_historyChangedSeen; }, 5000))
        return false;
    test::roundTrip(*m_bus, kName, kPath);
    const int before = std::exchange(m_historyChangedSeen, m_historyChanged);
    return m_historyChanged == before + 1;
}

void TestX11DBus::scriptsReachTheHistory()
{
    // A cap of five, so that an added entry drops one in the same turn; no
    // size limit of its own, so that copies larger than a message are kept.
    const QString config = m_app->home() + QStringLiteral("/.config/ondrel");
    QVERIFY(QDir().mkpath(config));
    QVERIFY(test::writeFile(config + QStringLiteral("/settings.json"),
                            R"({"history":{"maxItems":5,"maxEntryBytes":0}})"));
    QVERIFY(m_app->start());
    QVERIFY(m_bus->connect(kName, kPath, kInterface, QStringLiteral("HistoryChanged"), this,
                           SLOT(historyChanged())));
    QVERIFY(m_bus->connect(kName, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("PropertiesChanged"), this,
                           SLOT(propertiesChanged(QString, QVariantMap, QStringList))));

    // Texts whose bytes a careless reader changes: line ends, characters
    // of several units, control characters.
    const QList<QByteArray> texts{"crlf\r\nline two\r\n", "emoji 👍🏽 👨‍👩‍👧 ok",
                                  "escape \x1b[31mred\x1b[0m\ttab \x01\x7f end"};
    for (const QByteArray& text : texts) {
        test::offer(text);
        QVERIFY(oneHistoryChanged());
    }
    QCOMPARE(m_changed.value(QStringLiteral("Count")).toUInt(), 3u);
    QCOMPARE(count(), 3);

    // Newest first, as the popover shows them; each as it was copied.
    QJsonArray rows = list();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(2).toArray().at(2).toString(), QStringLiteral("crlf⏎line two⏎"));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QJsonArray row = rows.at(i).toArray();
        QCOMPARE(row.at(1).toString(), QStringLiteral("text"));
        QVERIFY(qAbs(row.at(3).toDouble() - double(now)) < 60000);
        QCOMPARE(row.at(4).toBool(), false);
        QCOMPARE(row.at(6).toString(), QStringLiteral("plain"));
        const QByteArray copied = texts.at(texts.size() - 1 - i);
        for (const QString& ref : {QString::number(i + 1), row.at(0).toString()}) {
            const QJsonArray got = busctl("call", QStringLiteral("Get s ") + ref).toArray();
            QCOMPARE(got.at(0).toString(), QStringLiteral("text/plain;charset=utf-8"));
            QByteArray bytes;
            for (const QJsonValue& byte : got.at(1).toArray())
                bytes += char(byte.toInt());
            QCOMPARE(bytes, copied);
        }
    }

    // Select puts the entry on the clipboard for every other program.
    busctl("call", QStringLiteral("Select s 3"));
    QTRY_COMPARE_WITH_TIMEOUT(test::readBack(QStringLiteral("UTF8_STRING")), texts.first(), 5000);
    QVERIFY(oneHistoryChanged());

    // A pinned entry goes first.
    const QString last = list().at(2).toArray().at(0).toString();
    busctl("call", QStringLiteral("SetPinned sb 3 true"));
    QVERIFY(oneHistoryChanged());
    rows = list();
    QCOMPARE(rows.at(0).toArray().at(0).toString(), last);
    QCOMPARE(rows.at(0).toArray().at(4).toBool(), true);

    // An added text at the cap drops the oldest unpinned entry: two
    // changes, one announcement.
    for (const char* more : {"four", "five"})
        QCOMPARE(busctl("call", QStringLiteral("Add s ") + QLatin1String(more)).toArray().size(), 1);
    QVERIFY(QTest::qWaitFor([this] { return m_historyChanged == m_historyChangedSeen + 2; }, 5000));
    m_historyChangedSeen = m_historyChanged;
    const QString added = busctl("call", QStringLiteral("Add s six")).toArray().at(0).toString();
    QVERIFY(oneHistoryChanged());
    rows = list();
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows.at(1).toArray().at(0).toString(), added);
    QCOMPARE(rows.at(1).toArray().at(5).toString(), QStringLiteral("Ondrel"));
    QCOMPARE(test::readBack(QStringLiteral("UTF8_STRING")), QByteArray("six"));

    busctl("call", QStringLiteral("Delete s ") + added);
    QVERIFY(oneHistoryChanged());
    QCOMPARE(m_changed.value(QStringLiteral("Count")).toUInt(), 4u);

    // Wrong references, answered with the error a script can tell apart
    // (which references are wrong is the command line's lookup, tested there).
    const std::pair<QString, QByteArray> wrong[] = {
        {QStringLiteral("9"), "NoSuchEntry: no entry '9' (the history has 4 entries)"},
        {QStringLiteral("first"), "InvalidArgs: 'first' is neither an entry's number nor its id"}};
    for (const auto& [ref, expected] : wrong)
        for (const char* method : {"Get", "Delete"}) {
            const auto [ok, error] = gdbus(kInterface + u'.' + QLatin1String(method), {ref});
            QVERIFY2(!ok && error.contains(expected), error.constData());
        }
    QVERIFY(gdbus(kInterface + QStringLiteral(".Add"), {QString()})
                .second.contains("InvalidArgs: nothing to add"));
    QCOMPARE(list().size(), 4);

    // Paused, written and read back; copies made meanwhile are not recorded.
    busctl("set-property", QStringLiteral("Paused b true"));
    QCOMPARE(busctl("get-property", QStringLiteral("Paused")).toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(m_changed.value(QStringLiteral("Paused")).toBool(), true, 5000);
    test::offer("copied while paused");
    QVERIFY(gdbus(QStringLiteral("org.freedesktop.DBus.Properties.Set"),
                  {kInterface, QStringLiteral("Paused"), QStringLiteral("<false>")})
                .first);
    QTRY_COMPARE_WITH_TIMEOUT(m_changed.value(QStringLiteral("Paused")).toBool(), false, 5000);
    test::offer("copied after");
    QTRY_COMPARE_WITH_TIMEOUT(list().at(1).toArray().at(2).toString(), QStringLiteral("copied after"), 5000);
    QCOMPARE(list().at(2).toArray().at(2).toString(), QStringLiteral("five"));

    // Clear keeps the pinned entry, unless asked not to.
    busctl("call", QStringLiteral("Clear b false"));
    QTRY_COMPARE_WITH_TIMEOUT(list().size(), 1, 5000);
    QCOMPARE(list().at(0).toArray().at(0).toString(), last);
    busctl("call", QStringLiteral("Clear b true"));
    QTRY_COMPARE_WITH_TIMEOUT(count(), 0, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_changed.value(QStringLiteral("Count")).toUInt(), 0u, 5000);

    // Large data in one message, up to what a D-Bus message carries;
    // beyond, an error (libdbus would end the program asked to send it).
    QDBusMessage get = QDBusMessage::createMethodCall(kName, kPath, kInterface, QStringLiteral("Get"));
    get << QStringLiteral("1");
    struct Large
    {
        qsizetype size;
        QString error;
    };
    for (const Large& large :
         {Large{10 * 1024 * 1024, {}},
          Large{65 * 1024 * 1024, QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded")}}) {
        const int before = count();
        QByteArray text(large.size, 'x');
        text.back() = char('0' + before);
        test::offer(text);
        QTRY_COMPARE_WITH_TIMEOUT(count(), before + 1, 30000);
        const QDBusMessage reply = m_bus->call(get, QDBus::Block, 20000);
        QCOMPARE(reply.errorName(), large.error);
        if (large.error.isEmpty())
            QVERIFY(reply.arguments().value(1).toByteArray() == text);
    }
    QCOMPARE(count(), 2); // and it goes on
}

void TestX11DBus::withoutTheName_data()
{
    QTest::addColumn<bool>("bus");
    QTest::addColumn<QString>("said");
    QTest::newRow("no session bus") << false
                                    << "ondrel: no D-Bus session bus; io.github.ondrel.Ondrel is not offered "
                                       "(the ondrel commands still work)";
    QTest::newRow("the name is taken")
        << true << "ondrel: io.github.ondrel.Ondrel is taken on the session bus by process ";
}

void TestX11DBus::withoutTheName()
{
    QFETCH(bool, bus);
    QFETCH(QString, said);
    if (bus)
        QVERIFY(m_bus->registerService(kName));
    QProcessEnvironment env;
    if (!bus)
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    QVERIFY(m_app->start(env));
    QVERIFY(m_app->said(said));
    // It goes on, and scripts still reach it.
    QVERIFY(m_app->toggle());
    QTRY_VERIFY_WITH_TIMEOUT(!test::popoverWindow().isEmpty(), 5000);
    QCOMPARE(m_app->unexpectedLines({}), QStringList());
}

void TestX11DBus::screenReaderHearsTheSelectedRow()
{
    // A screen reader's side of the accessibility stack, on the test's bus.
    QProcess listener;
    listener.start(QStringLiteral(ATSPI_LISTENER), {});
    const auto stop = qScopeGuard([&] {
        listener.terminate();
        listener.waitForFinished();
    });
    QStringList heard;
    QString problem;
    qsizetype next = 0;
    // Waits until the listener says `line` (after what it said before); a
    // listener that ended because a part of the stack died stops the wait.
    const auto hears = [&](const QString& line) {
        qsizetype at = -1;
        (void)QTest::qWaitFor(
            [&] {
                while (listener.canReadLine())
                    heard << QString::fromUtf8(listener.readLine()).trimmed();
                problem += QString::fromUtf8(listener.readAllStandardError());
                at = heard.indexOf(line, next);
                return at >= 0 || listener.state() == QProcess::NotRunning;
            },
            10000);
        next = at >= 0 ? at + 1 : next;
        return at >= 0;
    };
    const auto said = [&] { return (heard.join(u'\n') + u'\n' + problem).toLocal8Bit(); };
    QVERIFY2(hears(QStringLiteral("ready")), said().constData());

    QVERIFY(m_app->start());
    const QStringList copies{QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")};
    for (const QString& copy : copies) {
        test::offer(copy.toUtf8());
        QTRY_COMPARE_WITH_TIMEOUT(m_app->history().size(), copies.indexOf(copy) + 1, 5000);
    }
    QVERIFY(m_app->toggle());
    QTRY_VERIFY_WITH_TIMEOUT(!test::popoverWindow().isEmpty(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(test::xdotool(QStringLiteral("getactivewindow")), test::popoverWindow(), 5000);
    const auto row = [](const QString& text) {
        return QStringLiteral("focus list item: %1, just now").arg(text);
    };
    // The keyboard stays in the search field; the row it selects is read.
    QVERIFY(test::xdotool(QStringLiteral("key Down")));
    QVERIFY2(hears(row(copies[1])), said().constData());
    // A search selects its first row, which is read once: not the list
    // itself as rows go away around it.
    const qsizetype typed = next;
    QVERIFY(test::xdotool(QStringLiteral("type f")));
    QVERIFY2(hears(row(copies[0])), said().constData());
    QCOMPARE(heard.mid(typed), QStringList{row(copies[0])});
    QVERIFY(test::xdotool(QStringLiteral("key BackSpace")));
    QVERIFY2(hears(row(copies[2])), said().constData());
    QVERIFY(test::xdotool(QStringLiteral("key ctrl+2")));
    QVERIFY2(hears(row(copies[1])), said().constData());
}

QTEST_MAIN(TestX11DBus)
#include "tst_x11dbus.moc"
