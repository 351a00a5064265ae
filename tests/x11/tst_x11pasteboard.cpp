#include "ClipboardManager.h"
#include "MemoryUserDefaults.h"
#include "MemoryWorkspace.h"
#include "QtMainQueue.h"
#include "RecordingKeystrokePoster.h"
#include "TestSupport.h"
#include "X11Pasteboard.h"
#include "X11TestSupport.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

using namespace ondrel;
using test::connection;
using test::offer;
using test::readBack;
using test::rootWindow;

namespace {

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage redSquare()
{
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

} // namespace

class TestX11Pasteboard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void countsChangesWithoutReading();
    void readsText();
    void urlListIsNotText();
    void readsImagesOfAnyType_data();
    void readsImagesOfAnyType();
    void writesTextImageAndFile();
    void watcherRecordsWhatOthersCopy();
    void idlePollTalksToNobody();

private:
    platform::X11Pasteboard* m_board = nullptr;
};

void TestX11Pasteboard::init()
{
    test::failOnUnexpectedWarnings();
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    delete m_board;
    m_board = new platform::X11Pasteboard(QGuiApplication::clipboard(), this);
}

void TestX11Pasteboard::countsChangesWithoutReading()
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

void TestX11Pasteboard::readsText()
{
    const qint64 before = m_board->changeCount();
    offer(QStringLiteral("grüße ✓ 😀").toUtf8(), QStringLiteral("UTF8_STRING"));
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before, 5000);
    QCOMPARE(m_board->string(), std::optional<QString>(QStringLiteral("grüße ✓ 😀")));
    QVERIFY(!m_board->image());
    QVERIFY(!m_board->fileURLs());
}

void TestX11Pasteboard::urlListIsNotText()
{
    const qint64 before = m_board->changeCount();
    offer("file:///tmp/a%20b.txt\r\nfile:///tmp/c.txt\r\n", QStringLiteral("text/uri-list"));
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before, 5000);
    QVERIFY(!m_board->string());
    const auto urls = m_board->fileURLs();
    QVERIFY(urls);
    QCOMPARE(urls->size(), 2);
    QCOMPARE(urls->first().toLocalFile(), QStringLiteral("/tmp/a b.txt"));
}

void TestX11Pasteboard::readsImagesOfAnyType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("png") << QStringLiteral("image/png") << QByteArray("PNG");
    QTest::newRow("bmp") << QStringLiteral("image/bmp") << QByteArray("BMP");
    QTest::newRow("jpeg") << QStringLiteral("image/jpeg") << QByteArray("JPEG");
    QTest::newRow("tiff") << QStringLiteral("image/tiff") << QByteArray("TIFF");
}

void TestX11Pasteboard::readsImagesOfAnyType()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, format);
    const QByteArray bytes = encoded(redSquare(), format.constData());
    QVERIFY(!bytes.isEmpty());
    const qint64 before = m_board->changeCount();
    offer(bytes, type);
    QTRY_VERIFY_WITH_TIMEOUT(m_board->changeCount() > before, 5000);
    const auto image = m_board->image();
    QVERIFY(image);
    QCOMPARE(image->size(), QSize(3, 3));
    QVERIFY(!m_board->string());
}

void TestX11Pasteboard::writesTextImageAndFile()
{
    m_board->clearContents();
    m_board->setString(QStringLiteral("from Ondrel: é"));
    QCOMPARE(QString::fromUtf8(readBack(QStringLiteral("UTF8_STRING"))), QStringLiteral("from Ondrel: é"));

    const QByteArray tiff = encoded(redSquare(), "TIFF");
    m_board->clearContents();
    QVERIFY(m_board->setImageData(tiff));
    QCOMPARE(readBack(QStringLiteral("image/tiff")), tiff);
    const QByteArray png = readBack(QStringLiteral("image/png"));
    QCOMPARE(png, m_board->data(QStringLiteral("image/png"))); // byte for byte what we offer
    QCOMPARE(QImage::fromData(png).convertToFormat(QImage::Format_RGB32), redSquare());

    m_board->clearContents();
    QVERIFY(m_board->writeFileURL(QUrl::fromLocalFile(QStringLiteral("/tmp/report 1.pdf"))));
    QCOMPARE(readBack(QStringLiteral("x-special/gnome-copied-files")),
             QByteArray("copy\nfile:///tmp/report%201.pdf"));
    QVERIFY(readBack(QStringLiteral("text/uri-list")).startsWith("file:///tmp/report%201.pdf"));
}

void TestX11Pasteboard::watcherRecordsWhatOthersCopy()
{
    platform::MemoryUserDefaults defaults;
    platform::QtMainQueue queue;
    platform::RecordingKeystrokePoster keystrokes;
    platform::MemoryWorkspace workspace;
    ClipboardManager manager({defaults, queue, *m_board, keystrokes, workspace, nullptr});
    manager.startMonitoring();
    offer("copied elsewhere");
    QTRY_COMPARE_WITH_TIMEOUT(manager.items().size(), 1, 3000);
    QCOMPARE(manager.items().first().text(), std::optional<QString>(QStringLiteral("copied elsewhere")));
    offer(encoded(redSquare(), "PNG"), QStringLiteral("image/png"));
    QTRY_COMPARE_WITH_TIMEOUT(manager.items().size(), 2, 3000);
    QCOMPARE(manager.items().first().type(), ClipboardItemType::image);
    offer("file:///tmp/x.txt\r\n", QStringLiteral("text/uri-list"));
    QTRY_COMPARE_WITH_TIMEOUT(manager.items().size(), 3, 3000);
    QCOMPARE(manager.items().first().type(), ClipboardItemType::file);
    // Our own copy-out of the front text is seen by the next poll and not recorded twice.
    manager.copyAndPaste(manager.items().at(2));
    QTRY_COMPARE_WITH_TIMEOUT(manager.lastChangeCount(), m_board->changeCount(), 3000); // a poll saw it
    QTRY_COMPARE_WITH_TIMEOUT(keystrokes.pasteCount(), 1, 3000);
    QCOMPARE(manager.items().size(), 3);
}

void TestX11Pasteboard::idlePollTalksToNobody()
{
    platform::MemoryUserDefaults defaults;
    platform::QtMainQueue queue;
    platform::RecordingKeystrokePoster keystrokes;
    platform::MemoryWorkspace workspace;
    ClipboardManager manager({defaults, queue, *m_board, keystrokes, workspace, nullptr});
    manager.startMonitoring();
    offer("owned by another program"); // reading it would need the server
    QTRY_COMPARE_WITH_TIMEOUT(manager.items().size(), 1, 3000);
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    // Every request gets the next sequence number: two probes one apart
    // mean nothing was sent between them.
    const xcb_get_input_focus_cookie_t before = xcb_get_input_focus(c);
    for (int i = 0; i < 1000; ++i)
        manager.checkClipboard();
    const xcb_get_input_focus_cookie_t after = xcb_get_input_focus(c);
    xcb_discard_reply(c, before.sequence);
    xcb_discard_reply(c, after.sequence);
    QCOMPARE(after.sequence - before.sequence, 1u);
    QCOMPARE(manager.items().size(), 1);
}

QTEST_MAIN(TestX11Pasteboard)
#include "tst_x11pasteboard.moc"
