#include "ClipboardData.h"
#include "LiveStore.h"
#include "SettingsKeys.h"
#include "TestSupport.h"
#include "X11Clipboard.h"
#include "X11ClipboardReader.h"
#include "X11PrimarySelection.h"
#include "X11TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

using namespace ondrel;
using test::connection;
using test::offer;
using test::readBack;
using test::rootWindow;

namespace {

// What a read answers (of the board, or of a reader for a change),
// waiting on the event loop for the reader's thread.
template <typename Reader, typename... Change>
std::optional<platform::ClipboardContents> readContents(Reader& reader, Change... change)
{
    std::optional<platform::ClipboardContents> answer;
    QObject context;
    reader.readContents(change..., &context, [&](platform::ClipboardContents c) { answer = std::move(c); });
    if (!QTest::qWaitFor([&] { return answer.has_value(); }, 10000))
        return std::nullopt;
    return answer;
}

} // namespace

class TestX11Clipboard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void countsChangesWithoutReading();
    void reads_data();
    void reads();
    void ownerThatHangsOnDataIsGivenUpOn();
    void slowOrEndlessOwnerRecordsNothing_data();
    void slowOrEndlessOwnerRecordsNothing();
    void rasterIsPreferredOverVector();
    void imageThatDecodesTooLongIsSkipped();
    void writesTextImageAndFile();
    void watcherRecordsWhatOthersCopy();
    void idlePollTalksToNobody();
    void recordsMouseSelections_data() { test::addSelectionRows(); }
    void recordsMouseSelections();

private:
    platform::X11Clipboard* m_board = nullptr;
};

void TestX11Clipboard::init()
{
    test::failOnUnexpectedWarnings();
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    delete m_board;
    m_board = new platform::X11Clipboard(QGuiApplication::clipboard(), this);
}

void TestX11Clipboard::countsChangesWithoutReading()
{
    const qint64 before = m_board->changeCount();
    offer("one");
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before, 5000);
    const qint64 seen = m_board->changeCount();
    // Nothing moves by itself: the next owner's contents arrive with exactly
    // one more change (events come in order, so a spurious one would be
    // counted before them).
    offer("two");
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > seen && m_board->string() == QStringLiteral("two"),
                             5000);
    QCOMPARE(m_board->changeCount(), seen + 1);
    m_board->clearContents();
    QVERIFY(m_board->changeCount() > seen + 1);
}

void TestX11Clipboard::reads_data()
{
    // What another program offers (xclip offers one type), and what is read.
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("read");
    const QString accents = QStringLiteral("grüße ✓ 😀");
    QTest::newRow("UTF8_STRING") << "UTF8_STRING" << accents.toUtf8() << QStringLiteral("text ") + accents;
    QTest::newRow("mime utf-8") << "text/plain;charset=utf-8" << accents.toUtf8()
                                << QStringLiteral("text ") + accents;
    QTest::newRow("STRING is Latin-1") << "STRING" << QByteArray("gr\xfc\xdf") << "text grüß";
    QTest::newRow("URL list is no text")
        << "text/uri-list" << QByteArray("# a comment\r\nfile:///tmp/a%20b.txt\r\nfile:///tmp/c.txt\r\n")
        << "files /tmp/a b.txt,/tmp/c.txt";
    for (const char* format : {"png", "bmp", "jpeg", "tiff"})
        QTest::newRow(format) << QStringLiteral("image/") + QString::fromLatin1(format)
                              << test::encodedImage(test::redSquare(),
                                                    QByteArray(format).toUpper().constData())
                              << "image 3x3";
    // Far more than one property holds: the owner sends it in pieces (INCR).
    QByteArray big;
    for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
        big += "line " + QByteArray::number(i) + " ünïcödé\n";
    QTest::newRow("large text") << "UTF8_STRING" << big << QStringLiteral("text ") + QString::fromUtf8(big);
    // Minutes to draw at 5600 pixels; at thumbnail size the dashes blur into
    // lines and it takes milliseconds.
    QTest::newRow("vector image") << "image/svg+xml" << test::heavySvg(5600, 2000, 2700) << "image 1024x1024";
    // The hint alone is enough to refuse the copy; nothing else is read.
    QTest::newRow("secret hint") << QString::fromLatin1(platform::kSecretHintType) << QByteArray("secret\n")
                                 << "secret";
}

