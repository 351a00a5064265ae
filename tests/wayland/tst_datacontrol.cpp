// The clipboard of a native Wayland session, in a real compositor (run
// inside scripts/with-sway): captures from wl-copy, copy-out read back by
// wl-paste, secrets, and a source that never hands its data over.

#include "AppProcess.h"
#include "ClipboardHistory.h"
#include "DataControlConnection.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "QtScheduler.h"
#include "RecordingPasteTyper.h"
#include "TestSupport.h"
#include "WaylandClipboard.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using namespace ondrel;

namespace {

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage redSquare()
{
    QImage image(3, 3, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return image;
}

struct Watched
{
    explicit Watched(platform::ClipboardReadBudgets budgets = {})
        : clipboard(std::make_unique<platform::DataControlConnection>(budgets))
    {
        history.watcher.startMonitoring();
    }
    platform::MemorySettings settings;
    platform::QtScheduler scheduler;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    platform::WaylandClipboard clipboard;
    ClipboardHistory history{{settings, scheduler, clipboard, pasteTyper, focus, nullptr}};
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
    void secretsAreNotCaptured();
    void silentSourceBlocksNothing();
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
    QCoreApplication::processEvents();      // what the compositor said at connection has arrived
    QCOMPARE(w.clipboard.changeCount(), 0); // what was there at start is not a copy
    const QString text = QStringLiteral("grüße ✓ 😀\n\tindented");
    QVERIFY(test::wlCopy(text.toUtf8()));
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 1, 5000);
    QCOMPARE(w.history.store.items().first().text(), std::optional<QString>(text));
    QVERIFY(test::wlCopy(png(redSquare()), QStringLiteral("image/png")));
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
    QCOMPARE(w.history.store.items().first().fileURL(),
             std::optional<QUrl>(QUrl::fromLocalFile(QStringLiteral("/tmp/report final.pdf"))));
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
    QTRY_COMPARE_WITH_TIMEOUT(w.pasteTyper.pasteCount(), 1, 5000);

    w.history.paster.copyAndPaste(ClipboardItem::makeImage(redSquare()));
    QImage pasted;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(pasted = QImage::fromData(test::wlPaste(QStringLiteral("image/png")))).isNull(), 5000);
    QCOMPARE(pasted.size(), QSize(3, 3));
    QCOMPARE(pasted.pixelColor(2, 2), QColor(Qt::red));

    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt"));
    w.history.paster.copyAndPaste(ClipboardItem::makeFile(file));
    QTRY_COMPARE_WITH_TIMEOUT(test::wlPaste(QStringLiteral("text/uri-list")), file.toEncoded() + "\r\n",
                              5000);
}

void TestDataControl::secretsAreNotCaptured()
{
    Watched w;
    // A password manager's copy, from another connection.
    platform::DataControlConnection manager;
    manager.setContents({{QString::fromLatin1(platform::kSecretHintType), "secret"},
                         {QStringLiteral("text/plain;charset=utf-8"), "hunter2"}});
    QTRY_COMPARE_WITH_TIMEOUT(test::wlPaste(QStringLiteral("text/plain;charset=utf-8")),
                              QByteArray("hunter2"), 5000);
    QVERIFY(test::wlCopy("after the password"));
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 1, 5000);
    QCOMPARE(w.history.store.items().first().text(),
             std::optional<QString>(QStringLiteral("after the password")));
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
    QTest::qWait(100);
    said += source.readAll();
    const QStringList asked = QString::fromUtf8(said).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(asked.filter(QStringLiteral("asked ")).size(), 1);
    QCOMPARE(w.history.store.items().size(), 0);
    // The next copy is read as usual.
    QVERIFY(test::wlCopy("after the silent one"));
    QTRY_COMPARE_WITH_TIMEOUT(w.history.store.items().size(), 1, 5000);
}

QTEST_MAIN(TestDataControl)
#include "tst_datacontrol.moc"
