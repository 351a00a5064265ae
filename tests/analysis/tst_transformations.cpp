#include "TestSupport.h"
#include "TextCase.h"
#include "Transformations.h"

#include <QTest>

using namespace ondrel;

Q_DECLARE_METATYPE(std::optional<QString>)

class TestTransformations : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void names();
    void splitWords_data();
    void splitWords();
    void apply_data();
    void apply();
    void emptyText_data();
    void emptyText();
    void lowerCaseIsSimpleMappingButForDottedI();
    void bigInputs();
};

void TestTransformations::names()
{
    for (Transformation t : kAllTransformations) {
        QCOMPARE(transformationFromRawValue(rawValue(t)), t);
        QVERIFY(transformations(category(t)).contains(t));
    }
    // Shown names only, in their own case.
    QCOMPARE(transformationFromRawValue(u"snakeCase"), std::nullopt);
    QCOMPARE(transformationFromRawValue(u"uppercase"), std::nullopt);
}

void TestTransformations::splitWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("camel") << QStringLiteral("myVariableName")
                           << QStringList{QStringLiteral("my"), QStringLiteral("variable"),
                                          QStringLiteral("name")};
    QTest::newRow("capital run") << QStringLiteral("XMLParser") << QStringList{QStringLiteral("xmlparser")};
    QTest::newRow("digit then capital") << QStringLiteral("version2Update")
                                        << QStringList{QStringLiteral("version2"), QStringLiteral("update")};
    QTest::newRow("separators") << QStringLiteral("foo_bar-baz qux")
                                << QStringList{QStringLiteral("foo"), QStringLiteral("bar"),
                                               QStringLiteral("baz"), QStringLiteral("qux")};
    QTest::newRow("only separators") << QStringLiteral("_- _") << QStringList{};
    QTest::newRow("tab is ordinary") << QStringLiteral("a\tb") << QStringList{QStringLiteral("a\tb")};
    QTest::newRow("unicode capitals")
        << QStringLiteral("éclairÀLaCrème")
        << QStringList{QStringLiteral("éclair"), QStringLiteral("àla"), QStringLiteral("crème")};
    QTest::newRow("decomposed capital")
        << QStringLiteral("aE\u0301b") << QStringList{QStringLiteral("a"), QStringLiteral("e\u0301b")};
    QTest::newRow("hyphen with mark is no separator")
        << QStringLiteral("a-\u0301b") << QStringList{QStringLiteral("a-\u0301b")};
    QTest::newRow("greek") << QStringLiteral("αΒγ") << QStringList{QStringLiteral("α"), QStringLiteral("βγ")};
}

void TestTransformations::splitWords()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    QCOMPARE(text::splitWords(text), words);
}

