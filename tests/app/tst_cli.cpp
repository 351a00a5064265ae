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
struct Result
{
    int code;
    QByteArray out;
    QByteArray err;
};

// Usage texts and name lists are checked by their start, everything else byte for byte.
void compareOutput(const QByteArray& actual, const QByteArray& expected)
{
    if (expected.endsWith("Usage") || expected.startsWith("Usage") || expected.contains("are:\n"))
        QVERIFY2(actual.startsWith(expected), actual.constData());
    else
        QCOMPARE(actual, expected);
}

Result run(const QStringList& args, const QByteArray& input)
{
    QProcess p;
    p.start(QStringLiteral(ONDREL_BINARY), args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000))
        return {-1, {}, "timed out"};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, p.readAllStandardOutput(),
            p.readAllStandardError()};
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
    QTest::newRow("stdin") << QStringList{QStringLiteral("detect")} << QByteArray("fn main() {}") << 0
                           << QByteArray("rust\n") << QByteArray();
    QTest::newRow("dash is stdin") << QStringList{QStringLiteral("detect"), QStringLiteral("-")}
                                   << QByteArray("[1]") << 0 << QByteArray("json\n") << QByteArray();
    QTest::newRow("empty input") << QStringList{QStringLiteral("detect")} << QByteArray() << 0
                                 << QByteArray("plain\n") << QByteArray();
    QTest::newRow("invalid utf-8") << QStringList{QStringLiteral("detect")} << QByteArray("ab\xc0\xaf") << 2
                                   << QByteArray() << QByteArray("ondrel: the input is not valid UTF-8\n");
    QTest::newRow("missing file") << QStringList{QStringLiteral("detect"), QStringLiteral("/nonexistent/x")}
                                  << QByteArray() << 2 << QByteArray()
                                  << QByteArray(
                                         "ondrel: cannot read /nonexistent/x: No such file or directory\n");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")} << QByteArray() << 2
                                     << QByteArray()
                                     << QByteArray("ondrel: unknown command 'frobnicate'\nUsage");
    QTest::newRow("too many operands")
        << QStringList{QStringLiteral("detect"), QStringLiteral("a"), QStringLiteral("b")} << QByteArray()
        << 2 << QByteArray() << QByteArray("Usage: ondrel detect [FILE]");
    QTest::newRow("help") << QStringList{QStringLiteral("detect"), QStringLiteral("--help")} << QByteArray()
                          << 0 << QByteArray("Usage: ondrel detect [FILE]") << QByteArray();
}

