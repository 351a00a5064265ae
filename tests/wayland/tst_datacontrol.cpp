// The clipboard of a native Wayland session, in a real compositor (run
// inside scripts/with-sway): captures from wl-copy, copy-out read back by
// wl-paste, secrets, and a source that never hands its data over.

#include "AppProcess.h"
#include "DataControlConnection.h"
#include "LiveStore.h"
#include "SettingsKeys.h"
#include "TestSupport.h"
#include "WaylandClipboard.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using namespace ondrel;

namespace {

struct Watched
{
    explicit Watched(platform::ClipboardReadBudgets budgets = {})
        : Watched(std::make_unique<platform::DataControlConnection>(budgets))
    {}
    explicit Watched(std::unique_ptr<platform::DataControlConnection> made)
        : connection(*made), clipboard(std::move(made))
    {}
    platform::DataControlConnection& connection;
    platform::WaylandClipboard clipboard;
    platform::WaylandPrimarySelection selection{connection};
    test::LiveStore store{clipboard, nullptr, nullptr, &selection};
    ClipboardHistory& history = store.history;
};

} // namespace

class TestDataControl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void offersDataControl();
    void capturesTextImagesAndFiles();
    void copyOutIsReadBackByteForByte();
    void keepsWhatAQuittingProgramOffered_data();
    void keepsWhatAQuittingProgramOffered();
    void silentSourceBlocksNothing();
    void slowOrEndlessSourceRecordsNothing_data();
    void slowOrEndlessSourceRecordsNothing();
    void recordsMouseSelections_data() { test::addSelectionRows(); }
    void recordsMouseSelections();
};

void TestDataControl::offersDataControl()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    platform::DataControlConnection clipboard;
    QVERIFY(clipboard.isAvailable());
    // Sway 1.7 has the wlroots protocol; newer compositors the standard one.
    QVERIFY(clipboard.protocolName() == u"wlr-data-control-unstable-v1" ||
            clipboard.protocolName() == u"ext-data-control-v1");
}

void TestDataControl::capturesTextImagesAndFiles()
{
    QVERIFY(test::wlCopy("there before"));
    Watched w;
    // A read goes through the connection's thread: by its answer, what the
    // compositor said at connection has arrived. What was there is no copy.
    bool answered = false;
    w.clipboard.readContents(this, [&](platform::ClipboardContents) { answered = true; });
    QTRY_VERIFY(answered);
    QCOMPARE(w.clipboard.changeCount(), 0);
    const QString text = QStringLiteral("grüße ✓ 😀\n\tindented");
    QVERIFY(test::wlCopy(text.toUtf8()));
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 1, 5000);
    QCOMPARE(w.history.store.items().first().text(), std::optional<QString>(text));
    QVERIFY(test::wlCopy(test::encodedImage(test::redSquare()), QStringLiteral("image/png")));
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 2, 5000);
    QCOMPARE(w.history.store.items().first().type(), ClipboardItemType::image);
    QCOMPARE(w.history.store.items().first().image()->size(), QSize(3, 3));
    QCOMPARE(w.history.store.items().first().image()->pixelColor(1, 1), QColor(Qt::red));
    // A file manager's copy: only the URL list (wl-copy would add text types).
    platform::DataControlConnection files;
    files.setContents({{QStringLiteral("text/uri-list"),
                        "# a comment\r\nfile:///tmp/report%20final.pdf\r\nfile:///tmp/b.txt\r\n"}});
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 3, 5000);
    QCOMPARE(w.history.store.items().first().type(), ClipboardItemType::file);
    QCOMPARE(w.history.store.items().first().fileURLs(),
             QList<QUrl>({QUrl::fromLocalFile(QStringLiteral("/tmp/report final.pdf")),
                          QUrl::fromLocalFile(QStringLiteral("/tmp/b.txt"))}));
    // HTML alone (wl-copy -t text/html would offer the markup as text too)
    // is the text it shows, and goes back as it came.
    const QByteArray html = "<p>rich&nbsp;<b>gr\xc3\xbc\xc3\x9f</b></p><p>two</p>";
    platform::DataControlConnection page;
    page.setContents({{QStringLiteral("text/html"), html}});
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 4, 5000);
    QCOMPARE(w.history.store.items().first().text(),
             std::optional<QString>(QStringLiteral("rich grüß\n\ntwo")));
    QVERIFY(test::wlCopy("other"));
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 5, 5000);
    QVERIFY(w.history.paster.copy(w.history.store.items().at(1)));
    QTRY_COMPARE_WITH_TIMEOUT(test::wlPaste(QStringLiteral("text/html")), html, 5000);
    QCOMPARE(test::wlPaste(QStringLiteral("text/plain")), QStringLiteral("rich grüß\n\ntwo").toUtf8());
}

