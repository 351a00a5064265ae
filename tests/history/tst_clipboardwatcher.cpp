#include "ClipboardWatcher.h"
#include "HistoryFixture.h"

#include <QBuffer>
#include <QTest>

using namespace ondrel;
using test::Fixture;

namespace {

QByteArray png(QColor color)
{
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Starts polling, then lets one poll run after each change.
struct Watched : Fixture
{
    Watched()
    {
        focus.setActiveApplication(
            platform::ApplicationInfo{QStringLiteral("Editor"), QImage(1, 1, QImage::Format_RGB32)});
        watcher().startMonitoring();
    }
    void poll()
    {
        scheduler.advance(ClipboardWatcher::kPollIntervalSeconds);
        scheduler.runPending();
    }
    void copy(const QString& text)
    {
        clipboard.clearContents();
        clipboard.setString(text);
        poll();
    }
};

} // namespace

class TestClipboardWatcher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void contentsAtStartAreNotCaptured();
    void textWithSource();
    void sameTextTwiceIsRecordedOnce();
    void canonicallyEqualTextIsADuplicate();
    void aThenBThenA();
    void pinnedFrontEntryDoesNotHideDuplicate();
    void imagesAndFilesAlwaysRecorded();
    void handOverIsNotACopy_data();
    void handOverIsNotACopy();
    void emptyStringFallsThrough();
    void textWinsOverUrls();
    void noActiveApplication();
    void twoChangesInOneIntervalAreOne();
    void secretsAreNotCaptured();
    void nothingUsableIsSkippedOnce();
    void pasteMovesEntryAndNextPollRecordsNothing();
    void pastingPinnedTextRecordsItAgain();
    void pastingImageRecordsItAgain();
    void stopsWhenAskedAndWithTheHistory();
    void longTextsAreGuessedInBackgroundInOrder();
    void announcedChangesNeedNoPolling();
    void slowOwnerIsReadOnceAndLaterChangesAfter();
};

void TestClipboardWatcher::contentsAtStartAreNotCaptured()
{
    Fixture f;
    f.clipboard.setString(QStringLiteral("before launch"));
    f.watcher().startMonitoring();
    f.scheduler.advance(2);
    QVERIFY(f.store().items().isEmpty());
    f.clipboard.setString(QStringLiteral("after"));
    f.scheduler.advance(0.5);
    QCOMPARE(f.labels(f.store().items()), QStringList{QStringLiteral("after")});
}

void TestClipboardWatcher::textWithSource()
{
    Watched w;
    w.copy(QStringLiteral("fn main() {}"));
    QCOMPARE(w.store().items().size(), 1);
    const ClipboardItem item = w.store().items().first();
    QCOMPARE(item.type(), ClipboardItemType::text);
    QCOMPARE(item.appName(), std::optional<QString>(QStringLiteral("Editor")));
    QVERIFY(item.appIcon());
    QCOMPARE(item.detectedLanguage(), DetectedLanguage::rust);
    QVERIFY(!item.isPinned());
    QVERIFY(w.saved().contains("fn main"));
    // Dated by the clock the program runs on: an hour later on the virtual
    // clock, the next capture is an hour newer.
    w.scheduler.advance(3600);
    w.copy(QStringLiteral("later"));
    QCOMPARE(w.store().items().first().timestamp().secondsSinceReferenceDate() -
                 item.timestamp().secondsSinceReferenceDate(),
             3600 + ClipboardWatcher::kPollIntervalSeconds);
}

void TestClipboardWatcher::sameTextTwiceIsRecordedOnce()
{
    Watched w;
    w.copy(QStringLiteral("  same \n"));
    w.copy(QStringLiteral("  same \n"));
    QCOMPARE(w.store().items().size(), 1);
    QCOMPARE(w.store().items().first().text(),
             std::optional<QString>(QStringLiteral("  same \n"))); // not trimmed
}

void TestClipboardWatcher::canonicallyEqualTextIsADuplicate()
{
    Watched w;
    w.copy(QStringLiteral("caf\u00e9"));
    w.copy(QStringLiteral("cafe\u0301"));
    QCOMPARE(w.store().items().size(), 1);
}

void TestClipboardWatcher::aThenBThenA()
{
    Watched w;
    w.copy(QStringLiteral("A"));
    w.copy(QStringLiteral("B"));
    w.copy(QStringLiteral("A"));
    QCOMPARE(w.labels(w.store().items()),
             (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("A")}));
}