void TestX11Clipboard::reads()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, read);
    const qint64 before = m_board->changeCount();
    offer(bytes, type);
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before, 5000);
    const auto contents = readContents(*m_board);
    QVERIFY(contents);
    QStringList parts;
    if (contents->text)
        parts << QStringLiteral("text ") + *contents->text;
    if (contents->fileURLs) {
        QStringList files;
        for (const QUrl& url : *contents->fileURLs)
            files << url.toLocalFile();
        parts << QStringLiteral("files ") + files.join(u',');
    }
    if (contents->image)
        parts << QStringLiteral("image %1x%2").arg(contents->image->width()).arg(contents->image->height());
    if (contents->secret)
        parts << QStringLiteral("secret");
    QCOMPARE(parts.join(u'|'), read);
}

void TestX11Clipboard::ownerThatHangsOnDataIsGivenUpOn()
{
    const qint64 before = m_board->changeCount();
    test::HungOwner owner;
    QVERIFY(owner.start(QStringLiteral("--answer-targets")));
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before, 5000);
    platform::X11ClipboardReader reader(qgetenv("DISPLAY"), {200, 300, 3000});
    QTest::ignoreMessage(
        QtWarningMsg,
        "ondrel: the program that owns the clipboard does not answer; its copy is not recorded");
    const auto first = readContents(reader, m_board->changeCount());
    QVERIFY(first);
    QVERIFY(!first->text);
    // The text it did not deliver is not asked for in another form.
    const QStringList asked{QStringLiteral("TARGETS"), QStringLiteral("UTF8_STRING")};
    QCOMPARE(owner.requests(), asked);
    QVERIFY(readContents(reader, m_board->changeCount()));
    QCOMPARE(owner.requests(), asked);
}

void TestX11Clipboard::slowOrEndlessOwnerRecordsNothing_data()
{
    test::addSlowOrEndlessOwnerRows(QStringLiteral("UTF8_STRING"));
}

void TestX11Clipboard::slowOrEndlessOwnerRecordsNothing()
{
    QFETCH(QString, mode);
    QFETCH(int, dataMs);
    QFETCH(bool, copyMeanwhile);
    QFETCH(QString, said);
    QFETCH(qint64, maxEntryBytes);
    platform::X11Clipboard board(QGuiApplication::clipboard(), nullptr, {200, dataMs, 3000});
    test::LiveStore store(board);
    if (maxEntryBytes >= 0)
        store.settings.setInteger(keys::maxEntryBytes, maxEntryBytes);
    ClipboardHistory& history = store.history;
    int turnsWhileReading = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { turnsWhileReading += history.watcher.isReading(); });
    timer.start(5);
    QTest::ignoreMessage(QtWarningMsg, said.toUtf8().constData());
    const qint64 before = board.changeCount();
    test::HungOwner owner;
    QVERIFY(owner.start(mode));
    QTRY_VERIFY_WITH_TIMEOUT(board.changeCount() > before, 5000);
    if (copyMeanwhile) {
        QVERIFY(owner.waitFor("sent 2"));
        offer("copied meanwhile");
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(
            history.watcher.lastChangeCount() == board.changeCount() && !history.watcher.isReading(), 30000);
        QVERIFY(history.store.items().isEmpty());
        QVERIFY(turnsWhileReading > 0);
        if (mode == u"--endless") {
            // Read up to the limit and a piece past it, no further.
            const qint64 limit = maxEntryBytes < 0 ? qint64(64) << 20 : platform::kMaxEntryBytes;
            QVERIFY(owner.waitFor("sent " + QByteArray::number(limit), 0));
            QVERIFY(!owner.waitFor("sent " + QByteArray::number(limit + 2 * 256 * 1024), 0));
        }
        offer("copied after it");
    }
    // The next copy is there at once, and nothing of the owner's text is.
    QTRY_VERIFY_WITH_TIMEOUT(!history.store.items().isEmpty(), 5000);
    QCOMPARE(history.store.items().size(), 1);
    QCOMPARE(history.store.items().first().text(),
             std::optional<QString>(copyMeanwhile ? QStringLiteral("copied meanwhile")
                                                  : QStringLiteral("copied after it")));
}

void TestX11Clipboard::rasterIsPreferredOverVector()
{
    // This process owns the clipboard with both kinds; the reader asks
    // through the server like any other program, and the event loop answers.
    auto* data = new QMimeData;
    data->setData(
        QStringLiteral("image/svg+xml"),
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><rect width="10" height="10" fill="red"/></svg>)");
    data->setData(QStringLiteral("image/png"), test::encodedImage(test::redSquare()));
    QGuiApplication::clipboard()->setMimeData(data);
    platform::X11ClipboardReader reader(qgetenv("DISPLAY"));
    const auto answer = readContents(reader, m_board->changeCount());
    QVERIFY(answer);
    QVERIFY(answer->types.contains(QStringLiteral("image/svg+xml")));
    QVERIFY(answer->image);
    QCOMPARE(answer->image->size(), QSize(3, 3)); // the PNG, not the 10x10 drawing
}