void TestDataControl::copyOutIsReadBackByteForByte()
{
    Watched w;
    const QString text = QStringLiteral("line one\r\nline two ✓ \U0001F600\n\n  trailing  ");
    w.history.paster.copyAndPaste(ClipboardItem::makeText(text));
    QTRY_COMPARE_WITH_TIMEOUT(test::wlPaste(QStringLiteral("text/plain;charset=utf-8")), text.toUtf8(), 5000);
    QCOMPARE(test::wlPaste(QStringLiteral("text/plain")), text.toUtf8());
    // Our own write is seen as a change and, being the front entry, not recorded again.
    QTRY_COMPARE_WITH_TIMEOUT(w.history.watcher.lastChangeCount(), w.clipboard.changeCount(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w.store.pasteTyper.pasteCount(), 1, 5000);

    w.history.paster.copyAndPaste(ClipboardItem::makeImage(test::redSquare()));
    QImage pasted;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(pasted = QImage::fromData(test::wlPaste(QStringLiteral("image/png")))).isNull(), 5000);
    QCOMPARE(pasted.size(), QSize(3, 3));
    QCOMPARE(pasted.pixelColor(2, 2), QColor(Qt::red));
    // An image goes back in the type it came in, byte for byte.
    const QByteArray bmp = test::encodedImage(test::redSquare(), "BMP");
    w.history.paster.copyAndPaste(
        ClipboardItem::makeImage(test::redSquare(), std::nullopt, std::nullopt, Timestamp::now(),
                                 platform::EncodedImage{QStringLiteral("image/bmp"), bmp}));
    QTRY_COMPARE_WITH_TIMEOUT(test::wlPaste(QStringLiteral("image/bmp")), bmp, 5000);

    // Every file of a copy, in each form a file manager pastes.
    w.history.paster.copyAndPaste(
        ClipboardItem::makeFile({QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")),
                                 QUrl::fromLocalFile(QStringLiteral("/tmp/ü"))}));
    QTRY_COMPARE_WITH_TIMEOUT(test::wlPaste(QStringLiteral("text/uri-list")),
                              "file:///tmp/a%20b.txt\r\nfile:///tmp/%C3%BC\r\n", 5000);
    QCOMPARE(test::wlPaste(QStringLiteral("x-special/gnome-copied-files")),
             "copy\nfile:///tmp/a%20b.txt\nfile:///tmp/%C3%BC");
    QCOMPARE(test::wlPaste(QStringLiteral("text/plain;charset=utf-8")), "/tmp/a b.txt\n/tmp/ü");
}

void TestDataControl::keepsWhatAQuittingProgramOffered_data()
{
    QTest::addColumn<QString>("type"); // what the program offers (wl-copy for text)
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("keep"); // the setting
    QTest::addColumn<bool>("kept");
    QTest::newRow("text") << "text/plain;charset=utf-8" << QByteArray("kept ✓") << true << true;
    QTest::newRow("image") << "image/png" << test::encodedImage(test::redSquare()) << true << true;
    QTest::newRow("HTML") << "text/html" << QByteArray("<b>kept</b> &amp; ✓") << true << true;
    QTest::newRow("files") << "text/uri-list" << QByteArray("file:///tmp/kept.txt\r\n") << true << true;
    QTest::newRow("never a secret") << QString::fromLatin1(platform::kSecretHintType) << QByteArray("secret")
                                    << true << false;
    QTest::newRow("switched off") << "text/plain;charset=utf-8" << QByteArray("gone") << false << false;
}

void TestDataControl::keepsWhatAQuittingProgramOffered()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, keep);
    QFETCH(bool, kept);
    Watched w;
    w.connection.setKeepContents(keep);
    const bool secret = type == QLatin1String(platform::kSecretHintType);
    const QString pasted = secret ? QStringLiteral("text/plain;charset=utf-8") : type;
    qint64 seen = 0;
    {
        // The copying program: wl-copy for text, else one offering exactly that.
        QProcess wlCopy;
        std::unique_ptr<platform::DataControlConnection> program;
        if (type.startsWith(u"text/plain")) {
            wlCopy.start(QStringLiteral("wl-copy"),
                         {QStringLiteral("--foreground"), QString::fromUtf8(bytes)});
            QVERIFY(wlCopy.waitForStarted());
        } else {
            program = std::make_unique<platform::DataControlConnection>();
            platform::DataControlConnection::Contents offered = {{type, bytes}};
            if (secret)
                offered.append({pasted, "hunter2"});
            program->setContents(offered);
        }
        QTRY_VERIFY_WITH_TIMEOUT(w.clipboard.types().contains(type) && !w.history.watcher.isReading(), 5000);
        seen = w.clipboard.changeCount();
        wlCopy.kill();
        wlCopy.waitForFinished();
    } // it quits
    if (kept) {
        QTRY_COMPARE_WITH_TIMEOUT(test::wlPaste(pasted), bytes, 5000);
        // Neither the empty moment nor our offer is a copy.
        QCOMPARE(w.clipboard.changeCount(), seen);
        QCOMPARE(w.history.store.items().size(), 1);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(w.clipboard.changeCount() > seen && w.clipboard.types().isEmpty() &&
                                     !w.history.watcher.isReading(),
                                 5000);
        QCOMPARE(test::wlPaste(pasted), QByteArray());
    }
}