void TestTransformations::apply_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<QString>>("expected");
    const auto fails = std::optional<QString>();
    auto row = [](const char* tag, const char* name, const QString& text, std::optional<QString> expected) {
        QTest::newRow(tag) << QString::fromLatin1(name) << text << expected;
    };
    auto S = [](const QString& s) { return std::optional<QString>(s); };

    row("camel", "camelCase", QStringLiteral("hello world"), S(QStringLiteral("helloWorld")));
    row("pascal", "PascalCase", QStringLiteral("hello world"), S(QStringLiteral("HelloWorld")));
    row("snake", "snake_case", QStringLiteral("hello world"), S(QStringLiteral("hello_world")));
    row("kebab", "kebab-case", QStringLiteral("hello world"), S(QStringLiteral("hello-world")));
    row("snake of camel", "snake_case", QStringLiteral("myVariableName"),
        S(QStringLiteral("my_variable_name")));
    row("snake of capital run", "snake_case", QStringLiteral("XMLParser"), S(QStringLiteral("xmlparser")));
    row("camel of mixed separators", "camelCase", QStringLiteral("foo_bar-baz qux"),
        S(QStringLiteral("fooBarBazQux")));
    row("camel of separators only", "camelCase", QStringLiteral("___"), S(QStringLiteral("___")));
    row("pascal of separators only", "PascalCase", QStringLiteral("___"), S(QString()));
    row("snake of separators only", "snake_case", QStringLiteral("- -"), S(QString()));
    row("kebab of separators only", "kebab-case", QStringLiteral("___"), S(QString()));
    row("snake keeps line feed", "snake_case", QStringLiteral("line one\nline two"),
        S(QStringLiteral("line_one\nline_two")));
    row("camel capitalises after line feed", "camelCase", QStringLiteral("line one\nline two"),
        S(QStringLiteral("lineOne\nLineTwo")));
    row("pascal of sharp s", "PascalCase", QStringLiteral("ßig deal"), S(QStringLiteral("SsigDeal")));
    row("upper full mapping", "UPPERCASE", QStringLiteral("straße ﬁx"), S(QStringLiteral("STRASSE FIX")));
    row("upper ignores turkish locale", "UPPERCASE", QStringLiteral("i"), S(QStringLiteral("I")));
    row("lower", "lowercase", QStringLiteral("ÀB İ"), S(QStringLiteral("àb i\u0307")));
    row("title", "Title Case", QStringLiteral("hello WORLD"), S(QStringLiteral("Hello World")));
    row("title across white space", "Title Case", QStringLiteral("a\tb\nc\u3000d-e"),
        S(QStringLiteral("A\tB\nC\u3000D-e")));
    row("title of ligature and digraph", "Title Case", QStringLiteral("ﬁne ǆ İSTANBUL"),
        S(QStringLiteral("Fine ǅ İstanbul")));
    row("base64 encode", "Base64 Encode", QStringLiteral("a"), S(QStringLiteral("YQ==")));
    row("base64 encode utf-8", "Base64 Encode", QStringLiteral("é😀"), S(QStringLiteral("w6nwn5iA")));
    row("base64 encode lone surrogate", "Base64 Encode", QString(QChar(0xD800)), fails);
    row("base64 decode", "Base64 Decode", QStringLiteral("YQ=="), S(QStringLiteral("a")));
    row("base64 decode unpadded", "Base64 Decode", QStringLiteral("YQ"), fails);
    row("base64 decode white space", "Base64 Decode", QStringLiteral("YQ==\n"), fails);
    row("base64 decode inner space", "Base64 Decode", QStringLiteral("Y Q=="), fails);
    row("base64 decode padding inside", "Base64 Decode", QStringLiteral("YQ==YQ=="), fails);
    row("base64 decode three pads", "Base64 Decode", QStringLiteral("Y==="), fails);
    row("base64 decode url alphabet", "Base64 Decode", QStringLiteral("-_8="), fails);
    row("base64 decode not utf-8", "Base64 Decode", QStringLiteral("/w=="), fails);
    row("base64 decode utf-8", "Base64 Decode", QStringLiteral("w6nwn5iA"), S(QStringLiteral("é😀")));
    row("url encode", "URL Encode", QStringLiteral("a b&c=d/e?f"), S(QStringLiteral("a%20b&c=d/e?f")));
    row("url encode reserved", "URL Encode", QStringLiteral("#%[]é~!$'()*+,;:@"),
        S(QStringLiteral("%23%25%5B%5D%C3%A9~!$'()*+,;:@")));
    row("url decode", "URL Decode", QStringLiteral("a%20b%c3%A9+"), S(QStringLiteral("a bé+")));
    row("url decode percent at end", "URL Decode", QStringLiteral("100%"), fails);
    row("url decode one digit", "URL Decode", QStringLiteral("%4"), fails);
    row("url decode not hex", "URL Decode", QStringLiteral("%zz"), fails);
    row("url decode incomplete utf-8", "URL Decode", QStringLiteral("%E0%A4"), fails);
    row("url decode non-ascii kept", "URL Decode", QStringLiteral("é%21"), S(QStringLiteral("é!")));
    row("minify sorts", "JSON Minify", QStringLiteral(R"({"b":1,"a":[1,2]})"),
        S(QStringLiteral(R"({"a":[1,2],"b":1})")));
    row("prettify", "JSON Prettify", QStringLiteral(R"({"b":1,"a":[1,2],"c":{},"d":[]})"),
        S(QStringLiteral(
            "{\n  \"a\" : [\n    1,\n    2\n  ],\n  \"b\" : 1,\n  \"c\" : {},\n  \"d\" : []\n}")));
    row("minify numbers", "JSON Minify",
        QStringLiteral("[1.50, 1E2, -0.0, 123456789012345678901234567890, 2e-9]"),
        S(QStringLiteral("[1.5,100,-0,123456789012345678901234567890,2e-9]")));
    row("minify strings", "JSON Minify", QStringLiteral(R"(["a/b", "é\u00e9", "\ud83d\ude00", "\u0000\n"])"),
        S(QStringLiteral(R"(["a\/b","éé","😀","\u0000\n"])")));
    row("minify sorts by code point", "JSON Minify",
        QStringLiteral(R"({"é":1,"z":2,"Z":3,"😀":4,"\uffff":5})"),
        S(QStringLiteral("{\"Z\":3,\"z\":2,\"é\":1,\"\uffff\":5,\"😀\":4}")));
    row("minify repeated key keeps last", "JSON Minify", QStringLiteral(R"({"a":1,"a":2})"),
        S(QStringLiteral(R"({"a":2})")));
    row("not json", "JSON Prettify", QStringLiteral("{a:1}"), fails);
    row("scalar", "JSON Minify", QStringLiteral("42"), fails);
    row("lone surrogate escape", "JSON Minify", QStringLiteral(R"(["\ud800"])"), fails);
    row("NUL byte", "JSON Minify", QStringLiteral("[1]") + QChar(0), fails);
    row("NUL inside string", "JSON Prettify", QStringLiteral("[\"a") + QChar(0) + QStringLiteral("\"]"),
        fails);
    row("escape", "Escape as String", QStringLiteral("say \"hi\"\n"), S(QStringLiteral(R"("say \"hi\"\n")")));
    row("escape order", "Escape as String", QStringLiteral("\\\r\t/é"), S(QStringLiteral(R"("\\\r\t/é")")));
    row("unescape", "Unescape String", QStringLiteral(R"("a\"b\tc")"), S(QStringLiteral("a\"b\tc")));
    row("unescape newline before backslash", "Unescape String", QStringLiteral(R"(\\n)"),
        S(QStringLiteral("\\\n")));
    row("unescape single quote mark", "Unescape String", QStringLiteral("\""), S(QString()));
    row("unescape one side quoted", "Unescape String", QStringLiteral("\"ab"), S(QStringLiteral("\"ab")));
    row("unescape leaves unicode escapes", "Unescape String", QStringLiteral(R"(\u00e9)"),
        S(QStringLiteral(R"(\u00e9)")));
    row("trim", "Trim Whitespace", QStringLiteral(" \t\n\u00a0a b\u2029\r"), S(QStringLiteral("a b")));
    row("remove newlines", "Remove Newlines", QStringLiteral("a\r\nb\nc\u2028d"),
        S(QStringLiteral("a b c\u2028d")));
    row("sort with trailing break", "Sort Lines", QStringLiteral("b\na\n"), S(QStringLiteral("\na\nb")));
    row("reverse with trailing break", "Reverse Lines", QStringLiteral("b\na\n"),
        S(QStringLiteral("\na\nb")));
    row("sort CR LF gives empty line", "Sort Lines", QStringLiteral("b\r\na"), S(QStringLiteral("\na\nb")));
    row("sort case-sensitive", "Sort Lines", QStringLiteral("a\nb\na\nA"), S(QStringLiteral("A\na\na\nb")));
    row("sort every separator", "Sort Lines", QStringLiteral("d\u000bc\u000cb\u0085a\u2028f\u2029e"),
        S(QStringLiteral("a\nb\nc\nd\ne\nf")));
    row("sort by code point", "Sort Lines", QStringLiteral("😀\n\uffff\né\nz"),
        S(QStringLiteral("z\né\n\uffff\n😀")));
    row("sort canonical", "Sort Lines", QStringLiteral("e\u0301z\nf\ne\u0302"),
        S(QStringLiteral("f\ne\u0301z\ne\u0302")));
    row("unique", "Unique Lines", QStringLiteral("a\nb\na\nA"), S(QStringLiteral("a\nb\nA")));
    row("unique canonical", "Unique Lines", QStringLiteral("café\ncafe\u0301\n café"),
        S(QStringLiteral("café\n café")));
}

