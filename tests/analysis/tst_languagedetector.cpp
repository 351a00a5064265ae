#include "LanguageDetector.h"
#include "Regex.h"
#include "TestSupport.h"

#include <QRandomGenerator>
#include <QTest>

using namespace ondrel;

class TestLanguageDetector : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void detects_data();
    void detects();
    void rawValuesRoundTrip();
    void matchesPattern_data();
    void matchesPattern();
    void cssDecisionAgreesWithPattern();
};

void TestLanguageDetector::detects_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const QString& text, const char* expected) {
        QTest::newRow(name) << text << QString::fromLatin1(expected);
    };
    row("empty", QString(), "plain");
    row("white space only", QStringLiteral("  \n\t \u2028 "), "plain");
    row("json object", QStringLiteral(R"({"a": 1})"), "json");
    row("json array", QStringLiteral("[1, 2, 3]"), "json");
    row("json with blank lines", QStringLiteral("\n\n  {\"a\": 1}\n\n"), "json");
    row("empty object", QStringLiteral("{}"), "json");
    row("unquoted key", QStringLiteral("{a: 1}"), "plain");
    row("trailing comma is not json", QStringLiteral("[1, 2,]"), "plain");
    row("json big integer", QStringLiteral("[123456789012345678901234567890]"), "json");
    row("brace with combining mark is not json", QStringLiteral("{\u0301}"), "plain");
    row("html", QStringLiteral("<div>Hi</div>"), "html");
    row("json inside wide white space", QStringLiteral("\u3000\u00a0{\"é\": 1}\u2028\u0085"), "json");
    row("html inside wide white space", QStringLiteral("\u2003<p>é</p>\u3000"), "html");
    row("upper-case html", QStringLiteral("<DIV>Hi</DIV>"), "plain");
    row("opening tag only", QStringLiteral("<div>Hi"), "plain");
    row("let is swift", QStringLiteral("let x = 5"), "swift");
    row("swift import", QStringLiteral("import SwiftUI"), "swift");
    row("swift attribute", QStringLiteral("@main struct App"), "swift");
    row("const is javascript", QStringLiteral("const x = 5"), "javascript");
    row("arrow with types is typescript", QStringLiteral("const add = (a: number, b: number) => a + b"),
        "typescript");
    row("typed const", QStringLiteral("const x: number = 5"), "plain");
    row("console", QStringLiteral("console.log(1)"), "javascript");
    row("import os", QStringLiteral("import os"), "python");
    row("main guard", QStringLiteral("if __name__ == '__main__':"), "python");
    row("python def", QStringLiteral("def greet(name):"), "python");
    row("ruby def end", QStringLiteral("def greet\nx\nend"), "ruby");
    row("ruby def end with final newline", QStringLiteral("def greet\nx\nend\n"), "ruby");
    row("ruby block", QStringLiteral("items.each do |i|"), "ruby");
    row("ruby require", QStringLiteral("require 'json'"), "ruby");
    row("go receiver", QStringLiteral("func (s *Server) Start() {"), "go");
    row("go short assignment", QStringLiteral("x := 1"), "go");
    row("go package", QStringLiteral("package main"), "go");
    row("plain func is swift", QStringLiteral("func main() {"), "swift");
    row("rust fn", QStringLiteral("fn main() {"), "rust");
    row("rust use", QStringLiteral("use std::io;"), "rust");
    row("sql", QStringLiteral("select name from users"), "sql");
    row("select alone", QStringLiteral("SELECT 1"), "plain");
    row("shebang", QStringLiteral("#!/bin/bash\necho hi"), "shell");
    row("shebang after blank line", QStringLiteral("\n#!/usr/bin/zsh"), "plain");
    row("english sentence", QStringLiteral("Thanks for the help"), "shell");
    row("keyword suffix", QStringLiteral("undo"), "shell");
    row("variable", QStringLiteral("echo $HOME"), "shell");
    row("css", QStringLiteral(".button { color: red; }"), "css");
    row("css across lines", QStringLiteral("#main\n{\n  margin: 0\n}"), "css");
    row("hello", QStringLiteral("Hello world"), "plain");
    row("lone surrogate", QStringLiteral("ab") + QChar(0xD800) + QStringLiteral("cd"), "plain");
}

void TestLanguageDetector::detects()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(rawValue(detectLanguage(text)), expected);
}