void TestDataControl::silentSourceBlocksNothing()
{
    platform::ClipboardReadBudgets budgets;
    budgets.dataMs = 400;
    Watched w(budgets);
    QProcess source;
    const auto stopSource = qScopeGuard([&source] {
        source.kill();
        source.waitForFinished();
    });
    source.start(QStringLiteral(HUNG_WAYLAND_SOURCE), {});
    QVERIFY(source.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT(
        (said += source.readAll()).contains("owned") || source.state() != QProcess::Running, 5000);
    QCOMPARE(source.state(), QProcess::Running);
    // The main thread keeps turning while the source stays silent.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    bool answered = false;
    platform::ClipboardContents got;
    QTest::ignoreMessage(
        QtWarningMsg,
        "ondrel: the program that owns the clipboard does not answer; its copy is not recorded");
    w.clipboard.readContents(this, [&](platform::ClipboardContents c) {
        answered = true;
        got = std::move(c);
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 5000);
    QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
    QVERIFY(!got.text);
    QVERIFY(got.types.contains(QStringLiteral("text/plain")));
    // Asked once; the same copy is not asked for again.
    answered = false;
    w.clipboard.readContents(this, [&](platform::ClipboardContents) { answered = true; });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 5000);
    // The next copy is read as usual; the silent source hears of it after
    // every request it was sent.
    QVERIFY(test::wlCopy("after the silent one"));
    QTRY_VERIFY_WITH_TIMEOUT((said += source.readAll()).contains("cancelled"), 5000);
    QCOMPARE(QString::fromUtf8(said).count(QStringLiteral("asked ")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 1, 5000);
    QCOMPARE(w.history.store.items().first().text(),
             std::optional<QString>(QStringLiteral("after the silent one")));
}

void TestDataControl::slowOrEndlessSourceRecordsNothing_data()
{
    test::addSlowOrEndlessOwnerRows(QStringLiteral("text/plain;charset=utf-8"));
}

void TestDataControl::slowOrEndlessSourceRecordsNothing()
{
    QFETCH(QString, mode);
    QFETCH(int, dataMs);
    QFETCH(bool, copyMeanwhile);
    QFETCH(QString, said);
    QFETCH(qint64, maxEntryBytes);
    platform::ClipboardReadBudgets budgets;
    budgets.dataMs = dataMs;
    Watched w(budgets);
    if (maxEntryBytes >= 0)
        w.store.settings.setInteger(keys::maxEntryBytes, maxEntryBytes);
    int turnsWhileReading = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { turnsWhileReading += w.history.watcher.isReading(); });
    timer.start(5);
    QTest::ignoreMessage(QtWarningMsg, said.toUtf8().constData());
    QProcess source;
    const auto stopSource = qScopeGuard([&source] {
        source.kill();
        source.waitForFinished();
    });
    source.start(QStringLiteral(HUNG_WAYLAND_SOURCE), {mode});
    QVERIFY(source.waitForStarted());
    QByteArray sourceSaid;
    const auto sourceSays = [&](const QByteArray& line) {
        return QTest::qWaitFor([&] { return (sourceSaid += source.readAll()).contains(line); }, 10000);
    };
    QVERIFY(sourceSays("owned\n"));
    if (copyMeanwhile) {
        QVERIFY(sourceSays("sent 2\n"));
        QVERIFY(test::wlCopy("copied meanwhile"));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(w.clipboard.changeCount() > 0 &&
                                     w.history.watcher.lastChangeCount() == w.clipboard.changeCount() &&
                                     !w.history.watcher.isReading(),
                                 30000);
        QVERIFY(w.history.store.items().isEmpty());
        QVERIFY(turnsWhileReading > 0);
        QVERIFY(test::wlCopy("copied after it"));
    }
    // The next copy is there at once, and nothing of the source's text is.
    QTRY_VERIFY_WITH_TIMEOUT(!w.history.store.items().isEmpty(), 5000);
    QCOMPARE(w.history.store.items().size(), 1);
    QCOMPARE(w.history.store.items().first().text(),
             std::optional<QString>(copyMeanwhile ? QStringLiteral("copied meanwhile")
                                                  : QStringLiteral("copied after it")));
}

void TestDataControl::recordsMouseSelections()
{
    Watched w;
    const auto paste = [](const QStringList& args) {
        return test::runProgram(QStringLiteral("wl-paste"),
                                args + QStringList{QStringLiteral("--no-newline")})
            .value_or(QString())
            .toUtf8();
    };
    test::checkSelectionRow(
        w.store, {[](const QString& text) { QVERIFY(test::wlCopy(text.toUtf8())); },
                  [](const QString& text) {
                      // Started apart and not waited for, as selections come while the mouse moves.
                      QProcess::startDetached(QStringLiteral("sh"),
                                              {QStringLiteral("-c"),
                                               QStringLiteral("wl-copy --primary \"$1\" >/dev/null 2>&1"),
                                               QStringLiteral("sh"), text});
                  },
                  [&] { return paste({QStringLiteral("--primary")}); }, [&] { return paste({}); }});
}

QTEST_MAIN(TestDataControl)
#include "tst_datacontrol.moc"