void TestCli::commands()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, code);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const Result r = run(args, input);
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
    QTest::newRow("result to a full disk")
        << QStringList{QStringLiteral("detect")} << none << full << noSpace;
    QTest::newRow("help to a full disk")
        << QStringList{QStringLiteral("transform"), QStringLiteral("--help")} << none << full << noSpace;
    QTest::newRow("endless file") << QStringList{QStringLiteral("detect"), zero} << none << none
                                  << QByteArray("ondrel: /dev/zero is larger than 128 MiB; not read\n");
    QTest::newRow("endless input") << QStringList{QStringLiteral("transform"), QStringLiteral("snakeCase")}
                                   << zero << none
                                   << QByteArray("ondrel: standard input is larger than 128 MiB; not read\n");
    QTest::newRow("folder") << QStringList{QStringLiteral("detect"), QStringLiteral("/")} << none << none
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
    const auto args = [](std::initializer_list<const char*> list) {
        QStringList out;
        for (const char* a : list)
            out << QString::fromUtf8(a);
        return out;
    };
    QTest::newRow("shown name, no newline added")
        << args({"transform", "snake_case"}) << QByteArray("helloWorld\n") << 0 << QByteArray("hello_world\n")
        << QByteArray();
    QTest::newRow("leading byte-order mark kept") << args({"transform", "uppercase"})
                                                  << QByteArray("\xef\xbb\xbf"
                                                                "abc")
                                                  << 0
                                                  << QByteArray("\xef\xbb\xbf"
                                                                "ABC")
                                                  << QByteArray();
    QTest::newRow("leading byte-order mark highlighted")
        << args({"highlight", "plain"})
        << QByteArray("\xef\xbb\xbf"
                      "abc")
        << 0
        << QByteArray(R"([{"start":0,"end":4,"role":"base","color":"#18181B"}])"
                      "\n")
        << QByteArray();
    QTest::newRow("case name") << args({"transform", "base64Encode"}) << QByteArray("\xc3\xa9") << 0
                               << QByteArray("w6k=") << QByteArray();
    QTest::newRow("name with a space") << args({"transform", "Escape as String"}) << QByteArray("a\"b") << 0
                                       << QByteArray(R"("a\"b")") << QByteArray();
    QTest::newRow("bytes kept exactly")
        << args({"transform", "reverseLines"}) << QByteArray("\xf0\x9f\x98\x80\r\nz") << 0
        << QByteArray("z\n\n\xf0\x9f\x98\x80") << QByteArray();
    QTest::newRow("failure")
        << args({"transform", "base64Decode"}) << QByteArray("YQ") << 1 << QByteArray()
        << QByteArray("ondrel: Base64 Decode failed: the text is not padded Base64 of UTF-8 text\n");
    QTest::newRow("unknown transformation")
        << args({"transform", "rot13"}) << QByteArray("x") << 2 << QByteArray()
        << QByteArray("ondrel: unknown transformation 'rot13'; the transformations are:\n  camelCase");
    QTest::newRow("json too deep")
        << args({"transform", "jsonPrettify"}) << QByteArray(600, '[') + QByteArray(600, ']') << 1
        << QByteArray()
        << QByteArray("ondrel: JSON Prettify failed: the JSON nests deeper than 512 levels\n");
    QTest::newRow("json deep enough but broken")
        << args({"transform", "jsonMinify"}) << QByteArray(500, '[') + QByteArray(499, ']') << 1
        << QByteArray() << QByteArray("ondrel: JSON Minify failed: the text is not a JSON object or array\n");
    QTest::newRow("brackets in strings do not count")
        << args({"transform", "jsonMinify"}) << "[\"" + QByteArray(600, '[') + "\" ]" << 0
        << "[\"" + QByteArray(600, '[') + "\"]" << QByteArray();
    QTest::newRow("transform help") << args({"transform", "--help"}) << QByteArray() << 0
                                    << QByteArray("Usage: ondrel transform NAME [FILE]") << QByteArray();
    QTest::newRow("highlight in code points")
        << args({"highlight", "swift"}) << QByteArray("\"\xf0\x9f\x98\x80\" 1") << 0
        << QByteArray(R"([{"start":0,"end":3,"role":"string","color":"#C41A16"},)"
                      R"({"start":3,"end":4,"role":"base","color":"#18181B"},)"
                      R"({"start":4,"end":5,"role":"number","color":"#1C7D1C"}])"
                      "\n")
        << QByteArray();
    QTest::newRow("highlight empty") << args({"highlight", "json"}) << QByteArray() << 0 << QByteArray("[]\n")
                                     << QByteArray();
    QTest::newRow("highlight plain") << args({"highlight", "plain"}) << QByteArray("ab") << 0
                                     << QByteArray(R"([{"start":0,"end":2,"role":"base","color":"#18181B"}])"
                                                   "\n")
                                     << QByteArray();
    QTest::newRow("unknown language")
        << args({"highlight", "cobol"}) << QByteArray("x") << 2 << QByteArray()
        << QByteArray("ondrel: unknown language 'cobol'; the languages are: swift, "
                      "javascript, typescript, python, ruby, json, html, css, shell, sql, "
                      "go, rust, plain\n");
}

void TestCli::programLeavesTheNetworkStackOut()
{
    // Qt Network and what it pulls in are loaded only by the update check's
    // module; linking them into the program costs every user ~2 MiB.
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral(ONDREL_BINARY)});
    if (!readelf.waitForFinished(10000) || readelf.exitCode() != 0)
        QSKIP("readelf is not available");
    const QByteArray needed = readelf.readAllStandardOutput();
    QVERIFY(needed.contains("libQt6Widgets"));
    QVERIFY2(!needed.contains("libQt6Network"), needed.constData());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
