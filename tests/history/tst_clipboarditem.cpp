#include "HistoryFixture.h"
#include "TextSearch.h"

#include <QTest>

using namespace ondrel;

class TestClipboardItem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void preview_data();
    void preview();
    void labels_data();
    void labels();
    void longTextsAreHeldCompactly_data();
    void longTextsAreHeldCompactly();
    void makers();
    void keyedTypeDecoding_data();
    void keyedTypeDecoding();
};

void TestClipboardItem::preview_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("preview");
    const QString hundred = QString(100, u'a');
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("exactly 100") << hundred << hundred;
    QTest::newRow("101") << hundred + u'b' << hundred + QStringLiteral("...");
    const QString accented = QStringLiteral("e\u0301").repeated(100);
    QTest::newRow("100 with combining marks") << accented << accented;
    QTest::newRow("101 with combining marks")
        << accented + QStringLiteral("e\u0301") << accented + QStringLiteral("...");
    // Long texts keep only their preview decoded.
    QTest::newRow("long, marks") << accented + QString(ClipboardItem::kCompactFrom, u'b')
                                 << accented + QStringLiteral("...");
}

void TestClipboardItem::preview()
{
    QFETCH(QString, text);
    QFETCH(QString, preview);
    QCOMPARE(ClipboardItem::makeText(text).previewText(), preview);
}

void TestClipboardItem::labels_data()
{
    QTest::addColumn<QVariant>("item");
    QTest::addColumn<QString>("label");
    const auto row = [](const char* name, const ClipboardItem& item, const char* label) {
        QTest::newRow(name) << QVariant::fromValue(item) << QString::fromUtf8(label);
    };
    const auto file = [](const char* url) { return ClipboardItem::makeFile({QUrl(QString::fromUtf8(url))}); };
    row("text", ClipboardItem::makeText(QStringLiteral("hi")), "hi");
    row("image", ClipboardItem::makeImage(QImage(2, 2, QImage::Format_ARGB32)), "Image");
    row("file", file("file:///home/u/Documents/report.pdf"), "report.pdf");
    row("folder", file("file:///home/u/Pictures/"), "Pictures");
    row("root", file("file:///"), "/");
    row("file without url", test::itemWithoutContent(ClipboardItemType::file), "File");
    row("text without text", test::itemWithoutContent(ClipboardItemType::text), "");
}

void TestClipboardItem::labels()
{
    QFETCH(QVariant, item);
    QFETCH(QString, label);
    QCOMPARE(item.value<ClipboardItem>().contentLabel(), label);
}

void TestClipboardItem::longTextsAreHeldCompactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("compact");
    const qsizetype n = ClipboardItem::kCompactFrom;
    QTest::newRow("at the limit") << QString(n, u'a') << false;
    QTest::newRow("one over") << QString(n + 1, u'a') << true;
    QTest::newRow("escapes") << QStringLiteral("a/\"q\"\\\t\r\n\u0001\u001f\u007f").repeated(400) << true;
    QTest::newRow("non-ASCII") << QStringLiteral("\u00fcber \u2713 \U0001F600 e\u0301 \u200d").repeated(500)
                               << true;
    QTest::newRow("lone surrogate") << QString(n, u'x') + QChar(0xd800) + u'y' << true;
    // Long texts are converted 65,536 units at a time.
    QTest::newRow("pair across pieces") << QString(65535, u'x') + QStringLiteral("\U0001F600y") << true;
}

