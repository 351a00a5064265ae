#include "TestSupport.h"
#include "Text.h"
#include "TextSearch.h"

#include <QRandomGenerator>

#include <unicode/brkiter.h>

#include <QTest>
#include <memory>

using namespace ondrel;

class TestText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void offsetAfterCharacters_data();
    void offsetAfterCharacters();
    void canonicalEquality_data();
    void canonicalEquality();
    void trimming();
    void utf8Validation_data();
    void utf8Validation();
    void search_data();
    void search();
    void foldsToAsciiListIsComplete();
    void searchAgreesWithReferenceOnRandomText();
    void boundariesAgreeWithIcu();
};

void TestText::offsetAfterCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("offset");
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"); // one character
    QTest::newRow("shorter") << QStringLiteral("abc") << 5 << -1;
    QTest::newRow("exactly") << QStringLiteral("abcde") << 5 << -1;
    QTest::newRow("longer") << QStringLiteral("abcdef") << 5 << 5;
    QTest::newRow("combining marks") << QStringLiteral("e\u0301e\u0301e\u0301") << 2 << 4;
    QTest::newRow("emoji sequence") << family + family + family << 2 << int(family.size() * 2);
    QTest::newRow("CR LF is one") << QStringLiteral("\r\n\r\nx") << 2 << 4;
    QTest::newRow("flags pair up") << QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7x") << 2 << 8;
    QTest::newRow("long cluster beyond window")
        << QStringLiteral("a") + QString(2000, QChar(0x0301)) + QStringLiteral("bc") << 2 << 2002;
    QTest::newRow("many characters") << QString(100000, u'x') << 100 << 100;
    QTest::newRow("mark joined by ZWJ at the start") << QStringLiteral("\u0903\u200Dab") << 2 << 3;
}

void TestText::offsetAfterCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(int, offset);
    QCOMPARE(text::offsetAfterCharacters(text, count), qsizetype(offset));
}

void TestText::canonicalEquality_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("same") << QStringLiteral("abc") << QStringLiteral("abc") << true;
    QTest::newRow("composed vs decomposed")
        << QStringLiteral("caf\u00e9") << QStringLiteral("cafe\u0301") << true;
    QTest::newRow("mark order") << QStringLiteral("a\u0323\u0301") << QStringLiteral("a\u0301\u0323") << true;
    QTest::newRow("case differs") << QStringLiteral("abc") << QStringLiteral("ABC") << false;
    QTest::newRow("compatibility is not canonical")
        << QStringLiteral("\uFB01") << QStringLiteral("fi") << false;
    // The longest decompositions: one code point to four (twice), a syllable to three jamo.
    QTest::newRow("eight from one") << QStringLiteral("\u1F82\u1F82")
                                    << QStringLiteral("\u03B1\u0313\u0300\u0345").repeated(2) << true;
    QTest::newRow("hangul") << QStringLiteral("\uAC01") << QStringLiteral("\u1100\u1161\u11A8") << true;
    QTest::newRow("astral, decomposed")
        << QStringLiteral("\U0001D15E") << QStringLiteral("\U0001D157\U0001D165") << true;
    QTest::newRow("far longer") << QStringLiteral("e\u0301") << QStringLiteral("\u00e9").repeated(17)
                                << false;
}

void TestText::canonicalEquality()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, equal);
    QCOMPARE(text::canonicallyEqual(a, b), equal);
    QCOMPARE(text::canonicallyEqual(b, a), equal);
    // The length test never rules out an equal pair.
    if (equal)
        QVERIFY(text::mayBeCanonicallyEqual(a.size(), b.size()));
}

void TestText::trimming()
{
    QCOMPARE(text::trimmed(u" \t\n\u00a0\u2028\u0085x y\u3000\r\v\f"), QStringView(u"x y"));
    QCOMPARE(text::trimmed(u"\u200bx"), QStringView(u"\u200bx")); // zero-width space is not white space
    QCOMPARE(text::trimmed(u"   "), QStringView());
}

