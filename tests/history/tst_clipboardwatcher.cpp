#include "ClipboardWatcher.h"
#include "HistoryFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace ondrel;
using test::Fixture;
using test::png;
using test::Watched;

namespace {
// A row of two texts: what is done or offered, and what is recorded.
void row(const char* name, const char* steps, const char* recorded)
{
    QTest::newRow(name) << QString::fromUtf8(steps) << QString::fromUtf8(recorded);
}
} // namespace

class TestClipboardWatcher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void textWithSource();
    void duplicates_data();
    void duplicates();
    void leftOut_data();
    void leftOut();
    void pauseIsAnnouncedWithItsEnd();
    void handOverIsNotACopy_data();
    void handOverIsNotACopy();
    void contents_data();
    void contents();
    void longTextsAreGuessedInBackgroundInOrder();
    void contentsAtStartAreNotCapturedAndChangesAnnounced();
    void slowOwnerIsReadOnceAndLaterChangesAfter();
};

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
    w.focus.setActiveApplication(std::nullopt);
    w.copy(QStringLiteral("later"));
    const ClipboardItem later = w.store().items().first();
    QCOMPARE(later.timestamp().secondsSinceReferenceDate() - item.timestamp().secondsSinceReferenceDate(),
             3600 + ClipboardWatcher::kPollIntervalSeconds);
    // Without an active application, no source.
    QVERIFY(!later.appName() && !later.appIcon());
    QCOMPARE(w.saved().count("appName"), 1);
}

void TestClipboardWatcher::duplicates_data()
{
    // Steps and what is recorded as Watched::run() takes and gives them.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("recorded");
    row("same text twice, not trimmed", "  same \n,  same \n", "  same \n");
    row("canonically equal", "caf\u00e9,cafe\u0301", "caf\u00e9");
    row("A, B, A", "A,B,A", "A,B,A");
    row("pinned newest hides no duplicate", "other,A,(pin),A", "A,*A,other");
    row("two changes in one interval", "first|second", "second");
    row("images and files always", "(image),(image),(files),(files)", "a.txt,a.txt,Image,Image");
    // A copy-out moves its entry to the front; the next poll records nothing...
    row("copy-out", "one,two,three,(paste 2)", "one,three,two");
    // ... but a pinned text or an image copied out is recorded again.
    row("copy-out of pinned text", "pinned,(pin),other,(paste 0)", "pinned,other,*pinned");
    row("copy-out of an image", "(image),(paste 0)", "Image,Image");
}

void TestClipboardWatcher::duplicates()
{
    QFETCH(QString, steps);
    QFETCH(QString, recorded);
    QCOMPARE(Watched().run(steps), recorded);
}

void TestClipboardWatcher::leftOut_data()
{
    // Steps and what is recorded as Watched::run() takes and gives them;
    // the console line said, and whether the program that made the last
    // copy may leave it to the clipboard keeper when it quits.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("kept");
    const auto row = [](const char* name, const char* steps, const char* recorded, bool kept,
                        const char* said = "") {
        QTest::newRow(name) << QString::fromUtf8(steps) << QString::fromUtf8(recorded)
                            << QString::fromUtf8(said) << kept;
    };
    row("paused until resumed", "one,(pause),two,(resume),three", "three,one", true);
    row("paused copy not kept", "one,(pause),two", "one", false);
    row("copied while paused, looked at after resume", "(pause),~during,(resume),(wait 1)", "", true);
    row("timed pause ends by itself", "(pause 300),during,(wait 298),still,(wait 2),after", "after", true);
    row("a later pause replaces a timed one", "(pause 60),(pause),(wait 120),during", "", false);
    row("zero seconds resume", "(pause),(pause 0),after", "after", true);
    row("excluded by an id, any case",
        "(exclude ORG.KEEPASSXC.KEEPASSXC),(from KeePassXC keepassxc org.keepassxc.KeePassXC),"
        "password,(from Editor editor),text",
        "text", true);
    row("excluded by the name the history shows",
        "(exclude firefox_web_browser),(from Firefox_Web_Browser firefox),page", "", false);
    row("excluded, not others", "(exclude term),(from Terminal term),x,(from),y,(from Editor),z", "z,y",
        true);
    row("larger than the limit", "(limit 8),short,longer than 8", "short", true,
        "ondrel: not recording a copy from Editor: larger than the 8 bytes limit (setting "
        "history/maxEntryBytes)");
    row("image larger than the limit, no source", "(limit 16),(from),(image),(limit 1024),(image)", "Image",
        true, "ondrel: not recording a copy: larger than the 16 bytes limit (setting history/maxEntryBytes)");
    row("0: the limit of every read", "(limit 0),longer than 8", "longer than 8", true);
}