void TestTransformations::apply()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(std::optional<QString>, expected);
    const auto t = transformationFromRawValue(name);
    QVERIFY(t);
    QCOMPARE(ondrel::apply(*t, text), expected);
    if (!expected) // a transformation that fails says it may
        QVERIFY(mayFail(*t));
}

void TestTransformations::emptyText_data()
{
    QTest::addColumn<int>("transformation");
    QTest::addColumn<std::optional<QString>>("expected");
    for (Transformation t : kAllTransformations) {
        std::optional<QString> expected = QString();
        if (t == Transformation::jsonPrettify || t == Transformation::jsonMinify)
            expected.reset();
        if (t == Transformation::jsonEscape)
            expected = QStringLiteral("\"\"");
        QTest::newRow(qPrintable(caseName(t))) << int(t) << expected;
    }
}

void TestTransformations::emptyText()
{
    QFETCH(int, transformation);
    QFETCH(std::optional<QString>, expected);
    QCOMPARE(ondrel::apply(Transformation(transformation), QString()), expected);
}

void TestTransformations::lowerCaseIsSimpleMappingButForDottedI()
{
    // Word casing lower-cases code point by code point; that must give what
    // QString::toLower gives, for every code point.
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const QString s = QStringView(QChar::fromUcs4(c)).toString();
        QString mine;
        text::appendCased(mine, s, false);
        if (mine != s.toLower())
            QFAIL(qPrintable(QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0'))));
    }
}

void TestTransformations::bigInputs()
{
    const QString deep = QString(100000, u'[') + QString(100000, u']');
    QCOMPARE(ondrel::apply(Transformation::jsonPrettify, deep), std::nullopt);
    QCOMPARE(ondrel::apply(Transformation::jsonMinify, deep), std::nullopt);
    const QString line = QString(1 << 20, u'x');
    QCOMPARE(ondrel::apply(Transformation::sortLines, line), std::optional<QString>(line));
    QCOMPARE(ondrel::apply(Transformation::uniqueLines, line), std::optional<QString>(line));
    QCOMPARE(ondrel::apply(Transformation::snakeCase, line)->size(), line.size());
}

QTEST_GUILESS_MAIN(TestTransformations)
#include "tst_transformations.moc"
