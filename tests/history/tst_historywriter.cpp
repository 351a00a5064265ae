// Saves on the writer thread: the same bytes as before, bursts coalesced,
// nothing lost at the end.
#include "HistoryFile.h"
#include "HistoryWriter.h"
#include "TestSupport.h"
#include "Worker.h"

#include <QJsonDocument>
#include <QLocale>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace ondrel;

namespace {

ClipboardItem textItem(const QString& text, double seconds, std::optional<QString> app, bool pinned)
{
    return ClipboardItem::makeText(text, std::move(app), std::nullopt,
                                   Timestamp::fromSecondsSinceReferenceDate(seconds), pinned);
}

// The file format written member by member, the way it always was: the
// cached encoding must give these bytes exactly.
QByteArray referenceEncoding(const QList<ClipboardItem>& items)
{
    auto quoted = [](const QString& s) {
        QByteArray out = "\"";
        for (const char c : s.toUtf8()) {
            const auto u = static_cast<unsigned char>(c);
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '/':
                out += "\\/";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += u < 0x20 ? QByteArray("\\u00") + QByteArray::number(u, 16).rightJustified(2, '0')
                                : QByteArray(1, c);
            }
        }
        return out + '"';
    };
    QByteArray out = "[";
    for (const ClipboardItem& item : items) {
        if (item.type() != ClipboardItemType::text)
            continue;
        if (out.size() > 1)
            out += ',';
        out += "{\"text\":" + quoted(*item.text()) + ",\"timestamp\":" +
               QByteArray::number(item.timestamp().secondsSinceReferenceDate(), 'g',
                                  QLocale::FloatingPointShortest);
        if (item.appName())
            out += ",\"appName\":" + quoted(*item.appName());
        out += QByteArray(",\"isPinned\":") + (item.isPinned() ? "true" : "false") + '}';
    }
    return out + ']';
}

QList<ClipboardItem> variedHistory()
{
    QRandomGenerator random(12);
    const QStringList texts{QStringLiteral("plain"), QStringLiteral("a/b \"q\" \\ back"),
                            QStringLiteral("tab\tnew\nline\r\u0001\u001f"), QStringLiteral("ünïcödé ✓ 😀"),
                            QStringLiteral("<script>alert(1)</script>"), QString(4096, u'x'),
                            // Long texts are held in the file's form.
                            QStringLiteral("\u00e9/\"\\\t\u0001\U0001F600 </script>").repeated(300),
                            QString(70000, u'\u00e9') + u'"'};
    QList<ClipboardItem> items;
    for (int i = 0; i < 60; ++i) {
        const bool withApp = i % 3 != 0;
        items.append(
            textItem(texts[i % texts.size()] + QString::number(i), i * 1.25 + (i % 7) * 1e-3,
                     withApp ? std::optional<QString>(QStringLiteral("App \"%1\"").arg(i % 4)) : std::nullopt,
                     random.bounded(2) == 1));
    }
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
    void writesTheSameBytesAsEver();
    void burstIsOneWrite();
    void pendingListIsWrittenAtTheEnd();
};

void TestHistoryWriter::writesTheSameBytesAsEver()
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    platform::Worker worker("test");
    HistoryWriter writer(file, worker);
    QList<ClipboardItem> items = variedHistory();
    // Integral timestamps are written without a fraction by both.
    QVERIFY(referenceEncoding({items.first()}).contains("\"timestamp\":0,"));
    writer.save(items);
    writer.flush();
    QCOMPARE(test::readFile(file.filePath()), referenceEncoding(items));
    // The pin is not part of what is cached.
    for (int i = 0; i < items.size(); i += 2)
        items[i].setPinned(!items[i].isPinned());
    writer.save(items);
    writer.flush();
    QCOMPARE(test::readFile(file.filePath()), referenceEncoding(items));
    QVERIFY(!QJsonDocument::fromJson(test::readFile(file.filePath())).isNull());
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
    items.append(textItem(QStringLiteral("first"), 0, std::nullopt, false));
    writer.save(items);
    QVERIFY(entered.tryAcquire(1, 10000)); // the first write is under way
    for (int i = 0; i < 50; ++i) {
        items.prepend(textItem(QStringLiteral("burst %1").arg(i), i, std::nullopt, false));
        writer.save(items);
    }
    release.release(2);
    writer.flush();
    QCOMPARE(writer.writeCount(), 2); // the first, then the newest of the burst
    QCOMPARE(test::readFile(file.filePath()), referenceEncoding(items));
}

void TestHistoryWriter::pendingListIsWrittenAtTheEnd()
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    const QList<ClipboardItem> items{textItem(QStringLiteral("last words"), 3, std::nullopt, true)};
    {
        platform::Worker worker("test");
        HistoryWriter writer(file, worker);
        writer.save(items);
    }
    QCOMPARE(test::readFile(file.filePath()), referenceEncoding(items));
}

QTEST_GUILESS_MAIN(TestHistoryWriter)
#include "tst_historywriter.moc"