void TestClipboardItem::longTextsAreHeldCompactly()
{
    QFETCH(QString, text);
    QFETCH(bool, compact);
    const ClipboardItem item = ClipboardItem::makeText(text);
    QCOMPARE(item.quotedText() != nullptr, compact);
    // A lone surrogate cannot be held in UTF-8; it reads back as U+FFFD, as
    // it would from the history file.
    const QString expected = QString::fromUtf8(text.toUtf8());
    QCOMPARE(item.text(), std::optional<QString>(expected));
    QCOMPARE(item.textLength(), text.size());
    QCOMPARE(item.contentLabel(), expected);
    // Copies share the held form.
    const ClipboardItem copy = item;
    QCOMPARE(copy.quotedText(), item.quotedText());
    // Search looks at the whole text, with the same rules as for short ones.
    QVERIFY(item.matches(text::SearchQuery(expected.right(12).toUpper())));
    QVERIFY(!item.matches(text::SearchQuery(QStringLiteral("not in there"))));
}

void TestClipboardItem::makers()
{
    const ClipboardItem text =
        ClipboardItem::makeText(QStringLiteral("fn main() {"), QStringLiteral("Editor"));
    QCOMPARE(text.type(), ClipboardItemType::text);
    QCOMPARE(text.detectedLanguage(), DetectedLanguage::rust);
    QCOMPARE(text.appName(), std::optional<QString>(QStringLiteral("Editor")));
    QVERIFY(!text.image() && text.fileURLs().isEmpty() && !text.isPinned());
    // Equal only to itself, whatever it holds; a pin changes a copy only.
    QVERIFY(text != ClipboardItem::makeText(QStringLiteral("fn main() {"), QStringLiteral("Editor")));
    ClipboardItem pinned = text;
    pinned.setPinned(true);
    QVERIFY(pinned == text);
    QVERIFY(!text.isPinned());

    const ClipboardItem image = ClipboardItem::makeImage(test::filledImage(QSize(3, 2), Qt::red));
    QCOMPARE(image.detectedLanguage(), DetectedLanguage::plain);
    QVERIFY(image.image() && !image.text() && !image.appName());

    const ClipboardItem transformed = ClipboardItem::makeTransformed(QStringLiteral("{\"a\":1}"));
    QCOMPARE(transformed.appName(), std::optional<QString>(QStringLiteral("Ondrel")));
    QCOMPARE(transformed.detectedLanguage(), DetectedLanguage::json);
    QVERIFY(!transformed.appIcon());
}

void TestClipboardItem::keyedTypeDecoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("type"); // -1: fails
    QTest::addColumn<QString>("error");
    const QString countError = QStringLiteral("Invalid number of keys found, expected one.");
    QTest::newRow("text") << QByteArray(R"({"text":{}})") << 0 << QString();
    QTest::newRow("image") << QByteArray(R"({"image":{}})") << 1 << QString();
    QTest::newRow("inner members ignored") << QByteArray(R"({"text":{"x":1}})") << 0 << QString();
    QTest::newRow("file and other") << QByteArray(R"({"file":{},"other":5})") << 2 << QString();
    QTest::newRow("two known") << QByteArray(R"({"text":{},"image":{}})") << -1 << countError;
    QTest::newRow("two known, one not an object")
        << QByteArray(R"({"text":1,"image":{}})") << -1 << countError;
    QTest::newRow("none") << QByteArray(R"({})") << -1 << countError;
    QTest::newRow("unknown only") << QByteArray(R"({"Text":{}})") << -1 << countError;
    QTest::newRow("value not an object")
        << QByteArray(R"({"file":true})") << -1
        << QStringLiteral("Expected to decode an object for the key \"file\" but "
                          "found another value instead.");
}

void TestClipboardItem::keyedTypeDecoding()
{
    QFETCH(QByteArray, json);
    QFETCH(int, type);
    QFETCH(QString, error);
    const auto decoded = decodeKeyed(*json::parse(std::string_view(json.constData(), json.size())));
    if (type < 0) {
        QVERIFY(!decoded.value);
        QCOMPARE(decoded.error, error);
    } else {
        QCOMPARE(decoded.value, static_cast<ClipboardItemType>(type));
        QCOMPARE(decodeKeyed(encodeKeyed(*decoded.value)).value, decoded.value);
    }
}

QTEST_GUILESS_MAIN(TestClipboardItem)
#include "tst_clipboarditem.moc"