void TestText::utf8Validation_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ascii") << QByteArray("abc") << true;
    QTest::newRow("two bytes") << QByteArray("\xc3\xa9") << true;
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << true;
    QTest::newRow("largest") << QByteArray("\xf4\x8f\xbf\xbf") << true;
    QTest::newRow("stray continuation") << QByteArray("\x80") << false;
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("overlong three") << QByteArray("\xe0\x80\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("above range") << QByteArray("\xf4\x90\x80\x80") << false;
    QTest::newRow("truncated") << QByteArray("\xe2\x82") << false;
    QTest::newRow("ff") << QByteArray("\xff") << false;
    // The regex engine is told its UTF-8 input is valid; QString must keep that promise.
    QTest::newRow("lone surrogates from QString")
        << (u'a' + QString(QChar(0xDC00)) + u'b' + QChar(0xD800)).toUtf8() << true;
}

void TestText::utf8Validation()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(text::isValidUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))),
             valid);
}

void TestText::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("found");
    const auto row = [](const char* name, const char* text, const char* query, bool found) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(query) << found;
    };
    row("plain", "Hello world", "o w", true);
    row("case", "report.pdf", "REPORT", true);
    row("missing", "report.pdf", "rpt", false);
    row("space only", "nospace", " ", false);
    row("sharp s matches SS", "Straße", "STRASSE", true);
    row("SS matches sharp s", "STRASSE", "straße", true);
    row("accent not folded", "café", "cafe", false);
    row("bare not folded", "cafe", "café", false);
    row("decomposed cafe splits", "cafe\u0301", "cafe", false);
    row("prefix before accent", "café", "caf", true);
    row("composed finds decomposed", "cafe\u0301!", "CAFÉ", true);
    row("decomposed finds composed", "CAFÉ", "cafe\u0301", true);
    row("greek case", "ΟΔΟΣ", "οδος", true);
    row("kelvin sign", "5 \u212A", "k", true);
    row("emoji", "ok 👍🏽 done", "👍🏽", true);
    row("emoji without skin tone splits", "ok 👍🏽", "👍", false);
    row("CR LF not split (ascii)", "a\r\nb", "a\r", false);
    row("CR LF not split (unicode)", "é\r\nb", "\nb", false);
    row("CR LF whole", "a\r\nb", "\r\nb", true);
    row("empty query", "x", "", true);
    row("long s", "Meßſtab", "SSS", true);
    row("ligature", "\uFB01le", "FILE", true);
    row("ligature not split", "\uFB01le", "ile", false);
    row("ascii query before mark in unicode text", "naïve cafe\u0301", "cafe", false);
    row("ascii query in unicode text", "naïve cafe", "CAFE", true);
    row("ascii query before emoji modifier", "é a\u200D", "a", false);
    row("ascii query after prepend", "\u0600a", "a", false);
    row("sharp s with a mark is not ss", "ß\u0301", "ss", false);
    row("half of a sharp s", "ß", "s", false);
    row("sharp s inside a match", "Grüße aus Maßstab", "MASSSTA", true);
    row("greek question mark is a semicolon", "a\u037Eb", ";", true);
    row("dotted capital I", "\u0130stanbul", "i", false);
    row("dotted capital I whole", "\u0130stanbul", "i\u0307s", true);
}

void TestText::search()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(bool, found);
    QCOMPARE(text::containsIgnoringCase(text, query), found);
}