void TestClipboardWatcher::leftOut()
{
    QFETCH(QString, steps);
    QFETCH(QString, recorded);
    QFETCH(QString, said);
    QFETCH(bool, kept);
    if (!said.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, said.toUtf8().constData());
    Watched w;
    QCOMPARE(w.run(steps), recorded);
    QCOMPARE(w.clipboard.mayKeep(), kept);
}

void TestClipboardWatcher::pauseIsAnnouncedWithItsEnd()
{
    Watched w;
    QSignalSpy changed(&w.watcher(), &ClipboardWatcher::pausedChanged);
    const double start = w.scheduler.secondsSinceEpoch();
    w.watcher().pause(std::chrono::minutes(5));
    QVERIFY(w.watcher().isPaused());
    QCOMPARE(w.watcher().pausedUntil(), Timestamp::fromSecondsSinceEpoch(start + 300));
    w.scheduler.advance(300);
    QVERIFY(!w.watcher().isPaused());
    QCOMPARE(w.watcher().pausedUntil(), std::nullopt);
    w.watcher().pause();
    QCOMPARE(w.watcher().pausedUntil(), std::nullopt);
    w.watcher().resume();
    w.watcher().resume(); // not paused: nothing changes
    QCOMPARE(changed.count(), 4);
}

void TestClipboardWatcher::handOverIsNotACopy_data()
{
    // Each step: owner (a program's id, 0 for this one) and what it offers;
    // "-" is an empty clipboard (the owner quit, nobody took over yet).
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("recorded"); // newest first
    row("same image, quit in between", "1 red|0 -|2 red", "Image");
    row("handed on twice", "1 red|0 -|2 red|0 -|3 red", "Image");
    row("same files, quit in between", "1 files|0 -|2 files", "a.txt");
    row("new owner with the old id", "1 red|0 -|1 red", "Image");
    row("read again from the keeper", "1 red|0 -|2 red|2 red", "Image");
    row("saved before it is handed on", "1 large|saved|0 -|2 large", "Image");
    // Copies, not hand-overs.
    row("same image, another owner", "1 red|2 red", "Image|Image");
    row("same files, another owner", "1 files|2 files", "a.txt|a.txt");
    row("same image, same owner", "1 red|1 red", "Image|Image");
    row("text between", "1 red|0 -|2 text|3 red", "Image|text|Image");
    row("other files, another owner", "1 files|0 -|2 other", "c.txt|a.txt");
    row("our own write first", "0 red|0 -|2 red", "Image|Image");
}

