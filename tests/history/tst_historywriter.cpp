// Saves on the writer thread: the same bytes as before, bursts coalesced,
// nothing lost at the end.
#include "HistoryFixture.h"
#include "HistoryWriter.h"
#include "Worker.h"

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
    items.insert(9, ClipboardItem::makeFile(QUrl::fromLocalFile(QStringLiteral("/tmp/f"))));
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

QTEST_GUILESS_MAIN(TestHistoryWriter)
#include "tst_historywriter.moc"