void TestLanguageDetector::rawValuesRoundTrip()
{
    for (DetectedLanguage language : kAllLanguages)
        QCOMPARE(languageFromRawValue(rawValue(language)), language);
    QCOMPARE(languageFromRawValue(u"Swift"), std::nullopt);
    QCOMPARE(languageFromRawValue(u""), std::nullopt);
    // No text is plain.
    QCOMPARE(detectLanguage(std::optional<QString>()), DetectedLanguage::plain);
}

void TestLanguageDetector::matchesPattern_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("does not compile") << QStringLiteral("abc") << QStringLiteral("(") << false;
    QTest::newRow("anywhere") << QStringLiteral("xxabcxx") << QStringLiteral("abc") << true;
    QTest::newRow("^ is not multi-line") << QStringLiteral("x\nabc") << QStringLiteral("^abc") << false;
    QTest::newRow("$ before final newline") << QStringLiteral("abc\n") << QStringLiteral("abc$") << true;
    QTest::newRow("$ not before inner newline")
        << QStringLiteral("abc\nx") << QStringLiteral("abc$") << false;
    QTest::newRow("$ before final CR LF") << QStringLiteral("abc\r\n") << QStringLiteral("abc$") << true;
    QTest::newRow("dot stops at LS") << QStringLiteral("a\u2028b") << QStringLiteral("a.b") << false;
    QTest::newRow("dot stops at NEL") << QStringLiteral("a\u0085b") << QStringLiteral("a.b") << false;
    QTest::newRow("dot takes tab") << QStringLiteral("a\tb") << QStringLiteral("a.b") << true;
    QTest::newRow("case-sensitive") << QStringLiteral("SELECT") << QStringLiteral("select") << false;
    QTest::newRow("inline caseless") << QStringLiteral("SELECT") << QStringLiteral("(?i)select") << true;
    QTest::newRow("unicode word") << QStringLiteral("let été = 1") << QStringLiteral(R"(\blet\s+\w+\s*=)")
                                  << true;
    QTest::newRow("unicode space") << QStringLiteral("a\u3000b") << QStringLiteral(R"(a\sb)") << true;
    QTest::newRow("unicode boundary") << QStringLiteral("éfor") << QStringLiteral(R"(\bfor)") << false;
    QTest::newRow("lookahead") << QStringLiteral("ab") << QStringLiteral("a(?=b)") << true;
}

void TestLanguageDetector::matchesPattern()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(analysis::matchesPattern(text, pattern), matches);
}

static const QString kCssPattern = QStringLiteral(R"([.#]?\w+\s*\{[^}]*:[^}]*\})");

void TestLanguageDetector::cssDecisionAgreesWithPattern()
{
    // Cases chosen by hand, then short random texts over the characters the
    // rule cares about, plus neighbours easy to misclassify as word or space.
    QStringList texts;
    for (const char* text :
         {"a{:}",          "a {x:y}",       "a\n\t{x:y}",    "{x:y}",      " {x:y}",     "-{x:y}",
          "a{x}",          "a{x:y",         "a{}:}",         "a{{:}",      "a{b}c{:}",   "a{:{}",
          "é{:}",          "_{:}",          "1{:}",          "a.{:}",      "a{\n:\n}",   "a { b { c: d } }",
          ":a{}",          "a{x}{:}",       "a {x} b {y:z}", "a\u00a0{:}", "a\u2028{:}", "a\u200b{:}",
          "\U0001D44E{:}", "\U0001F600{:}", "e\u0301{:}"})
        texts << QString::fromUtf8(text);
    const QString alphabet = QStringLiteral("{}:;.#a_1 \n\t\u00a0é-\u0301\u3000");
    QRandomGenerator rng(20261206);
    for (int round = 0; round < 20000; ++round) {
        QString text;
        const int length = rng.bounded(1, 12);
        for (int i = 0; i < length; ++i)
            text.append(alphabet[rng.bounded(alphabet.size())]);
        texts << text;
    }
    for (const QString& text : std::as_const(texts)) {
        const bool linear = detail::cssRuleMatches(text);
        const bool pattern = analysis::matchesPattern(text, kCssPattern);
        if (linear != pattern)
            QFAIL(qPrintable(QStringLiteral("disagree on \"%1\": linear %2, pattern %3")
                                 .arg(text)
                                 .arg(linear)
                                 .arg(pattern)));
    }
}

QTEST_GUILESS_MAIN(TestLanguageDetector)
#include "tst_languagedetector.moc"
