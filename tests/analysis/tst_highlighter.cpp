#include "Highlighter.h"
#include "TestSupport.h"

#include <QTest>

using namespace ondrel;

namespace {

// "role:text|role:text..." — readable expectations for a whole text.
QString render(const QString& text, const QList<HighlightSpan>& spans)
{
    QStringList parts;
    for (const HighlightSpan& s : spans)
        parts << roleName(s.role) + u':' + text.sliced(s.start, s.end - s.start);
    return parts.join(u'|');
}

} // namespace

class TestHighlighter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void highlights_data();
    void highlights();
    void spansCoverTextWithoutGaps();
    void oddPatterns();
};

void TestHighlighter::highlights_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* language, const QString& text, const QString& expected) {
        QTest::newRow(name) << QString::fromLatin1(language) << text << expected;
    };
    row("plain", "plain", QStringLiteral("let x = 1"), QStringLiteral("base:let x = 1"));
    row("every match", "swift", QStringLiteral("let a = 1\nlet b = 2"),
        QStringLiteral("keyword:let|base: a = |number:1|base:\n|keyword:let|base: b = |number:2"));
    row("keyword in comment", "swift", QStringLiteral("x // let y"),
        QStringLiteral("base:x |comment:// |keyword:let|comment: y"));
    row("line comment only at the end", "swift", QStringLiteral("a // x\nb"),
        QStringLiteral("base:a // x\nb"));
    row("line comment before final newline", "python", QStringLiteral("a # x\n"),
        QStringLiteral("base:a |comment:# x|base:\n"));
    row("block comment spans lines", "go", QStringLiteral("/* a\nb */ x"),
        QStringLiteral("comment:/* a\nb */|base: x"));
    row("number in string", "swift", QStringLiteral("\"v 1\""),
        QStringLiteral("string:\"v |number:1|string:\""));
    row("no number inside a word", "swift", QStringLiteral("v1"), QStringLiteral("base:v1"));
    row("some is a type", "swift", QStringLiteral("some View"), QStringLiteral("type:some|base: |type:View"));
    row("attribute", "swift", QStringLiteral("@State var"),
        QStringLiteral("keyword:@State|base: |keyword:var"));
    row("call wins over keyword", "javascript", QStringLiteral("if (x)"),
        QStringLiteral("function:if|base: (x)"));
    row("swift call", "swift", QStringLiteral("print(x)"), QStringLiteral("function:print|base:(x)"));
    row("go call", "go", QStringLiteral("fmt.Println(x)"),
        QStringLiteral("base:fmt.|function:Println|base:(x)"));
    row("null is a literal", "javascript", QStringLiteral("null"), QStringLiteral("number:null"));
    row("template string", "typescript", QStringLiteral("`a ${b}`"), QStringLiteral("string:`a ${b}`"));
    row("python triple quotes", "python", QStringLiteral("x = \"\"\"a\nb\"\"\""),
        QStringLiteral("base:x = |string:\"\"\"a\nb\"\"\""));
    row("python def", "python", QStringLiteral("def f(x): pass"),
        QStringLiteral("keyword:def|base: |function:f|base:(x): |keyword:pass"));
    row("ruby words are functions", "ruby", QStringLiteral("def go? :sym @v 1 end"),
        QStringLiteral(
            "function:def|base: |function:go?|base: |string::|function:sym|base: |variable:@|function:v|"
            "base: |function:1|base: |function:end"));
    row("ruby block comment", "ruby", QStringLiteral("=begin\nx\n=end"),
        QStringLiteral("comment:=|function:begin|comment:\n|function:x|comment:\n=|function:end"));
    row("json keys end as strings", "json", QStringLiteral(R"({"a": -1.5e3, "b": true})"),
        QStringLiteral(
            R"(base:{|string:"a"|base:: |number:-1.5e3|base:, |string:"b"|base:: |keyword:true|base:})"));
    row("html", "html", QStringLiteral(R"(<a href="x">t</a><!-- c -->)"),
        QStringLiteral(
            R"(keyword:<a|base: |property:href|base:=|string:"x"|keyword:>|base:t|keyword:</a>|comment:<!-- c --|keyword:>)"));
    row("html self-closing", "html", QStringLiteral("<br/>"), QStringLiteral("keyword:<br/>"));
    row("css", "css", QStringLiteral(".btn { color: #fff; margin: 2px; }"),
        QStringLiteral("type:.btn|base: { |property:color|base:: |number:#fff|base:; |property:margin|base:: "
                       "|number:2px|base:; }"));
    row("shell", "shell", QStringLiteral("if [ $HOME ]; then echo 'a' 42; fi"),
        QStringLiteral(
            "keyword:if|base: [ |variable:$HOME|base: ]; |keyword:then|base: echo |string:'a'|base: "
            "|number:42|base:; |keyword:fi"));
    row("sql any case", "sql", QStringLiteral("select a::VARCHAR, 'x' FROM t -- c"),
        QStringLiteral("keyword:select|base: a::|type:VARCHAR|base:, |string:'x'|base: |keyword:FROM|base: t "
                       "|comment:-- c"));
    row("go raw string", "go", QStringLiteral("x := `a\"b` // c"),
        QStringLiteral("base:x := |string:`a\"b`|base: |comment:// c"));
    row("rust macro", "rust", QStringLiteral("println!(\"{}\", x)"),
        QStringLiteral("function:println!|base:(|string:\"{}\"|base:, x)"));
    row("rust literal", "rust", QStringLiteral("Some(1)"),
        QStringLiteral("function:Some|base:(|number:1|base:)"));
    row("emoji and marks", "swift", QStringLiteral("\"é😀e\u0301\" 7"),
        QStringLiteral("string:\"é😀e\u0301\"|base: |number:7"));
    row("escaped quote", "swift", QStringLiteral(R"("a\"b" c)"), QStringLiteral(R"(string:"a\"b"|base: c)"));
}

void TestHighlighter::highlights()
{
    QFETCH(QString, language);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(render(text, highlight(text, *languageFromRawValue(language))), expected);
}

void TestHighlighter::spansCoverTextWithoutGaps()
{
    const QString text = QStringLiteral("fn main() { let s = \"😀\"; /* é */ 3 }");
    for (DetectedLanguage language : kAllLanguages) {
        const QList<HighlightSpan> spans = highlight(text, language);
        qsizetype at = 0;
        for (qsizetype i = 0; i < spans.size(); ++i) {
            QCOMPARE(spans[i].start, at);
            QVERIFY(spans[i].end > spans[i].start);
            if (i > 0)
                QVERIFY(spans[i].role != spans[i - 1].role);
            at = spans[i].end;
        }
        QCOMPARE(at, text.size());
    }
    QVERIFY(highlight(QString(), DetectedLanguage::swift).isEmpty());
}

void TestHighlighter::oddPatterns()
{
    // Empty matches move on; a pattern that does not compile is skipped.
    const QString text = QStringLiteral("ab😀xxb1");
    const auto spans = detail::highlightWith(text, {{QStringLiteral("x*"), ColorRole::keyword},
                                                    {QStringLiteral("(?=b)"), ColorRole::string},
                                                    {QStringLiteral("("), ColorRole::type},
                                                    {QStringLiteral("\\d"), ColorRole::number}});
    QCOMPARE(render(text, spans), QStringLiteral("base:ab😀|keyword:xx|base:b|number:1"));
}

QTEST_GUILESS_MAIN(TestHighlighter)
#include "tst_highlighter.moc"