void TestClipboardWatcher::pinnedFrontEntryDoesNotHideDuplicate()
{
    Watched w;
    w.copy(QStringLiteral("other"));
    w.copy(QStringLiteral("A"));
    w.store().togglePin(w.store().items().first().id());
    w.copy(QStringLiteral("A")); // the first unpinned entry holds "other"
    QCOMPARE(w.store().items().size(), 3);
    QVERIFY(!w.store().items().first().isPinned());
}

void TestClipboardWatcher::imagesAndFilesAlwaysRecorded()
{
    Watched w;
    for (int i = 0; i < 2; ++i) {
        w.clipboard.clearContents();
        w.clipboard.setData(QStringLiteral("image/png"), png(Qt::red));
        w.poll();
    }
    for (int i = 0; i < 2; ++i) {
        w.clipboard.clearContents();
        w.clipboard.setUrls(
            {QUrl(QStringLiteral("file:///tmp/a.txt")), QUrl(QStringLiteral("file:///tmp/b.txt"))});
        w.poll();
    }
    QCOMPARE(w.labels(w.store().items()), (QStringList{QStringLiteral("a.txt"), QStringLiteral("a.txt"),
                                                       QStringLiteral("Image"), QStringLiteral("Image")}));
    QCOMPARE(w.store().items().last().image()->size(), QSize(2, 2));
    QCOMPARE(w.store().items().last().detectedLanguage(), DetectedLanguage::plain);
}

void TestClipboardWatcher::handOverIsNotACopy_data()
{
    // Each step: owner (a program's id, 0 for this one) and what it offers;
    // "-" is an empty clipboard (the owner quit, nobody took over yet).
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("recorded"); // newest first
    QTest::newRow("same image, another owner") << "1 red|2 red"
                                               << "Image";
    QTest::newRow("same image, quit in between") << "1 red|0 -|2 red"
                                                 << "Image";
    QTest::newRow("handed on twice") << "1 red|2 red|3 red"
                                     << "Image";
    QTest::newRow("same files, another owner") << "1 files|2 files"
                                               << "a.txt";
    // Copies, not hand-overs.
    QTest::newRow("same image, same owner") << "1 red|1 red"
                                            << "Image|Image";
    QTest::newRow("other image, another owner") << "1 red|2 blue"
                                                << "Image|Image";
    QTest::newRow("text between") << "1 red|2 text|3 red"
                                  << "Image|text|Image";
    QTest::newRow("other files, another owner") << "1 files|2 other"
                                                << "c.txt|a.txt";
    QTest::newRow("our own write first") << "0 red|2 red"
                                         << "Image|Image";
}

void TestClipboardWatcher::handOverIsNotACopy()
{
    QFETCH(QString, steps);
    QFETCH(QString, recorded);
    Watched w;
    for (const QString& step : steps.split(u'|')) {
        const QString what = step.section(u' ', 1);
        w.clipboard.clearContents();
        w.clipboard.setOwner(step.section(u' ', 0, 0).toULongLong());
        if (what == u"red" || what == u"blue")
            w.clipboard.setData(QStringLiteral("image/png"), png(what == u"red" ? Qt::red : Qt::blue));
        else if (what == u"files")
            w.clipboard.setUrls(
                {QUrl(QStringLiteral("file:///tmp/a.txt")), QUrl(QStringLiteral("file:///tmp/b.txt"))});
        else if (what == u"other")
            w.clipboard.setUrls({QUrl(QStringLiteral("file:///tmp/c.txt"))});
        else if (what == u"text")
            w.clipboard.setString(QStringLiteral("text"));
        w.poll();
    }
    QCOMPARE(w.labels(w.store().items()), recorded.split(u'|'));
}

void TestClipboardWatcher::emptyStringFallsThrough()
{
    Watched w;
    w.clipboard.clearContents();
    w.clipboard.setString(QString());
    w.clipboard.setData(QStringLiteral("image/png"), png(Qt::blue));
    w.poll();
    QCOMPARE(w.labels(w.store().items()), QStringList{QStringLiteral("Image")});
}

void TestClipboardWatcher::textWinsOverUrls()
{
    Watched w;
    w.clipboard.clearContents();
    w.clipboard.setUrls({QUrl(QStringLiteral("https://example.com/x"))});
    w.clipboard.setString(QStringLiteral("https://example.com/x"));
    w.poll();
    QCOMPARE(w.store().items().first().type(), ClipboardItemType::text);
    // Any URL is taken when there is no text, not only file URLs.
    w.clipboard.clearContents();
    w.clipboard.setUrls({QUrl(QStringLiteral("https://example.com/page"))});
    w.poll();
    QCOMPARE(w.store().items().first().type(), ClipboardItemType::file);
    QCOMPARE(w.store().items().first().contentLabel(), QStringLiteral("page"));
}

