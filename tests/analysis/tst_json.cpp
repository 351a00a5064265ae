#include "Json.h"
#include "TestSupport.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>

using namespace ondrel;

class TestJson : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void strictness_data();
    void strictness();
    void treeKeepsOrderAndDigits();
    void depthIsCapped();
    void writesCompactAndEscaped();
    void unquotes_data();
    void unquotes();
    void quotedTextsReadBack();
    void formatsDoublesShortest_data();
    void formatsDoublesShortest();
};

void TestJson::strictness_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("valid");
    QTest::newRow("object") << QByteArray(R"({"a": [1, 2.5e3, -0, true, null, "x"]})") << true;
    QTest::newRow("scalar") << QByteArray("3") << true;
    QTest::newRow("surrounding space") << QByteArray(" \n[1]\t") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("trailing comma") << QByteArray("[1,]") << false;
    QTest::newRow("comment") << QByteArray("[1] // x") << false;
    QTest::newRow("single quotes") << QByteArray("['a']") << false;
    QTest::newRow("bare key") << QByteArray("{a:1}") << false;
    QTest::newRow("raw newline in string") << QByteArray("[\"a\nb\"]") << false;
    QTest::newRow("number with dot only") << QByteArray("[2.]") << false;
    QTest::newRow("leading zero") << QByteArray("[01]") << false;
    QTest::newRow("bad escape") << QByteArray(R"(["\x"])") << false;
    QTest::newRow("lone surrogate escape") << QByteArray(R"(["\ud800"])") << false;
    QTest::newRow("surrogate pair escape") << QByteArray(R"(["\ud83d\ude00"])") << true;
    QTest::newRow("invalid utf-8") << QByteArray("[\"\xff\"]") << false;
    QTest::newRow("NUL inside string") << QByteArray("[\"a\0b\"]", 7) << false;
    QTest::newRow("NUL after value") << QByteArray("[1]\0[", 5) << false;
    QTest::newRow("two values") << QByteArray("[1][2]") << false;
    QTest::newRow("NaN") << QByteArray("[NaN]") << false;
    QTest::newRow("unclosed") << QByteArray("{\"a\":1") << false;
}

void TestJson::strictness()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, valid);
    const std::string_view view(input.constData(), static_cast<std::size_t>(input.size()));
    QCOMPARE(json::isValid(view), valid);
    QCOMPARE(json::parse(view).has_value(), valid);
    // No view at all is no JSON either.
    QVERIFY(!json::parse(std::string_view()) && !json::isValid(std::string_view()));
}

void TestJson::treeKeepsOrderAndDigits()
{
    const auto v =
        json::parse(R"({"z":1,"a":123456789012345678901234567890,"m":1.50,"u":18446744073709551615})");
    QVERIFY(v && v->isObject());
    QCOMPARE(v->keys(), (std::vector<std::string>{"z", "a", "m", "u"}));
    QCOMPARE(v->member("a")->text(), std::string("123456789012345678901234567890"));
    QVERIFY(v->member("a")->isInteger());
    QCOMPARE(v->member("a")->toInt64(), std::nullopt);
    QCOMPARE(v->member("z")->toInt64(), std::optional<std::int64_t>(1));
    QVERIFY(!v->member("m")->isInteger());
    QCOMPARE(v->member("m")->toDouble(), std::optional<double>(1.5));
    QCOMPARE(v->member("u")->text(), std::string("18446744073709551615"));
    // Numbers beyond the range of a double are refused by the parser itself.
    QVERIFY(!json::parse("[1e400]"));
}

void TestJson::depthIsCapped()
{
    const auto nested = [](int depth) {
        return std::string(static_cast<std::size_t>(depth), '[') +
               std::string(static_cast<std::size_t>(depth), ']');
    };
    QVERIFY(json::parse(nested(json::kMaxDepth)).has_value());
    QVERIFY(json::isValid(nested(json::kMaxDepth)));
    QVERIFY(!json::parse(nested(json::kMaxDepth + 1)).has_value());
    QVERIFY(!json::isValid(nested(json::kMaxDepth + 1)));
    // Far deeper input fails cleanly instead of exhausting the stack.
    QVERIFY(!json::parse(nested(1'000'000)).has_value());
}

