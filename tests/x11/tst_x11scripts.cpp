// Scripts reach the history of the real program on the X11 test desktop.
#include "AppProcess.h"
#include "TestSupport.h"
#include "TestWindow.h"
#include "X11TestSupport.h"

#include <QClipboard>
#include <QDirIterator>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QTest>

using namespace ondrel;

class TestX11Scripts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void listGetSelectPaste();
    void pauseAndHostileInput();
    void severalFilesAreOneEntry();
    void richTextIsCopiedOutWhole();
    void imageKeptAcrossRestart();

private:
    test::AppProcess::Command ondrel(const QStringList& args, const QByteArray& input = {},
                                     const QString& outFile = {})
    {
        return m_app->command(args, input, outFile);
    }
    // The list's lines, as `ondrel list` prints them.
    QByteArray list() { return ondrel({QStringLiteral("list")}).out; }

    std::unique_ptr<test::AppProcess> m_app;
};

void TestX11Scripts::init()
{
    test::failOnUnexpectedWarnings();
    m_app = std::make_unique<test::AppProcess>(QStringLiteral(ONDREL_BINARY));
}

void TestX11Scripts::cleanup()
{
    // Only a desktop without a session bus (openbox here) is named.
    const QStringList said = m_app->unexpectedLines({test::kNoSessionBusLine});
    m_app.reset();
    QVERIFY2(said.isEmpty(), qPrintable(said.join(u'\n')));
}

void TestX11Scripts::listGetSelectPaste()
{
    // Before it runs: changes are refused, reading says where it reads.
    auto notRunning = ondrel({QStringLiteral("paste"), QStringLiteral("1")});
    QCOMPARE(notRunning.code, 3);
    QCOMPARE(notRunning.err, QByteArray("ondrel: Ondrel is not running\n"));
    notRunning = ondrel({QStringLiteral("list")});
    QCOMPARE(notRunning.code, 0);
    QVERIFY2(notRunning.err.startsWith("ondrel: Ondrel is not running; reading "),
             notRunning.err.constData());

    test::TestWindow target;
    QVERIFY(target.start(QStringLiteral("Target"), test::isActiveWindow));
    QVERIFY(m_app->start());
    const QList<QByteArray> texts{QByteArray("one\r\ntwo"), QStringLiteral("emoji 😀 ✓").toUtf8(),
                                  QByteArray("\x01\x02\x1b[0m\x7f \xc2\x80\xef\xbf\xbd tail")};
    for (qsizetype i = 0; i < texts.size(); ++i) {
        test::offer(texts[i]);
        QTRY_COMPARE_WITH_TIMEOUT(list().count('\n'), i + 1, 5000);
    }
    // Newest first, each on one line, escapes shown as pictures.
    QCOMPARE(QString::fromUtf8(list()), QStringLiteral("1\t␁␂␛[0m␡ �� tail\n2\temoji 😀 ✓\n3\tone⏎two\n"));
    for (qsizetype i = 0; i < texts.size(); ++i)
        QCOMPARE(ondrel({QStringLiteral("get"), QString::number(texts.size() - i)}).out, texts[i]);
    const auto status = ondrel({QStringLiteral("status")});
    QVERIFY2(status.out.startsWith("running: yes\nrecording: on\nentries: 3 (0 pinned)\nhotkey: "),
             status.out.constData());
    QVERIFY(status.out.contains("desktop: X11\n"));
    // Without a display (ssh, a timer), the one Ondrel of the user answers.
    QCOMPARE(m_app->command({QStringLiteral("status")}, {}, {}, {QStringLiteral("DISPLAY")}).out, status.out);

    // select: on the clipboard for another program; paste: typed into the focused window.
    QCOMPARE(ondrel({QStringLiteral("select"), QStringLiteral("3")}).code, 0);
    QCOMPARE(test::readBack(QStringLiteral("UTF8_STRING")), texts[0]);
    QCOMPARE(ondrel({QStringLiteral("paste"), QStringLiteral("2")}).code, 0);
    QCOMPARE(target.waitForPaste(), QStringLiteral("ctrl+v emoji 😀 ✓"));
    // add: recorded as if copied, and on the clipboard.
    QCOMPARE(ondrel({QStringLiteral("add"), QStringLiteral("-")}, "from a script").code, 0);
    QVERIFY(list().startsWith("1\tfrom a script\n"));
    QCOMPARE(test::readBack(QStringLiteral("UTF8_STRING")), QByteArray("from a script"));
    // pin keeps an entry on top; delete and clear act on what the rows show.
    QCOMPARE(ondrel({QStringLiteral("pin"), QStringLiteral("4")}).code, 0);
    QVERIFY(list().startsWith("1\tone⏎two\n2\tfrom a script\n"));
    QCOMPARE(ondrel({QStringLiteral("delete"), QStringLiteral("2")}).code, 0);
    QCOMPARE(ondrel({QStringLiteral("clear")}).code, 0);
    QCOMPARE(list(), QByteArray("1\tone⏎two\n"));
    QTRY_COMPARE_WITH_TIMEOUT(m_app->history().size(), 1, 5000);
}