void TestText::foldsToAsciiListIsComplete()
{
    // Searching ASCII queries in the text itself relies on this list naming
    // every character whose caseless form is made of ASCII only.
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const auto units = QChar::fromUcs4(c);
        const QString form = text::detail::caselessForm(QStringView(units));
        const bool ascii = text::isAscii(form);
        if (ascii != text::detail::foldsToAscii(c) || (ascii && text::detail::asciiFold(c) != form))
            QFAIL(qPrintable(QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0'))));
    }
}

// Slow and obviously right: some run of whole characters has the query's
// caseless form.
static bool referenceContains(const QString& text, const QString& query)
{
    if (query.isEmpty())
        return true;
    QList<qsizetype> cuts{0};
    text::CharacterBoundaries boundaries(text);
    for (qsizetype p; (p = boundaries.next()) != -1;)
        cuts << p;
    const QString wanted = text::detail::caselessForm(query);
    for (qsizetype a = 0; a < cuts.size(); ++a)
        for (qsizetype b = a + 1; b < cuts.size(); ++b)
            if (text::detail::caselessForm(QStringView(text).sliced(cuts[a], cuts[b] - cuts[a])) == wanted)
                return true;
    return false;
}

void TestText::searchAgreesWithReferenceOnRandomText()
{
    const QStringList pieces = {
        QStringLiteral("a"),      QStringLiteral("S"),          QStringLiteral("s"),
        QStringLiteral("e"),      QStringLiteral("É"),          QStringLiteral("\u0301"),
        QStringLiteral("ß"),      QStringLiteral("\uFB01"),     QStringLiteral("f"),
        QStringLiteral("i"),      QStringLiteral("\r"),         QStringLiteral("\n"),
        QStringLiteral(" "),      QStringLiteral("\u0600"),     QStringLiteral("\u200D"),
        QStringLiteral("👍"),      QStringLiteral("\U0001F3FD"), QStringLiteral("\U0001F1EB"),
        QStringLiteral("\u0130"), QStringLiteral("\u212A"),     QStringLiteral("k"),
        QStringLiteral("\u0903"),
    };
    QRandomGenerator rng(7);
    const auto show = [](const QString& s) {
        QStringList units;
        for (const QChar c : s)
            units << QString::number(c.unicode(), 16);
        return units.join(u' ');
    };
    for (int round = 0; round < 4000; ++round) {
        QStringList textPieces;
        for (int i = rng.bounded(1, 14); i > 0; --i)
            textPieces << pieces[rng.bounded(pieces.size())];
        QString query;
        if (round % 2 == 0) { // often a run of the text itself, sometimes in another case
            const int from = rng.bounded(textPieces.size());
            query = textPieces.mid(from, rng.bounded(1, int(textPieces.size() - from) + 1)).join(QString());
            if (round % 4 == 0)
                query = query.toUpper();
        } else {
            for (int i = rng.bounded(1, 4); i > 0; --i)
                query += pieces[rng.bounded(pieces.size())];
        }
        const QString text = textPieces.join(QString());
        const bool fast = text::containsIgnoringCase(text, query);
        if (fast != referenceContains(text, query))
            QFAIL(qPrintable(QStringLiteral("text [%1] query [%2] fast says %3")
                                 .arg(show(text), show(query), QString::number(fast))));
    }
}

void TestText::boundariesAgreeWithIcu()
{
    // The short cuts for single code points of class Other must not change
    // any boundary ICU's full rules give.
    const QStringList pieces = {
        QStringLiteral("a"),          QStringLiteral("\r"),         QStringLiteral("\n"),
        QStringLiteral("\t"),         QStringLiteral("\u0301"),     QStringLiteral("\u200D"),
        QStringLiteral("\u0903"),     QStringLiteral("\u0600"),     QStringLiteral("👍"),
        QStringLiteral("\U0001F3FD"), QStringLiteral("\U0001F1EB"), QStringLiteral("\u1100"),
        QStringLiteral("\u1161"),     QStringLiteral("\uAC00"),     QStringLiteral("é"),
        QStringLiteral("\u00AD"),     QStringLiteral("©"),          QStringLiteral("\uFE0F"),
    };
    QRandomGenerator rng(11);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> icu(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    QVERIFY(U_SUCCESS(status));
    for (int round = 0; round < 5000; ++round) {
        QString text;
        for (int i = rng.bounded(1, 12); i > 0; --i)
            text += pieces[rng.bounded(pieces.size())];
        QList<qsizetype> expected;
        const icu::UnicodeString copy(reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()));
        icu->setText(copy);
        for (int32_t p = icu->next(); p != icu::BreakIterator::DONE; p = icu->next())
            expected << p;
        QList<qsizetype> actual;
        text::CharacterBoundaries boundaries(text);
        for (qsizetype p; (p = boundaries.next()) != -1;)
            actual << p;
        QCOMPARE(actual, expected);
    }
}

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
