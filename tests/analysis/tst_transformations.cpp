#include "TestSupport.h"
#include "TextCase.h"
#include "Transformations.h"

#include <QTest>

using namespace ondrel;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
// A transformation (by its shown name), a text, and what it gives; none: it fails.
void row(const char* tag, const char* name, const QString& text, const char* expected)
{
    QTest::newRow(tag) << QString::fromLatin1(name) << text
                       << (expected ? std::optional(QString::fromUtf8(expected)) : std::nullopt);
}
void row(const char* tag, const char* name, const char* text, const char* expected)
{
    row(tag, name, QString::fromUtf8(text), expected);
}
} // namespace

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
    // Words are written split at "|".
    const auto row = [](const char* name, const char* text, const char* words) {
        QTest::newRow(name) << QString::fromUtf8(text)
                            << QString::fromUtf8(words).split(u'|', Qt::SkipEmptyParts);
    };
    row("camel", "myVariableName", "my|variable|name");
    row("capital run", "XMLParser", "xmlparser");
    row("digit then capital", "version2Update", "version2|update");
    row("separators", "foo_bar-baz qux", "foo|bar|baz|qux");
    row("only separators", "_- _", "");
    row("tab is ordinary", "a\tb", "a\tb");
    row("unicode capitals", "éclairÀLaCrème", "éclair|àla|crème");
    row("decomposed capital", "aE\u0301b", "a|e\u0301b");
    row("hyphen with mark is no separator", "a-\u0301b", "a-\u0301b");
    row("greek", "αΒγ", "α|βγ");
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
    row("camel", "camelCase", "hello world", "helloWorld");
    row("pascal", "PascalCase", "hello world", "HelloWorld");
    row("snake", "snake_case", "hello world", "hello_world");
    row("kebab", "kebab-case", "hello world", "hello-world");
    row("snake of camel", "snake_case", "myVariableName", "my_variable_name");
    row("camel of mixed separators", "camelCase", "foo_bar-baz qux", "fooBarBazQux");
    row("camel of separators only", "camelCase", "___", "___");
    row("pascal of separators only", "PascalCase", "___", "");
    row("snake of separators only", "snake_case", "- -", "");
    row("kebab of separators only", "kebab-case", "___", "");
    row("snake keeps line feed", "snake_case", "line one\nline two", "line_one\nline_two");
    row("camel capitalises after line feed", "camelCase", "line one\nline two", "lineOne\nLineTwo");
    row("pascal of sharp s", "PascalCase", "ßig deal", "SsigDeal");
    row("upper full mapping", "UPPERCASE", "straße ﬁx", "STRASSE FIX");
    row("upper ignores turkish locale", "UPPERCASE", "i", "I");
    row("lower", "lowercase", "ÀB İ", "àb i\u0307");
    row("title", "Title Case", "hello WORLD", "Hello World");
    row("title across white space", "Title Case", "a\tb\nc\u3000d-e", "A\tB\nC\u3000D-e");
    row("title of ligature and digraph", "Title Case", "ﬁne ǆ İSTANBUL", "Fine ǅ İstanbul");
    row("base64 encode", "Base64 Encode", "a", "YQ==");
    row("base64 encode utf-8", "Base64 Encode", "é😀", "w6nwn5iA");
    row("base64 encode lone surrogate", "Base64 Encode", QString(QChar(0xD800)), nullptr);
    row("base64 decode unpadded", "Base64 Decode", "YQ", nullptr);
    row("base64 decode white space", "Base64 Decode", "YQ==\n", nullptr);
    row("base64 decode inner space", "Base64 Decode", "Y Q==", nullptr);
    row("base64 decode padding inside", "Base64 Decode", "YQ==YQ==", nullptr);
    row("base64 decode three pads", "Base64 Decode", "Y===", nullptr);
    row("base64 decode url alphabet", "Base64 Decode", "-_8=", nullptr);
    row("base64 decode not utf-8", "Base64 Decode", "/w==", nullptr);
    row("base64 decode utf-8", "Base64 Decode", "w6nwn5iA", "é😀");
    row("url encode", "URL Encode", "a b&c=d/e?f", "a%20b&c=d/e?f");
    row("url encode reserved", "URL Encode", "#%[]é~!$'()*+,;:@", "%23%25%5B%5D%C3%A9~!$'()*+,;:@");
    row("url decode", "URL Decode", "a%20b%c3%A9+", "a bé+");
    row("url decode percent at end", "URL Decode", "100%", nullptr);
    row("url decode one digit", "URL Decode", "%4", nullptr);
    row("url decode not hex", "URL Decode", "%zz", nullptr);
    row("url decode incomplete utf-8", "URL Decode", "%E0%A4", nullptr);
    row("url decode non-ascii kept", "URL Decode", "é%21", "é!");
    row("prettify", "JSON Prettify", R"({"b":1,"a":[1,2],"c":{},"d":[]})",
        "{\n  \"a\" : [\n    1,\n    2\n  ],\n  \"b\" : 1,\n  \"c\" : {},\n  \"d\" : []\n}");
    row("minify numbers", "JSON Minify", "[1.50, 1E2, -0.0, 123456789012345678901234567890, 2e-9]",
        "[1.5,100,-0,123456789012345678901234567890,2e-9]");
    row("minify strings", "JSON Minify", R"(["a/b", "é\u00e9", "\ud83d\ude00", "\u0000\n"])",
        R"(["a\/b","éé","😀","\u0000\n"])");
    row("minify sorts by code point", "JSON Minify", R"({"é":1,"z":2,"Z":3,"😀":4,"\uffff":5})",
        "{\"Z\":3,\"z\":2,\"é\":1,\"\uffff\":5,\"😀\":4}");
    row("minify repeated key keeps last", "JSON Minify", R"({"a":1,"a":2})", R"({"a":2})");
    row("not json", "JSON Prettify", "{a:1}", nullptr);
    row("scalar", "JSON Minify", "42", nullptr);
    row("lone surrogate escape", "JSON Minify", R"(["\ud800"])", nullptr);
    row("NUL byte", "JSON Minify", QStringLiteral("[1]") + QChar(0), nullptr);
    row("NUL inside string", "JSON Prettify", QStringLiteral("[\"a") + QChar(0) + QStringLiteral("\"]"),
        nullptr);
    row("escape", "Escape as String", "say \"hi\"\n", R"("say \"hi\"\n")");
    row("escape order", "Escape as String", "\\\r\t/é", R"("\\\r\t/é")");
    row("unescape", "Unescape String", R"("a\"b\tc")", "a\"b\tc");
    row("unescape newline before backslash", "Unescape String", R"(\\n)", "\\\n");
    row("unescape single quote mark", "Unescape String", "\"", "");
    row("unescape one side quoted", "Unescape String", "\"ab", "\"ab");
    row("unescape leaves unicode escapes", "Unescape String", R"(\u00e9)", R"(\u00e9)");
    row("trim", "Trim Whitespace", " \t\n\u00a0a b\u2029\r", "a b");
    row("remove newlines", "Remove Newlines", "a\r\nb\nc\u2028d", "a b c\u2028d");
    row("sort with trailing break", "Sort Lines", "b\na\n", "\na\nb");
    row("reverse with trailing break", "Reverse Lines", "b\na\n", "\na\nb");
    row("sort CR LF gives empty line", "Sort Lines", "b\r\na", "\na\nb");
    row("sort case-sensitive", "Sort Lines", "a\nb\na\nA", "A\na\na\nb");
    row("sort every separator", "Sort Lines", "d\u000bc\u000cb\u0085a\u2028f\u2029e", "a\nb\nc\nd\ne\nf");
    row("sort by code point", "Sort Lines", "😀\n\uffff\né\nz", "z\né\n\uffff\n😀");
    row("sort canonical", "Sort Lines", "e\u0301z\nf\ne\u0302", "f\ne\u0301z\ne\u0302");
    row("unique", "Unique Lines", "a\nb\na\nA", "a\nb\nA");
    row("unique canonical", "Unique Lines", "café\ncafe\u0301\n café", "café\n café");
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