void TestX11Scripts::pauseAndHostileInput()
{
    QVERIFY(m_app->start());
    test::offer("kept");
    QTRY_COMPARE_WITH_TIMEOUT(list(), QByteArray("1\tkept\n"), 5000);
    // Paused: a copy goes by unrecorded; resumed: the next one is recorded.
    QCOMPARE(ondrel({QStringLiteral("pause")}).code, 0);
    QVERIFY(ondrel({QStringLiteral("status")}).out.contains("recording: paused\n"));
    test::offer("while paused");
    QCOMPARE(test::readBack(QStringLiteral("UTF8_STRING")), QByteArray("while paused"));
    QCOMPARE(ondrel({QStringLiteral("resume")}).code, 0);
    test::offer("after");
    QTRY_COMPARE_WITH_TIMEOUT(list(), QByteArray("1\tafter\n2\tkept\n"), 5000);

    // Hostile input: a clear message, the documented code, nothing changed.
    const QString id = QString::fromUtf8(ondrel({QStringLiteral("list"), QStringLiteral("--json")})
                                             .out.split('"')
                                             .value(5)); // [{"n":1,"id":"<id>",...
    QCOMPARE(ondrel({QStringLiteral("delete"), id}).code, 0);
    struct Case
    {
        QStringList args;
        int code;
        QByteArray err;
    };
    const QList<Case> cases{
        {{QStringLiteral("get"), id}, 1, "ondrel: no entry '"},
        {{QStringLiteral("get"), QStringLiteral("0")}, 1, "ondrel: no entry '0' (the history has 1 entry)\n"},
        {{QStringLiteral("pin"), QString(120000, u'x')}, 2, "ondrel: 'xxx"},
        {{QStringLiteral("list"), QStringLiteral("--search"), QString(120000, u'x')}, 0, ""},
    };
    for (const Case& c : cases) {
        const auto result = ondrel(c.args);
        QVERIFY2(result.err.startsWith(c.err), result.err.left(200).constData());
        QCOMPARE(result.code, c.code);
    }
    const auto notText = ondrel({QStringLiteral("add")}, "a\xff");
    QCOMPARE(notText.code, 2);
    QCOMPARE(notText.err, QByteArray("ondrel: the input is not valid UTF-8\n"));
    // Output that cannot be written fails the command.
    const auto full = ondrel({QStringLiteral("get"), QStringLiteral("1")}, {}, QStringLiteral("/dev/full"));
    QCOMPARE(full.code, 2);
    QCOMPARE(full.err, QByteArray("ondrel: cannot write output: No space left on device\n"));
    QCOMPARE(list(), QByteArray("1\tkept\n"));
}

void TestX11Scripts::severalFilesAreOneEntry()
{
    QVERIFY(m_app->start());
    const QByteArray uris = "file:///tmp/a%20b.txt\r\nfile:///tmp/%C3%BC.pdf\r\nfile:///srv/c\r\n";
    test::offer(uris, QStringLiteral("text/uri-list"));
    QTRY_COMPARE_WITH_TIMEOUT(list(), QStringLiteral("1\t[file] a b.txt + 2 more\n").toUtf8(), 5000);
    QCOMPARE(ondrel({QStringLiteral("get"), QStringLiteral("1")}).out,
             QStringLiteral("/tmp/a b.txt\n/tmp/ü.pdf\n/srv/c\n").toUtf8());
    QCOMPARE(
        ondrel({QStringLiteral("list"), QStringLiteral("--search"), QStringLiteral("ü.pdf")}).out.count('\n'),
        1);
    test::offer("other");
    QTRY_COMPARE_WITH_TIMEOUT(list().count('\n'), 2, 5000);
    // Copied out, every file reaches a file manager, in each form they paste.
    QCOMPARE(ondrel({QStringLiteral("select"), QStringLiteral("2")}).code, 0);
    QCOMPARE(test::readBack(QStringLiteral("text/uri-list")), uris);
    QCOMPARE(test::readBack(QStringLiteral("x-special/gnome-copied-files")),
             "copy\nfile:///tmp/a%20b.txt\nfile:///tmp/%C3%BC.pdf\nfile:///srv/c");
    QCOMPARE(test::readBack(QStringLiteral("UTF8_STRING")),
             QStringLiteral("/tmp/a b.txt\n/tmp/ü.pdf\n/srv/c").toUtf8());
    // Read back, the copy-out is files again (recorded anew, as files always
    // are), not a text of their paths.
    QTRY_COMPARE_WITH_TIMEOUT(list().count('\n'), 3, 5000);
    QVERIFY(list().startsWith("1\t[file] a b.txt + 2 more\n"));
}