void TestClipboardWatcher::noActiveApplication()
{
    Watched w;
    w.focus.setActiveApplication(std::nullopt);
    w.copy(QStringLiteral("orphan"));
    const ClipboardItem item = w.store().items().first();
    QVERIFY(!item.appName() && !item.appIcon());
    QVERIFY(!w.saved().contains("appName"));
}

void TestClipboardWatcher::twoChangesInOneIntervalAreOne()
{
    Watched w;
    w.clipboard.setString(QStringLiteral("first"));
    w.clipboard.setString(QStringLiteral("second"));
    w.poll();
    QCOMPARE(w.labels(w.store().items()), QStringList{QStringLiteral("second")});
}

void TestClipboardWatcher::secretsAreNotCaptured()
{
    Watched w;
    w.clipboard.clearContents();
    w.clipboard.setString(QStringLiteral("hunter2"));
    w.clipboard.setData(ClipboardWatcher::kSecretHintType, QByteArrayLiteral("secret"));
    w.poll();
    QVERIFY(w.store().items().isEmpty());
    QVERIFY(!w.saved().contains("hunter2"));
    // A hint with another value is no secret.
    w.clipboard.clearContents();
    w.clipboard.setString(QStringLiteral("visible"));
    w.clipboard.setData(ClipboardWatcher::kSecretHintType, QByteArrayLiteral("public"));
    w.poll();
    QCOMPARE(w.store().items().size(), 1);
}

void TestClipboardWatcher::nothingUsableIsSkippedOnce()
{
    Watched w;
    w.clipboard.clearContents();
    w.clipboard.setData(QStringLiteral("application/x-unknown"), QByteArrayLiteral("?"));
    w.poll();
    QVERIFY(w.store().items().isEmpty());
    QCOMPARE(w.watcher().lastChangeCount(), w.clipboard.changeCount());
}

void TestClipboardWatcher::pasteMovesEntryAndNextPollRecordsNothing()
{
    Watched w;
    w.copy(QStringLiteral("one"));
    w.copy(QStringLiteral("two"));
    w.copy(QStringLiteral("three"));
    const QStringList shown = w.labels(w.state().filteredItems());
    w.paster().copyAndPaste(w.state().filteredItems().at(2));
    QCOMPARE(w.store().items().first().contentLabel(), QStringLiteral("one"));
    QCOMPARE(w.labels(w.state().filteredItems()), shown);
    w.poll();
    QCOMPARE(w.store().items().size(), 3);
    QCOMPARE(w.pasteTyper.pasteCount(), 1);
}

void TestClipboardWatcher::pastingPinnedTextRecordsItAgain()
{
    Watched w;
    w.copy(QStringLiteral("pinned"));
    w.store().togglePin(w.store().items().first().id());
    w.copy(QStringLiteral("other"));
    w.paster().copyAndPaste(*std::find_if(w.store().items().cbegin(), w.store().items().cend(),
                                          [](const ClipboardItem& i) { return i.isPinned(); }));
    w.poll();
    QCOMPARE(w.store().items().size(), 3);
    QCOMPARE(w.store().items().first().contentLabel(), QStringLiteral("pinned"));
    QVERIFY(!w.store().items().first().isPinned());
}

void TestClipboardWatcher::pastingImageRecordsItAgain()
{
    Watched w;
    w.clipboard.clearContents();
    w.clipboard.setData(QStringLiteral("image/png"), png(Qt::green));
    w.poll();
    w.paster().copyAndPaste(w.store().items().first());
    QVERIFY(w.clipboard.types().contains(QStringLiteral("image/tiff")));
    w.poll();
    QCOMPARE(w.labels(w.store().items()), (QStringList{QStringLiteral("Image"), QStringLiteral("Image")}));
}

void TestClipboardWatcher::stopsWhenAskedAndWithTheHistory()
{
    Watched w;
    QVERIFY(w.watcher().isMonitoring());
    w.watcher().stopMonitoring();
    QVERIFY(!w.watcher().isMonitoring());
    w.copy(QStringLiteral("ignored"));
    QVERIFY(w.store().items().isEmpty());
    w.watcher().startMonitoring();
    w.history.reset(); // the timer holds the watcher weakly
    w.clipboard.setString(QStringLiteral("late"));
    w.scheduler.advance(5);
    QCOMPARE(w.scheduler.pendingCount(), std::size_t(0));
}

