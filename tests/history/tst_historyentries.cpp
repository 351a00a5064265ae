#include "HistoryFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace ondrel;
using test::textItem;

namespace {

ClipboardItem imageItem(QColor colour, double seconds, const char* format = "PNG")
{
    const QImage image = test::filledImage(QSize(4, 3), colour);
    const QString type = QStringLiteral("image/") + QString::fromLatin1(format).toLower();
    return ClipboardItem::makeImage(image, QStringLiteral("Paint"), std::nullopt,
                                    Timestamp::fromSecondsSinceReferenceDate(seconds),
                                    platform::EncodedImage{type, test::encodedImage(image, format)});
}

ClipboardItem fileItem(double seconds)
{
    return ClipboardItem::makeFile(
        {QUrl(QStringLiteral("file:///tmp/a b.txt")), QUrl(QStringLiteral("file:///tmp/c"))},
        QStringLiteral("Files"), std::nullopt, Timestamp::fromSecondsSinceReferenceDate(seconds));
}

// "label" per entry, "*" before a pinned one, "+html" after a text with its HTML.
QStringList described(const QList<ClipboardItem>& items)
{
    QStringList out;
    for (const ClipboardItem& item : items) {
        QString label = item.type() == ClipboardItemType::image
                            ? QStringLiteral("image %1").arg(item.image()->pixelColor(0, 0).name())
                            : item.previewText();
        if (!item.formats().isEmpty())
            label += u'+' + item.formats().first().type.section(u'/', 1);
        out << (item.isPinned() ? u'*' + label : label);
    }
    return out;
}

QStringList dataFiles(const QString& folder)
{
    return QDir(folder + QStringLiteral("/data")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

constexpr const char* kWriterMode = "ONDREL_TEST_KEEP_SAVING";

// The child of killedWhileSaving: saves histories with new images until killed.
int keepSaving(const QString& folder)
{
    HistoryFile file(folder);
    QList<ClipboardItem> items{textItem(QStringLiteral("kept"), 1, std::nullopt, true)};
    for (int n = 0;; ++n) {
        items.prepend(imageItem(QColor::fromHsv(n % 360, 255, 255), 10 + n));
        if (items.size() > 6)
            items.removeAt(items.size() - 2); // the oldest image: its file goes
        if (!file.save(items))
            return 1;
        std::fputs("saved\n", stdout);
        std::fflush(stdout);
    }
}

} // namespace

class TestHistoryEntries : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void load_data();
    void load();
    void olderVersionsHistoryStaysTheSame();
    void savedImageFromCaptureToDelete();
    void killedWhileSaving();
};

void TestHistoryEntries::load_data()
{
    // A history saved, then changed on disk as named; what loads, and the
    // console line it takes.
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("loaded"); // "|" between entries
    QTest::addColumn<QString>("said");
    const QString all =
        QStringLiteral("*pinned|image #00ff00|rich+html|*image #ff0000|a b.txt + 1 more|plain");
    QTest::newRow("nothing: order, pins, ids") << "" << all << "";
    const char* mismatch = "does not match .*history.json.*placed after the texts they followed";
    QTest::newRow("history.json of an older version")
        << "texts rewritten"
        << "plain|*pinned|image #00ff00|*image #ff0000|a b.txt + 1 more" << mismatch;
    QTest::newRow("index one save behind: forms and order kept")
        << "index behind" << QStringLiteral("new|") + all << mismatch;
    QTest::newRow("thumbnail cannot be written: the image stays")
        << "thumbnail unwritable" << all << "Could not save images and other forms";
    QTest::newRow("image file missing") << "remove red"
                                        << "*pinned|image #00ff00|rich+html|a b.txt + 1 more|plain"
                                        << "File .*data/.*\\.bmp is missing; the image entry is dropped";
    QTest::newRow("image file corrupt") << "garble red"
                                        << "*pinned|image #00ff00|rich+html|a b.txt + 1 more|plain"
                                        << "File .*data/.*\\.bmp cannot be read; the image entry is dropped";
    QTest::newRow("HTML file missing")
        << "remove html"
        << "*pinned|image #00ff00|rich|*image #ff0000|a b.txt + 1 more|plain"
        << "File .*data/.*-0 is missing; the text/html form of a text is dropped";
    QTest::newRow("thumbnail missing: made again") << "remove thumbnail" << all << "";
    QTest::newRow("orphans of a kill go, other files stay") << "orphans" << all << "";
    QTest::newRow("index unreadable: texts load, nothing is removed") << "garble index"
                                                                      << "*pinned|rich|plain"
                                                                      << "Entry index .* is not loaded";
}

void TestHistoryEntries::load()
{
    QFETCH(QString, change);
    QFETCH(QString, loaded);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/ondrel");
    ClipboardItem red = imageItem(Qt::red, 40, "BMP");
    red.setPinned(true);
    const ClipboardItem rich =
        textItem(QStringLiteral("rich"), 50)
            .withFormats({{QStringLiteral("text/html"), QByteArrayLiteral("<b>rich</b>")}});
    const QList<ClipboardItem> items{textItem(QStringLiteral("pinned"), 10, QStringLiteral("Editor"), true),
                                     imageItem(Qt::green, 60),
                                     rich,
                                     red,
                                     fileItem(30),
                                     textItem(QStringLiteral("plain"), 20)};
    QVERIFY(HistoryFile(folder).save(items));
    const QString data = folder + QStringLiteral("/data/");
    const QString redFile = data + red.id().toString(QUuid::WithoutBraces) + QStringLiteral(".bmp");
    const QString htmlFile = data + rich.id().toString(QUuid::WithoutBraces) + QStringLiteral("-0");
    QVERIFY(QFile::exists(redFile) && QFile::exists(htmlFile));
    QCOMPARE(test::readFile(redFile), red.encodedImage()->bytes); // as copied, not made PNG
    QCOMPARE(test::unixMode(redFile), 0600);
    QStringList keptFiles = dataFiles(folder);
    const QString redThumbnail = red.id().toString(QUuid::WithoutBraces) + QStringLiteral(".thumb");
    QVERIFY(keptFiles.contains(redThumbnail));
    const QString orphan = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QStringList foreign{QStringLiteral("notes.txt"), orphan + QStringLiteral(".png.bak")};
    if (change == u"texts rewritten") {
        QFile::remove(folder + QStringLiteral("/history.json"));
        QVERIFY(HistoryFile(folder + QStringLiteral("/old")).save({items[5], items[0]}));
        QVERIFY(QFile::rename(folder + QStringLiteral("/old/history.json"),
                              folder + QStringLiteral("/history.json")));
        keptFiles.removeOne(htmlFile.mid(data.size()));
    } else if (change == u"remove red" || change == u"remove html") {
        QVERIFY(QFile::remove(change.endsWith(u"red") ? redFile : htmlFile));
        keptFiles = dataFiles(folder);
        keptFiles.removeOne(redThumbnail); // of no use without its image
        if (change.endsWith(u"html"))
            keptFiles = dataFiles(folder);
    } else if (change == u"index behind") {
        // Cut off between the two files: history.json has a text the index lacks.
        const QString index = folder + QStringLiteral("/entries.json");
        const QByteArray before = test::readFile(index);
        QVERIFY(HistoryFile(folder).save(QList<ClipboardItem>{textItem(QStringLiteral("new"), 70)} + items));
        QVERIFY(test::writeFile(index, before));
    } else if (change == u"remove thumbnail" || change == u"thumbnail unwritable") {
        QVERIFY(QFile::remove(data + redThumbnail));
        keptFiles.removeOne(redThumbnail);
        // A folder in its place: the thumbnail made again cannot be written.
        if (change == u"thumbnail unwritable")
            QVERIFY(QDir(data).mkdir(redThumbnail));
    } else if (change == u"garble red") {
        QFile garbled(redFile);
        QVERIFY(garbled.open(QIODevice::ReadWrite));
        garbled.write(QByteArray(int(garbled.size()), 'x'));
        keptFiles.removeOne(redFile.mid(data.size()));
        keptFiles.removeOne(redThumbnail);
    } else if (change == u"orphans") {
        for (const QString& name :
             foreign + QStringList{orphan + QStringLiteral(".png"), orphan + QStringLiteral("-3"),
                                   u'.' + orphan + QStringLiteral(".png.ondrel-partial-aB3xYz")})
            QVERIFY(test::writeFile(data + name, "x"));
        keptFiles = (keptFiles + foreign);
        keptFiles.sort();
    } else if (change == u"garble index") {
        QVERIFY(test::writeFile(folder + QStringLiteral("/entries.json"), "{\"entries\":"));
    }
    const bool sayOnSave = said.startsWith(u"Could not save");
    if (!said.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(said));
    HistoryFile file(folder);
    const QList<ClipboardItem> got = file.load();
    QCOMPARE(described(got).join(u'|'), loaded);
    QCOMPARE(dataFiles(folder), keptFiles);
    if (change.isEmpty()) {
        for (qsizetype i = 0; i < items.size(); ++i)
            QCOMPARE(got[i].id(), items[i].id());
        QCOMPARE(got[2].formats().first().bytes, QByteArrayLiteral("<b>rich</b>"));
        QCOMPARE(got[3].imageBytes()->bytes, red.encodedImage()->bytes);
        QCOMPARE(got[3].imageSize(), QSize(4, 3));
        QCOMPARE(got[4].fileURLs(), items[4].fileURLs());
        QCOMPARE(got[4].appName(), items[4].appName());
    }
    // What loads is what the next save keeps, and loads the same again.
    QCOMPARE(bool(file.save(got)), !sayOnSave);
    QCOMPARE(described(HistoryFile(folder).load()).join(u'|'), loaded);
    // A moved-aside index keeps the files it names.
    QCOMPARE(QFile::exists(data + redThumbnail), loaded.contains(u"ff0000") || change == u"garble index");
}

void TestHistoryEntries::olderVersionsHistoryStaysTheSame()
{
    // Written by a version that knew texts only; with texts only, written
    // back byte for byte and nothing beside it.
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/ondrel");
    const QByteArray old = test::readFile(QStringLiteral(ONDREL_TEST_DATA "/history-texts.json"));
    QVERIFY(!old.isEmpty());
    QVERIFY(QDir().mkpath(folder) && test::writeFile(folder + QStringLiteral("/history.json"), old));
    HistoryFile file(folder);
    QList<ClipboardItem> items = file.load();
    QCOMPARE(items.size(), 3);
    QVERIFY(file.save(items));
    QCOMPARE(test::readFile(file.filePath()), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("history.json")});
    // With an image among them, history.json is still what the older
    // version reads: the same bytes.
    items.insert(1, imageItem(Qt::blue, 5));
    QVERIFY(file.save(items));
    QCOMPARE(test::readFile(file.filePath()), old);
    QCOMPARE(described(HistoryFile(folder).load()).at(1), QStringLiteral("image #0000ff"));
}

