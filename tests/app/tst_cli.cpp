#include "AppProcess.h"
#include "TestSupport.h"

#include <QProcess>
#include <QTest>

class TestCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { ondrel::test::failOnUnexpectedWarnings(); }

    void commands_data();
    void commands();
    void hostileStreams_data();
    void hostileStreams();
    void programLeavesTheNetworkStackOut();

private:
    static void detectRows();
    static void transformAndHighlightRows();
};

namespace {
// Usage texts and name lists are checked by their start, everything else byte for byte.
void compareOutput(const QByteArray& actual, const QByteArray& expected)
{
    if (expected.endsWith("Usage") || expected.startsWith("Usage") || expected.contains("are:\n"))
        QVERIFY2(actual.startsWith(expected), actual.constData());
    else
        QCOMPARE(actual, expected);
}

// A command line written split at spaces.
QStringList args(const char* words)
{
    return QString::fromUtf8(words).split(u' ');
}

void row(const char* name, const QStringList& args, const QByteArray& input, int code, const QByteArray& out,
         const QByteArray& err = {})
{
    QTest::newRow(name) << args << input << code << out << err;
}
} // namespace

void TestCli::commands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    detectRows();
    transformAndHighlightRows();
}

void TestCli::detectRows()
{
    row("stdin", args("detect"), "fn main() {}", 0, "rust\n");
    row("dash is stdin", args("detect -"), "[1]", 0, "json\n");
    row("empty input", args("detect"), {}, 0, "plain\n");
    row("invalid utf-8", args("detect"), "ab\xc0\xaf", 2, {}, "ondrel: the input is not valid UTF-8\n");
    row("missing file", args("detect /nonexistent/x"), {}, 2, {},
        "ondrel: cannot read /nonexistent/x: No such file or directory\n");
    row("unknown command", args("frobnicate"), {}, 2, {}, "ondrel: unknown command 'frobnicate'\nUsage");
    row("too many operands", args("detect a b"), {}, 2, {}, "Usage: ondrel detect [FILE]");
    row("help", args("detect --help"), {}, 0, "Usage: ondrel detect [FILE]");
}

void TestCli::commands()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, code);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const auto r = ondrel::test::AppProcess(QStringLiteral(ONDREL_BINARY)).command(args, input);
    QCOMPARE(r.code, code);
    compareOutput(r.out, out);
    compareOutput(r.err, err);
}

void TestCli::hostileStreams_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QByteArray>("err");
    const QString none;
    const QString full = QStringLiteral("/dev/full");
    const QString zero = QStringLiteral("/dev/zero");
    const QByteArray noSpace = "ondrel: cannot write output: No space left on device\n";
    QTest::newRow("result to a full disk") << args("detect") << none << full << noSpace;
    QTest::newRow("help to a full disk") << args("transform --help") << none << full << noSpace;
    QTest::newRow("endless file") << QStringList{QStringLiteral("detect"), zero} << none << none
                                  << QByteArray("ondrel: /dev/zero is larger than 128 MiB; not read\n");
    QTest::newRow("endless input") << args("transform snakeCase") << zero << none
                                   << QByteArray("ondrel: standard input is larger than 128 MiB; not read\n");
    QTest::newRow("folder") << args("detect /") << none << none
                            << QByteArray("ondrel: cannot read /: Is a directory\n");
}

void TestCli::hostileStreams()
{
    QFETCH(QStringList, args);
    QFETCH(QString, in);
    QFETCH(QString, out);
    QFETCH(QByteArray, err);
    QProcess p;
    p.setStandardInputFile(in.isEmpty() ? QProcess::nullDevice() : in);
    if (!out.isEmpty())
        p.setStandardOutputFile(out);
    p.start(QStringLiteral(ONDREL_BINARY), args);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.readAllStandardError(), err);
    QCOMPARE(p.exitCode(), 2);
}

void TestCli::transformAndHighlightRows()
{
    const QByteArray bom = "\xef\xbb\xbf";
    row("shown name, no newline added", args("transform snake_case"), "helloWorld\n", 0, "hello_world\n");
    row("leading byte-order mark kept", args("transform uppercase"), bom + "abc", 0, bom + "ABC");
    row("leading byte-order mark highlighted", args("highlight plain"), bom + "abc", 0,
        R"([{"start":0,"end":4,"role":"base","color":"#18181B"}])" + QByteArray("\n"));
    row("case name", args("transform base64Encode"), "\xc3\xa9", 0, "w6k=");
    row("name with a space", {QStringLiteral("transform"), QStringLiteral("Escape as String")}, "a\"b", 0,
        R"("a\"b")");
    row("bytes kept exactly", args("transform reverseLines"), "\xf0\x9f\x98\x80\r\nz", 0,
        "z\n\n\xf0\x9f\x98\x80");
    row("failure", args("transform base64Decode"), "YQ", 1, {},
        "ondrel: Base64 Decode failed: the text is not padded Base64 of UTF-8 text\n");
    row("unknown transformation", args("transform rot13"), "x", 2, {},
        "ondrel: unknown transformation 'rot13'; the transformations are:\n  camelCase");
    row("json too deep", args("transform jsonPrettify"), QByteArray(600, '[') + QByteArray(600, ']'), 1, {},
        "ondrel: JSON Prettify failed: the JSON nests deeper than 512 levels\n");
    row("json deep enough but broken", args("transform jsonMinify"),
        QByteArray(500, '[') + QByteArray(499, ']'), 1, {},
        "ondrel: JSON Minify failed: the text is not a JSON object or array\n");
    row("brackets in strings do not count", args("transform jsonMinify"),
        "[\"" + QByteArray(600, '[') + "\" ]", 0, "[\"" + QByteArray(600, '[') + "\"]");
    row("transform help", args("transform --help"), {}, 0, "Usage: ondrel transform NAME [FILE]");
    row("highlight in code points", args("highlight swift"), "\"\xf0\x9f\x98\x80\" 1", 0,
        R"([{"start":0,"end":3,"role":"string","color":"#C41A16"},)"
        R"({"start":3,"end":4,"role":"base","color":"#18181B"},)"
        R"({"start":4,"end":5,"role":"number","color":"#1C7D1C"}])"
        "\n");
    row("highlight empty", args("highlight json"), {}, 0, "[]\n");
    row("unknown language", args("highlight cobol"), "x", 2, {},
        "ondrel: unknown language 'cobol'; the languages are: swift, javascript, typescript, python, ruby, "
        "json, html, css, shell, sql, go, rust, plain\n");
}

void TestCli::programLeavesTheNetworkStackOut()
{
    // Qt Network and what it pulls in are loaded only by the update check's
    // module; linking them into the program costs every user ~2 MiB.
    const auto needed = ondrel::test::runProgram(QStringLiteral("readelf"),
                                                 {QStringLiteral("-d"), QStringLiteral(ONDREL_BINARY)});
    if (!needed)
        QSKIP("readelf is not available");
    QVERIFY(needed->contains(QStringLiteral("libQt6Widgets")));
    QVERIFY2(!needed->contains(QStringLiteral("libQt6Network")), qPrintable(*needed));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