void TestX11Clipboard::imageThatDecodesTooLongIsSkipped()
{
    // About two seconds to draw even at thumbnail size; the budget here is
    // a tenth of a second.
    platform::X11ClipboardReader reader(qgetenv("DISPLAY"), {200, 2000, 100});
    QVERIFY(reader.isConnected());
    const qint64 before = m_board->changeCount();
    offer(test::heavySvg(1024, 300, 450), QStringLiteral("image/svg+xml"));
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before, 5000);
    QTest::ignoreMessage(
        QtWarningMsg,
        "ondrel: an image on the clipboard (image/svg+xml) took too long to decode; not recorded");
    const auto answer = readContents(reader, m_board->changeCount());
    QVERIFY(answer);
    QVERIFY(!answer->image);
    QVERIFY(answer->types.contains(QStringLiteral("image/svg+xml")));
    // The drawing was stopped, not left running: the next image is read at once.
    offer(R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"/>)",
          QStringLiteral("image/svg+xml"));
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before + 1, 5000);
    const auto next = readContents(reader, m_board->changeCount());
    QVERIFY(next && next->image);
    QCOMPARE(next->image->size(), QSize(10, 10));
}

void TestX11Clipboard::writesTextImageAndFile()
{
    m_board->clearContents();
    m_board->setString(QStringLiteral("from Ondrel: é"));
    QCOMPARE(QString::fromUtf8(readBack(QStringLiteral("UTF8_STRING"))), QStringLiteral("from Ondrel: é"));

    // An image goes back in the type it came in, byte for byte; the other
    // usual types are made on a worker and waited for when asked at once.
    for (const char* format : {"TIFF", "PNG", "BMP"}) {
        const QByteArray own = test::encodedImage(test::redSquare(), format);
        const QString ownType = QStringLiteral("image/") + QString::fromLatin1(format).toLower();
        m_board->clearContents();
        QVERIFY(m_board->setImage(test::redSquare(), platform::EncodedImage{ownType, own}));
        QCOMPARE(readBack(ownType), own);
        for (const QString& type : {QStringLiteral("image/png"), QStringLiteral("image/tiff")}) {
            const QByteArray made = readBack(type);
            QCOMPARE(made, m_board->data(type)); // what we offer
            QCOMPARE(QImage::fromData(made).convertToFormat(QImage::Format_RGB32), test::redSquare());
        }
    }

    m_board->clearContents();
    QVERIFY(m_board->writeFileURLs({QUrl::fromLocalFile(QStringLiteral("/tmp/report 1.pdf")),
                                    QUrl::fromLocalFile(QStringLiteral("/tmp/ü"))}));
    QCOMPARE(readBack(QStringLiteral("x-special/gnome-copied-files")),
             QByteArray("copy\nfile:///tmp/report%201.pdf\nfile:///tmp/%C3%BC"));
    QCOMPARE(readBack(QStringLiteral("text/uri-list")),
             "file:///tmp/report%201.pdf\r\nfile:///tmp/%C3%BC\r\n");
    QCOMPARE(readBack(QStringLiteral("UTF8_STRING")), QStringLiteral("/tmp/report 1.pdf\n/tmp/ü").toUtf8());
}