void TestX11Scripts::richTextIsCopiedOutWhole()
{
    QVERIFY(m_app->start());
    // A browser's copy: its HTML and its text, offered by this process.
    const QByteArray html =
        QStringLiteral("<meta charset=\"utf-8\"><a href=\"https://a.example/?x=1&amp;y=2\">"
                       "Grüße</a> <b>bold</b>\r\n")
            .toUtf8();
    auto* page = new QMimeData;
    page->setData(QStringLiteral("text/html"), html);
    page->setText(QStringLiteral("Grüße bold"));
    QGuiApplication::clipboard()->setMimeData(page);
    QTRY_COMPARE_WITH_TIMEOUT(list(), QStringLiteral("1\tGrüße bold\n").toUtf8(), 5000);
    // HTML alone is the text it shows.
    const QByteArray only = "<p>only&nbsp;HTML</p><p>second &lt;line&gt;</p>";
    test::offer(only, QStringLiteral("text/html"));
    QTRY_COMPARE_WITH_TIMEOUT(list(), QStringLiteral("1\tonly HTML⏎⏎second <line>\n2\tGrüße bold\n").toUtf8(),
                              5000);
    // Copied out, each goes back as HTML byte for byte and as its text.
    QCOMPARE(ondrel({QStringLiteral("select"), QStringLiteral("2")}).code, 0);
    QCOMPARE(test::readBack(QStringLiteral("text/html")), html);
    QCOMPARE(test::readBack(QStringLiteral("UTF8_STRING")), QStringLiteral("Grüße bold").toUtf8());
    QCOMPARE(ondrel({QStringLiteral("select"), QStringLiteral("1")}).code, 0);
    QCOMPARE(test::readBack(QStringLiteral("text/html")), only);
    QCOMPARE(test::readBack(QStringLiteral("UTF8_STRING")), QByteArray("only HTML\n\nsecond <line>"));
}

void TestX11Scripts::imageKeptAcrossRestart()
{
    QVERIFY(m_app->start());
    // A colour nothing else on the desktop has, to find the row's tile by.
    const QByteArray png = test::encodedImage(test::filledImage(QSize(64, 48), QColor(255, 0, 255)));
    test::offer(png, QStringLiteral("image/png"));
    QTRY_COMPARE_WITH_TIMEOUT(list(), QByteArray("1\t[image 64×48 png]\n"), 5000);
    m_app->process().terminate();
    QVERIFY(m_app->process().waitForFinished(10000));
    // Read by a script while it does not run, too.
    QCOMPARE(ondrel({QStringLiteral("get"), QStringLiteral("1")}).out, png);
    QVERIFY(m_app->start());
    QCOMPARE(list(), QByteArray("1\t[image 64×48 png]\n"));
    QCOMPARE(ondrel({QStringLiteral("get"), QStringLiteral("1")}).out, png);
    // Copied out, its bytes come from disk as they were copied.
    test::offer("other");
    QTRY_COMPARE_WITH_TIMEOUT(list().count('\n'), 2, 5000);
    QCOMPARE(ondrel({QStringLiteral("select"), QStringLiteral("2")}).code, 0);
    // Read from disk off the GUI thread, and answered once on the clipboard.
    QCOMPARE(test::readBack(QStringLiteral("image/png")), png);
    QVERIFY(m_app->toggle());
    QString popover;
    QTRY_VERIFY_WITH_TIMEOUT(!(popover = test::popoverWindow()).isEmpty(), 5000);
    // The first row, under the search field: its tile shows the image.
    const auto tilePixels = [&] {
        const QImage shot =
            QGuiApplication::primaryScreen()->grabWindow(popover.toULongLong(), 0, 60, 120, 60).toImage();
        qsizetype found = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                found += shot.pixelColor(x, y) == QColor(255, 0, 255) ? 1 : 0;
        return found;
    };
    QTRY_VERIFY_WITH_TIMEOUT(tilePixels() > 400, 5000);
    // Its file gone behind the program's back: told, not an empty answer.
    QDirIterator saved(m_app->home(), {QStringLiteral("*.png")}, QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (saved.hasNext())
        QVERIFY(QFile::remove(saved.next()));
    QByteArray told;
    for (const QByteArray& row : list().split('\n'))
        if (row.contains("[image")) {
            const auto got = ondrel({QStringLiteral("get"), QString::fromUtf8(row.split('\t').first())});
            if (got.code == 1)
                told = got.err;
        }
    QVERIFY2(told.contains("cannot be read"), told.constData());
}

ONDREL_TEST_MAIN_WITH_TEST_WINDOW(TestX11Scripts)
#include "tst_x11scripts.moc"