void TestJson::writesCompactAndEscaped()
{
    const auto v = json::parse(R"({"b":[1,2.5,true,null],"a":"x/\"\\\n\u0001é😀"})");
    QVERIFY(v);
    QCOMPARE(json::write(*v), std::string(R"({"b":[1,2.5,true,null],"a":"x\/\"\\\n\u0001é😀"})"));
    // What is written reads back the same.
    QCOMPARE(json::write(*json::parse(json::write(*v))), json::write(*v));
}

void TestJson::unquotes_data()
{
    QTest::addColumn<QByteArray>("literal");
    QTest::addColumn<QByteArray>("text"); // "-" for none
    QTest::newRow("empty") << QByteArray(R"("")") << QByteArray("");
    QTest::newRow("plain") << QByteArray(R"("abc")") << QByteArray("abc");
    QTest::newRow("short escapes") << QByteArray(R"("\"\\\/\b\f\n\r\t")") << QByteArray("\"\\/\b\f\n\r\t");
    QTest::newRow("escape at both ends") << QByteArray(R"("\nx\n")") << QByteArray("\nx\n");
    QTest::newRow("control") << QByteArray(R"("\u0001\u001F")") << QByteArray("\x01\x1f");
    QTest::newRow("BMP") << QByteArray(R"("\u00e9\u20AC")") << QByteArray("\xc3\xa9\xe2\x82\xac");
    QTest::newRow("pair") << QByteArray(R"("\ud83d\ude00")") << QByteArray("\xf0\x9f\x98\x80");
    QTest::newRow("lone high") << QByteArray(R"("\ud83dx")") << QByteArray("\xef\xbf\xbdx");
    QTest::newRow("lone low") << QByteArray(R"("\ude00")") << QByteArray("\xef\xbf\xbd");
    QTest::newRow("high then escape") << QByteArray(R"("\ud83d\n")") << QByteArray("\xef\xbf\xbd\n");
    QTest::newRow("raw UTF-8") << QByteArray("\"\xc3\xa9\"") << QByteArray("\xc3\xa9");
    QTest::newRow("no quotes") << QByteArray("abc") << QByteArray("-");
    QTest::newRow("one quote") << QByteArray("\"") << QByteArray("-");
    QTest::newRow("unknown escape") << QByteArray(R"("\x")") << QByteArray("-");
    QTest::newRow("backslash at end") << QByteArray(R"("a\")") << QByteArray("-");
    QTest::newRow("short hex") << QByteArray(R"("\u12")") << QByteArray("-");
    QTest::newRow("bad hex") << QByteArray(R"("\u12g4")") << QByteArray("-");
}

void TestJson::unquotes()
{
    QFETCH(QByteArray, literal);
    QFETCH(QByteArray, text);
    const auto out = json::unquote(std::string_view(literal.constData(), std::size_t(literal.size())));
    if (text == "-") {
        QVERIFY(!out);
        return;
    }
    QVERIFY(out);
    QCOMPARE(QByteArray::fromStdString(*out), text);
}

void TestJson::quotedTextsReadBack()
{
    // Every ASCII byte, alone and in runs, survives a round trip.
    QRandomGenerator random(7);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int length = random.bounded(300);
        for (int i = 0; i < length; ++i)
            text += char(random.bounded(4) == 0 ? random.bounded(0x80) : random.bounded(0x20, 0x7f));
        std::string literal;
        json::appendQuoted(literal, text);
        QCOMPARE(json::unquote(literal), std::optional<std::string>(text));
        QCOMPARE(json::parse(literal)->text(), text);
    }
}

void TestJson::formatsDoublesShortest_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("integral") << 818000000.0 << QStringLiteral("818000000");
    QTest::newRow("timestamp") << 786000000.123456 << QStringLiteral("786000000.123456");
    QTest::newRow("tenth") << 0.1 << QStringLiteral("0.1");
    QTest::newRow("negative") << -2.25 << QStringLiteral("-2.25");
    QTest::newRow("small") << 1e-7 << QStringLiteral("0.0000001");
    QTest::newRow("tiny") << 1.5e-8 << QStringLiteral("1.5e-8");
    QTest::newRow("big") << 1e21 << QStringLiteral("1e21");
    QTest::newRow("largest fixed") << 1e20 << QStringLiteral("100000000000000000000");
}

void TestJson::formatsDoublesShortest()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    const std::string written = json::formatDouble(value);
    QCOMPARE(QString::fromStdString(written), text);
    QCOMPARE(json::Value::number(written, false).toDouble(), std::optional<double>(value));
    QVERIFY(json::isValid(written));
}

QTEST_GUILESS_MAIN(TestJson)
#include "tst_json.moc"
