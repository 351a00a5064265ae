// Saves on the writer thread: the same bytes as before, bursts coalesced,
// nothing lost at the end.
#include "HistoryFixture.h"
#include "HistoryWriter.h"
#include "Worker.h"

#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

using namespace ondrel;

namespace {

// Short texts, long ones (held in the file's form), with and without a
// source, and entries that are not written.
QList<ClipboardItem> variedHistory()
{
    QList<ClipboardItem> items;
    for (int i = 0; i < 40; ++i)
        items.append(
            test::textItem(i % 4 ? QStringLiteral("entry \"%1\"").arg(i) : QString(5000, u'\u00e9') + u'/',
                           i * 1.25, i % 3 ? std::optional(QStringLiteral("App")) : std::nullopt, i % 2));
    items.insert(5, ClipboardItem::makeImage(QImage(2, 2, QImage::Format_RGB32)));
    items.insert(9, ClipboardItem::makeFile({QUrl::fromLocalFile(QStringLiteral("/tmp/f"))}));
    return items;
}

} // namespace

class TestHistoryWriter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void writesWhatTheFileHolds();
    void burstIsOneWrite();
    void fullDiskSavesWhatFitsUntilRoomReturns();
};

void TestHistoryWriter::writesWhatTheFileHolds()
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    platform::Worker worker("test");
    HistoryWriter writer(file, worker);
    QList<ClipboardItem> items = variedHistory();
    writer.save(items);
    writer.flush();
    QCOMPARE(test::readFile(file.filePath()), HistoryFile::encode(items));
    QVERIFY(HistoryFile::decode(test::readFile(file.filePath())));
    // Pins changed after the first save are written as they are now.
    for (int i = 0; i < items.size(); i += 2)
        items[i].setPinned(!items[i].isPinned());
    writer.save(items);
    writer.flush();
    QCOMPARE(test::readFile(file.filePath()), HistoryFile::encode(items));
    // What is still to be written when a writer goes is written.
    {
        platform::Worker lastWorker("test-last");
        HistoryWriter last(file, lastWorker);
        last.save(items.mid(3));
    }
    QCOMPARE(test::readFile(file.filePath()), HistoryFile::encode(items.mid(3)));
}

void TestHistoryWriter::burstIsOneWrite()
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    QSemaphore entered;
    QSemaphore release;
    platform::Worker worker("test");
    HistoryWriter writer(file, worker, [&] {
        entered.release();
        release.acquire();
    });
    QList<ClipboardItem> items;
    items.append(test::textItem(QStringLiteral("first"), 0));
    writer.save(items);
    QVERIFY(entered.tryAcquire(1, 10000)); // the first write is under way
    for (int i = 0; i < 50; ++i) {
        items.prepend(test::textItem(QStringLiteral("burst %1").arg(i), i));
        writer.save(items);
    }
    release.release(2);
    writer.flush();
    QCOMPARE(writer.writeCount(), 2); // the first, then the newest of the burst
    QCOMPARE(test::readFile(file.filePath()), HistoryFile::encode(items));
}

void TestHistoryWriter::fullDiskSavesWhatFitsUntilRoomReturns()
{
    test::Fixture f;
    test::SmallDisk disk(f.file.folder(), "1m");
    if (!disk.mounted())
        QSKIP("needs root to mount a small file system");
    // One line when saving starts failing, one when it works again; none per retry.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "^Could not save history to .*: No space left on device$")));
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^History saved again to ")));
    const ClipboardItem big = f.add(QString(2 * 1024 * 1024, u'b'));
    QList<ClipboardItem> small;
    for (int i = 0; i < 5; ++i)
        small.prepend(f.add(QStringLiteral("small %1").arg(i), 0, i == 0));
    f.store().waitForSaves();
    QTRY_COMPARE(f.store().notSavedText(), QStringLiteral("History not saved: no space left on device"));
    QVERIFY(!f.store().isSaved(big.id()));
    for (const ClipboardItem& item : small)
        QVERIFY(f.store().isSaved(item.id()));
    // What a restart finds: every entry but the big one, pins kept.
    const auto texts = [](const QList<ClipboardItem>& items) {
        QStringList out;
        for (const ClipboardItem& item : items)
            out << item.text().value_or(QString()).left(8) +
                       (item.isPinned() ? QStringLiteral("+") : QString());
        return out;
    };
    HistoryFile restarted(f.file.folder());
    QStringList expected = texts(f.store().items());
    expected.removeAll(QStringLiteral("bbbbbbbb"));
    QCOMPARE(texts(restarted.load()), expected);

    // Retries while there is no room write nothing new and say nothing more.
    f.scheduler.advance(HistoryStore::kSaveRetryLongestSeconds);
    f.store().waitForSaves();
    QCoreApplication::processEvents();
    QCOMPARE(texts(restarted.load()), expected);
    // Room again: the next retry saves everything, by itself.
    QVERIFY(disk.resize("8m"));
    f.scheduler.advance(HistoryStore::kSaveRetryLongestSeconds);
    f.store().waitForSaves();
    QTRY_VERIFY(f.store().isSaved(big.id()));
    QCOMPARE(f.store().notSavedText(), QString());
    QCOMPARE(texts(restarted.load()), texts(f.store().items()));
}

QTEST_GUILESS_MAIN(TestHistoryWriter)
#include "tst_historywriter.moc"
