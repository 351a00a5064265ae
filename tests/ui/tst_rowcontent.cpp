#include "RowContent.h"
#include "Symbols.h"
#include "TestSupport.h"

#include <QTest>

using namespace ondrel;

class TestRowContent : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void age_data();
    void age();
    void languages();
    void tilesAndBadges();
};

void TestRowContent::age_data()
{
    QTest::addColumn<double>("secondsAgo");
    QTest::addColumn<QString>("text");
    QTest::newRow("in the future") << -3600.0 << QStringLiteral("just now");
    QTest::newRow("59.9") << 59.9 << QStringLiteral("just now");
    QTest::newRow("60") << 60.0 << QStringLiteral("1m");
    QTest::newRow("3599") << 3599.0 << QStringLiteral("59m");
    QTest::newRow("3600") << 3600.0 << QStringLiteral("1h");
    QTest::newRow("86399") << 86399.0 << QStringLiteral("23h");
    QTest::newRow("86400") << 86400.0 << QStringLiteral("1d");
    QTest::newRow("absurd") << 1e300 << QStringLiteral("104166666666d");
}

void TestRowContent::age()
{
    QFETCH(double, secondsAgo);
    QFETCH(QString, text);
    const Timestamp now = Timestamp::fromSecondsSinceReferenceDate(800000000.5);
    QCOMPARE(row::ageText(
                 Timestamp::fromSecondsSinceReferenceDate(now.secondsSinceReferenceDate() - secondsAgo), now),
             text);
}

void TestRowContent::languages()
{
    // Every language's tile can be drawn, and code is labelled with its language.
    for (DetectedLanguage l : kAllLanguages) {
        QVERIFY2(!symbolResource(row::languageSymbol(l)).isEmpty(), qPrintable(rawValue(l)));
        QCOMPARE(row::languageBadge(l).has_value(), l != DetectedLanguage::plain);
    }
    QCOMPARE(row::languageBadge(DetectedLanguage::javascript), std::optional<QString>(QStringLiteral("JS")));
}

void TestRowContent::tilesAndBadges()
{
    QCOMPARE(row::tileSymbol(ClipboardItem::makeText(QStringLiteral("{\"a\": 1}"))),
             QStringLiteral("braces"));
    QCOMPARE(row::tileSymbol(ClipboardItem::makeFile({QUrl(QStringLiteral("file:///x.txt"))})),
             QStringLiteral("file"));
    QCOMPARE(row::tileSymbol(ClipboardItem::makeImage(QImage(2, 2, QImage::Format_RGB32))), QString());
    QCOMPARE(row::tileSymbol(ClipboardItem::makeImage(QImage())), QStringLiteral("image"));
    // Ctrl+1 to Ctrl+9, for the first nine rows.
    QCOMPARE(row::numberBadge(0), std::optional<QString>(QStringLiteral("1")));
    QCOMPARE(row::numberBadge(8), std::optional<QString>(QStringLiteral("9")));
    QCOMPARE(row::numberBadge(9), std::nullopt);
    QCOMPARE(row::numberBadge(-1), std::nullopt);
}

QTEST_MAIN(TestRowContent)
#include "tst_rowcontent.moc"