void TestClipboardWatcher::handOverIsNotACopy()
{
    QFETCH(QString, steps);
    QFETCH(QString, recorded);
    Watched w;
    for (const QString& step : steps.split(u'|')) {
        if (step == u"saved") { // the entry keeps only its thumbnail now
            w.store().waitForSaves();
            QCoreApplication::sendPostedEvents();
            QVERIFY(w.store().items().first().storedImage());
            continue;
        }
        const QString what = step.section(u' ', 1);
        w.clipboard.clearContents();
        w.clipboard.setOwner(step.section(u' ', 0, 0).toULongLong());
        if (what == u"red" || what == u"blue")
            w.clipboard.setData(QStringLiteral("image/png"), png(what == u"red" ? Qt::red : Qt::blue));
        else if (what == u"large")
            w.clipboard.setData(QStringLiteral("image/png"),
                                test::encodedImage(test::filledImage(QSize(200, 100), Qt::red)));
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

void TestClipboardWatcher::contents_data()
{
    // What one copy offers ("text", "urls" or a type, "=" its value; entries
    // split at ","), and what is recorded ("type label"; nothing: empty).
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("recorded");
    row("empty text falls through", "text=,image/png=blue", "image Image");
    row("text wins over urls", "urls=https://example.com/x,text=https://example.com/x",
        "text https://example.com/x");
    row("any url without text", "urls=https://example.com/page", "file page");
    row("secret", "text=hunter2,x-kde-passwordManagerHint=secret", "");
    row("another hint is no secret", "text=visible,x-kde-passwordManagerHint=public", "text visible");
    row("nothing usable", "application/x-unknown=?", "");
}

void TestClipboardWatcher::contents()
{
    QFETCH(QString, offered);
    QFETCH(QString, recorded);
    Watched w;
    w.clipboard.clearContents();
    for (const QString& entry : offered.split(u',')) {
        const QString type = entry.section(u'=', 0, 0);
        const QString value = entry.section(u'=', 1);
        if (type == u"text")
            w.clipboard.setString(value);
        else if (type == u"urls")
            w.clipboard.setUrls({QUrl(value)});
        else
            w.clipboard.setData(type, type == u"image/png" ? png(Qt::blue) : value.toUtf8());
    }
    w.poll();
    QStringList items;
    for (const ClipboardItem& item : w.store().items()) {
        items << caseName(item.type()) + u' ' + item.contentLabel();
        // The row's picture is made before the entry arrives, not by the row.
        QCOMPARE(item.hasThumbnail(), item.type() == ClipboardItemType::image);
    }
    QCOMPARE(items.join(u'|'), recorded);
    // Looked at once, whatever it held.
    QCOMPARE(w.watcher().lastChangeCount(), w.clipboard.changeCount());
}

void TestClipboardWatcher::longTextsAreGuessedInBackgroundInOrder()
{
    Watched w;
    w.watcher().setBackgroundDetectionThreshold(5);
    w.settle = false;
    // Guessed on a worker thread, and kept with its HTML.
    const QByteArray html = "<code>fn main() {}</code>";
    w.clipboard.clearContents();
    w.clipboard.setString(QStringLiteral("fn main() {}"), {{QStringLiteral("text/html"), html}});
    w.poll();
    QCOMPARE(w.watcher().pendingCaptureCount(), 1);
    w.copy(QStringLiteral("ok")); // short, but waits behind it
    w.copy(QStringLiteral("ok")); // a duplicate of the newest capture
    QVERIFY(w.store().items().isEmpty());
    QTRY_COMPARE(w.watcher().pendingCaptureCount(), 0);
    w.scheduler.runPending();
    QCOMPARE(w.labels(w.store().items()),
             (QStringList{QStringLiteral("ok"), QStringLiteral("fn main() {}")}));
    QCOMPARE(w.store().items().last().detectedLanguage(), DetectedLanguage::rust);
    QCOMPARE(w.store().items().last().formats().value(0).bytes, html);
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

void TestClipboardWatcher::contentsAtStartAreNotCapturedAndChangesAnnounced()
{
    // What was there at start is no copy, polled...
    Fixture polled;
    polled.clipboard.setString(QStringLiteral("before launch"));
    polled.watcher().startMonitoring();
    polled.scheduler.advance(2);
    QVERIFY(polled.store().items().isEmpty());
    polled.clipboard.setString(QStringLiteral("after"));
    polled.scheduler.advance(0.5);
    QCOMPARE(polled.labels(polled.store().items()), QStringList{QStringLiteral("after")});
    // Stopped, it records nothing; gone, its timer does not come back.
    polled.watcher().stopMonitoring();
    QVERIFY(!polled.watcher().isMonitoring());
    polled.clipboard.setString(QStringLiteral("ignored"));
    polled.scheduler.advance(2);
    QCOMPARE(polled.store().items().size(), 1);
    polled.watcher().startMonitoring();
    polled.history.reset();
    polled.clipboard.setString(QStringLiteral("late"));
    polled.scheduler.advance(5);
    QCOMPARE(polled.scheduler.pendingCount(), 0u);
    // ... or with changes announced.
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

QTEST_GUILESS_MAIN(TestClipboardWatcher)
#include "tst_clipboardwatcher.moc"
