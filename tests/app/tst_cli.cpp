#include "TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { ondrel::test::failOnUnexpectedWarnings(); }

    void detect_data();
    void detect();
};

namespace {
struct Result
{
    int code;
    QByteArray out;
    QByteArray err;
};

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

void TestCli::detect_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
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
                                     << QByteArray() << QByteArray("ondrel: unknown command 'frobnicate'\n");
    QTest::newRow("too many operands")
        << QStringList{QStringLiteral("detect"), QStringLiteral("a"), QStringLiteral("b")} << QByteArray()
        << 2 << QByteArray() << QByteArray("Usage: ondrel detect [FILE]");
    QTest::newRow("help") << QStringList{QStringLiteral("detect"), QStringLiteral("--help")} << QByteArray()
                          << 0 << QByteArray("Usage: ondrel detect [FILE]") << QByteArray();
}

void TestCli::detect()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, code);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const Result r = run(args, input);
    QCOMPARE(r.code, code);
    // Messages are compared in full, usage texts by their first line.
    if (out.startsWith("Usage"))
        QVERIFY2(r.out.startsWith(out), r.out.constData());
    else
        QCOMPARE(r.out, out);
    if (err.startsWith("Usage") || err.startsWith("ondrel: unknown"))
        QVERIFY2(r.err.startsWith(err), r.err.constData());
    else
        QCOMPARE(r.err, err);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