void TestHistoryEntries::savedImageFromCaptureToDelete()
{
    test::Fixture f;
    const ClipboardItem pinned = imageItem(Qt::red, 1);
    const ClipboardItem rich = textItem(QStringLiteral("rich"), 2)
                                   .withFormats({{QStringLiteral("text/html"), QByteArrayLiteral("<i>r</i>")},
                                                 {QStringLiteral("text/rtf"), "{\\rtf1 r}"}});
    for (const ClipboardItem& item : {pinned, imageItem(Qt::blue, 3), rich})
        f.store().addItem(item);
    f.scheduler.runPending();
    f.store().togglePin(pinned.id());
    f.store().waitForSaves();
    QCOMPARE(dataFiles(f.dir.path() + QStringLiteral("/ondrel")).size(),
             6); // images and thumbnails, HTML, RTF
    // Once saved, an image keeps only its thumbnail in memory, and its pin.
    QTRY_VERIFY(f.store().items().last().storedImage());
    QVERIFY(f.store().items().last().isPinned());
    const ClipboardItem big =
        ClipboardItem::makeImage(test::filledImage(QSize(640, 480), Qt::darkCyan, QImage::Format_RGB32));
    f.store().addItem(big);
    f.scheduler.runPending();
    QTRY_VERIFY(f.store().items().first().storedImage());
    QCOMPARE(f.store().items().first().image()->size(), QSize(85, 64));
    QCOMPARE(f.store().items().first().imageSize(), QSize(640, 480));
    QCOMPARE(QImage::fromData(f.store().items().first().imageBytes()->bytes), *big.image());
    // Copied out, it is read from disk off the GUI thread and offered
    // whole, with the paste after it; a copy made meanwhile wins.
    QVERIFY(f.paster().copyAndPaste(f.store().items().first()));
    QCOMPARE(f.pasteTyper.pasteCount(), 0);
    QTRY_COMPARE(f.clipboard.image(), std::optional(*big.image()));
    f.scheduler.advance(EntryPaster::kPasteDelaySeconds);
    f.scheduler.runPending();
    QCOMPARE(f.pasteTyper.pasteCount(), 1);
    // Reads end in the order they began: the last one's write is the end.
    QVERIFY(f.paster().copy(f.store().items().last()));
    QVERIFY(f.store().items().last().storedImage());
    QVERIFY(f.paster().copy(textItem(QStringLiteral("meanwhile"), 9)));
    const qint64 changes = f.clipboard.changeCount();
    QVERIFY(f.paster().copy(f.store().items().first()));
    QTRY_COMPARE(f.clipboard.image(), std::optional(*big.image()));
    QCOMPARE(f.clipboard.changeCount() - changes, 2); // emptied, then the image
    f.store().deleteItem(big.id());
    f.store().deleteItem(rich.id());
    f.store().waitForSaves();
    QCOMPARE(dataFiles(f.dir.path() + QStringLiteral("/ondrel")).size(), 4);
    f.store().clearUnpinned();
    f.store().waitForSaves();
    QCOMPARE(dataFiles(f.dir.path() + QStringLiteral("/ondrel")),
             (QStringList{pinned.id().toString(QUuid::WithoutBraces) + QStringLiteral(".png"),
                          pinned.id().toString(QUuid::WithoutBraces) + QStringLiteral(".thumb")}));
    f.store().deleteItem(pinned.id());
    f.store().waitForSaves();
    QCOMPARE(dataFiles(f.dir.path() + QStringLiteral("/ondrel")), QStringList());
    QVERIFY(!QFile::exists(f.dir.path() + QStringLiteral("/ondrel/entries.json")));
}

void TestHistoryEntries::killedWhileSaving()
{
    // A real process saving without pause, killed at whatever point of a
    // save it is in: what loads after is a whole history, and nothing of
    // ours is left that the index does not name. (Its texts never change,
    // so the two files always agree.)
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/ondrel");
    for (int round = 0; round < 50; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kWriterMode), folder);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        for (int saves = 0; saves < 1 + round % 3;) {
            QVERIFY(child.waitForReadyRead(10000));
            saves += int(child.readAll().count('\n'));
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        const QList<ClipboardItem> items = HistoryFile(folder).load();
        QVERIFY2(!items.isEmpty() && items.last().previewText() == u"kept" && items.last().isPinned(),
                 qPrintable(QStringLiteral("round %1").arg(round)));
        QVERIFY(items.size() >= 2);
        QCOMPARE(dataFiles(folder).size(), (items.size() - 1) * 2); // each image and its thumbnail
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kWriterMode))
        return keepSaving(qEnvironmentVariable(kWriterMode));
    TestHistoryEntries test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_historyentries.moc"