void TestX11Clipboard::watcherRecordsWhatOthersCopy()
{
    test::LiveStore store(*m_board);
    ClipboardHistory& history = store.history;
    offer("copied elsewhere");
    QTRY_COMPARE_WITH_TIMEOUT(history.store.items().size(), 1, 3000);
    QCOMPARE(history.store.items().first().text(),
             std::optional<QString>(QStringLiteral("copied elsewhere")));
    offer(test::encodedImage(test::redSquare()), QStringLiteral("image/png"));
    QTRY_COMPARE_WITH_TIMEOUT(history.store.items().size(), 2, 3000);
    QCOMPARE(history.store.items().first().type(), ClipboardItemType::image);
    // Kept as it came, to be offered so again.
    QCOMPARE(history.store.items().first().encodedImage()->bytes, test::encodedImage(test::redSquare()));
    // Another program copying the same image while the first one still
    // holds it: the user copied it again.
    QProcess second;
    second.start(QStringLiteral("xclip"),
                 {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                  QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-i")});
    QVERIFY(second.waitForStarted());
    second.write(test::encodedImage(test::redSquare()));
    second.closeWriteChannel();
    QTRY_COMPARE_WITH_TIMEOUT(history.store.items().size(), 3, 3000);
    // Once that one quits and leaves the clipboard empty, another program
    // offering the same image is a clipboard manager taking it over: no new
    // copy. A copy made while the hand-over is read would end that read:
    // the text comes once it was read.
    second.kill();
    QVERIFY(second.waitForFinished(3000));
    QTRY_VERIFY_WITH_TIMEOUT(test::clipboardOwner() == XCB_NONE, 3000);
    const qint64 beforeHandOver = m_board->changeCount();
    offer(test::encodedImage(test::redSquare()), QStringLiteral("image/png"));
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > beforeHandOver &&
                                 history.watcher.lastChangeCount() == m_board->changeCount() &&
                                 !history.watcher.isReading(),
                             3000);
    offer("after the hand-over");
    QTRY_COMPARE_WITH_TIMEOUT(history.store.items().size(), 4, 3000);
    QCOMPARE(history.store.items().first().text(),
             std::optional<QString>(QStringLiteral("after the hand-over")));
    QCOMPARE(history.store.items().at(1).type(), ClipboardItemType::image);
    QCOMPARE(history.store.items().at(2).type(), ClipboardItemType::image);
    QCOMPARE(history.store.items().at(3).text(), std::optional<QString>(QStringLiteral("copied elsewhere")));
    offer("file:///tmp/x.txt\r\n", QStringLiteral("text/uri-list"));
    QTRY_COMPARE_WITH_TIMEOUT(history.store.items().size(), 5, 3000);
    QCOMPARE(history.store.items().first().type(), ClipboardItemType::file);
    // Our own copy-out of a text is seen by the next poll and not recorded twice.
    history.paster.copyAndPaste(history.store.items().at(4));
    QTRY_COMPARE_WITH_TIMEOUT(history.watcher.lastChangeCount(), m_board->changeCount(),
                              3000); // a poll saw it
    QTRY_COMPARE_WITH_TIMEOUT(store.pasteTyper.pasteCount(), 1, 3000);
    QCOMPARE(history.store.items().size(), 5);
}

void TestX11Clipboard::idlePollTalksToNobody()
{
    test::LiveStore store(*m_board);
    ClipboardHistory& history = store.history;
    offer("owned by another program"); // reading it would need the server
    QTRY_COMPARE_WITH_TIMEOUT(history.store.items().size(), 1, 3000);
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    // Every request gets the next sequence number: two probes one apart
    // mean nothing was sent between them.
    const xcb_get_input_focus_cookie_t before = xcb_get_input_focus(c);
    for (int i = 0; i < 1000; ++i)
        history.watcher.checkClipboard();
    const xcb_get_input_focus_cookie_t after = xcb_get_input_focus(c);
    xcb_discard_reply(c, before.sequence);
    xcb_discard_reply(c, after.sequence);
    QCOMPARE(after.sequence - before.sequence, 1u);
    QCOMPARE(history.store.items().size(), 1);
}

void TestX11Clipboard::recordsMouseSelections()
{
    platform::X11PrimarySelection selection(QGuiApplication::clipboard(), connection(), rootWindow());
    test::LiveStore store(*m_board, nullptr, nullptr, &selection);
    const auto xclip = [](const QStringList& args) {
        return test::runProgram(QStringLiteral("xclip"), args).value_or(QString()).toUtf8();
    };
    test::checkSelectionRow(
        store,
        {[](const QString& text) { offer(text.toUtf8()); },
         [](const QString& text) {
             // Started apart and not waited for, as selections come while the mouse moves.
             QProcess::startDetached(
                 QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("printf %s \"$1\" | xclip -selection primary >/dev/null 2>&1"),
                  QStringLiteral("sh"), text});
         },
         [&] {
             return xclip({QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("primary")});
         },
         [] { return readBack(QStringLiteral("UTF8_STRING")); }});
    // Neither the selection nor the clipboard became ours.
    QVERIFY(!QGuiApplication::clipboard()->ownsSelection());
    QVERIFY(!QGuiApplication::clipboard()->ownsClipboard());
}

QTEST_MAIN(TestX11Clipboard)
#include "tst_x11clipboard.moc"