void TestClipboardWatcher::longTextsAreGuessedInBackgroundInOrder()
{
    Watched w;
    w.watcher().setBackgroundDetectionThreshold(5);
    w.copy(QStringLiteral("fn main() {}")); // guessed on a worker thread
    QCOMPARE(w.watcher().pendingCaptureCount(), 1);
    w.copy(QStringLiteral("ok")); // short, but waits behind it
    w.copy(QStringLiteral("ok")); // a duplicate of the newest capture
    QVERIFY(w.store().items().isEmpty());
    QTRY_COMPARE(w.watcher().pendingCaptureCount(), 0);
    w.scheduler.runPending();
    QCOMPARE(w.labels(w.store().items()),
             (QStringList{QStringLiteral("ok"), QStringLiteral("fn main() {}")}));
    QCOMPARE(w.store().items().last().detectedLanguage(), DetectedLanguage::rust);
    QCOMPARE(w.store().items().last().appName(), std::optional<QString>(QStringLiteral("Editor")));

    // Long texts are also compared on the worker: a canonically equal copy
    // of a long front entry, and a short text after a long one.
    const QString composed = QStringLiteral("caf\u00e9 au lait");
    const QString decomposed = QStringLiteral("cafe\u0301 au lait");
    w.copy(composed);
    w.copy(decomposed);
    w.copy(QStringLiteral("ok"));
    QTRY_COMPARE(w.watcher().pendingCaptureCount(), 0);
    w.scheduler.runPending();
    QCOMPARE(w.labels(w.store().items()), (QStringList{QStringLiteral("ok"), composed, QStringLiteral("ok"),
                                                       QStringLiteral("fn main() {}")}));
}

void TestClipboardWatcher::announcedChangesNeedNoPolling()
{
    Fixture f;
    f.clipboard.setAnnouncesChanges(true);
    f.clipboard.setString(QStringLiteral("before"));
    f.watcher().startMonitoring();
    // Nothing ticks while nothing changes.
    QCOMPARE(f.scheduler.pendingCount(), 0u);
    // Each change is looked at right after it; several at once, once.
    f.clipboard.clearContents();
    f.clipboard.setString(QStringLiteral("one"));
    QCOMPARE(f.scheduler.pendingCount(), 1u);
    f.scheduler.runPending();
    QCOMPARE(f.labels(f.store().items()), QStringList{QStringLiteral("one")});
    f.clipboard.setString(QStringLiteral("two"));
    f.scheduler.runPending();
    QCOMPARE(f.labels(f.store().items()), (QStringList{QStringLiteral("two"), QStringLiteral("one")}));
    f.watcher().stopMonitoring();
    QVERIFY(!f.watcher().isMonitoring());
    f.clipboard.setString(QStringLiteral("three"));
    f.scheduler.runPending();
    QCOMPARE(f.store().items().size(), 2);
}

QTEST_GUILESS_MAIN(TestClipboardWatcher)
#include "tst_clipboardwatcher.moc"

void TestClipboardWatcher::slowOwnerIsReadOnceAndLaterChangesAfter()
{
    Watched w;
    w.clipboard.setDeferredReads(true);
    w.copy(QStringLiteral("first"));
    QCOMPARE(w.clipboard.pendingReads(), 1);
    QVERIFY(w.store().items().isEmpty());

    // Polls and further copies while the owner has not answered start no
    // second read of their own.
    w.poll();
    w.focus.setActiveApplication(platform::ApplicationInfo{QStringLiteral("Terminal"), std::nullopt});
    w.copy(QStringLiteral("second"));
    w.copy(QStringLiteral("third"));
    QCOMPARE(w.clipboard.readsStarted(), 1);

    // The answer is recorded with the source of its copy; the changes that
    // came meanwhile are read at once, one read for all of them.
    w.clipboard.answerRead();
    w.scheduler.runPending();
    QCOMPARE(w.store().items().size(), 1);
    QCOMPARE(w.store().items().front().appName(), QStringLiteral("Editor"));
    QCOMPARE(w.clipboard.readsStarted(), 2);
    w.clipboard.answerRead();
    w.scheduler.runPending();
    QCOMPARE(w.store().items().size(), 2);
    QCOMPARE(w.store().items().front().text(), QStringLiteral("third"));
    QCOMPARE(w.store().items().front().appName(), QStringLiteral("Terminal"));
    w.poll();
    QCOMPARE(w.clipboard.pendingReads(), 0);
}
