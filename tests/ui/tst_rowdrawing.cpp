#include "ClipboardItemDelegate.h"
#include "HistoryListModel.h"
#include "IconButton.h"
#include "PopoverFixture.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

using namespace ondrel;
using namespace ondrel::test;

// How a history row is drawn: its preview lines and its card.
class TestRowDrawing : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { failOnUnexpectedWarnings(); }
    void previewLines_data();
    void previewLines();
    void quickLineCountsMatchTheDrawing();
    void cardOutlines();
    void textStopsBeforeTheButtons();
    void selectionsAreMarked();
};

void TestRowDrawing::previewLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("cardHeight");
    QTest::newRow("short prose") << QStringLiteral("Call Ada back") << 1 << 52;
    QTest::newRow("short code") << QStringLiteral("SELECT 1 FROM t;") << 1 << 52;
    QTest::newRow("long prose") << QString(QStringLiteral("word ")).repeated(18) << 2 << 0;
    QTest::newRow("two code lines") << QStringLiteral("SELECT a\nFROM t;") << 2 << 0;
    QTest::newRow("many lines") << QStringLiteral("SELECT a\nFROM t\nWHERE x = 1;") << 2 << 0;
}

void TestRowDrawing::previewLines()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    QFETCH(int, cardHeight);
    test::ShownPopover f({ClipboardItem::makeText(text)});
    QVERIFY(f.shown);
    HistoryList* list = f.view->list();
    const ClipboardItem& item = f.store().items().first();
    const int width = list->viewport()->width() - 2 * ClipboardItemDelegate::kHorizontalInset;
    QCOMPARE(list->rowDelegate()->previewLineCount(item, width), lines);
    const int height = list->cardGeometry(0).height();
    if (cardHeight)
        QCOMPARE(height, cardHeight);
    else
        QVERIFY(height > 52);
}

void TestRowDrawing::quickLineCountsMatchTheDrawing()
{
    // Row heights are measured without laying text out; drawing lays it out
    // and re-measures a row whose count was wrong. Over varied texts that
    // must not happen.
    QList<ClipboardItem> items = test::sampleHistory();
    const QString pieces[] = {
        QStringLiteral("caf\u00e9 "),       QStringLiteral("\U0001F600 "), QStringLiteral("x"),
        QStringLiteral("if (a) { b(); } "), QStringLiteral("\t"),          QStringLiteral("  "),
        QStringLiteral("\u4e2d\u6587"),     QStringLiteral("word "),       QStringLiteral("\n")};
    // Code of growing length around the width of one line.
    for (int k = 0; k < 16; ++k)
        items << ClipboardItem::makeText(QStringLiteral("SELECT ") + QStringLiteral("c, ").repeated(k) +
                                         QStringLiteral("d FROM t;"));
    for (int i = 0; i < 60; ++i) {
        QString text;
        for (int j = 0; j < (i * 7) % 31 + 1; ++j)
            text += pieces[(i + j * j) % std::size(pieces)];
        items << ClipboardItem::makeText(text);
    }
    test::ShownPopover f(items);
    QVERIFY(f.shown);
    QSignalSpy remeasured(f.view->list()->rowDelegate(), &QAbstractItemDelegate::sizeHintChanged);
    QScrollBar* bar = f.view->list()->verticalScrollBar();
    for (int value = 0; value <= bar->maximum(); value += 200) {
        bar->setValue(value);
        renderAt(f.view.get(), 1);
    }
    QCOMPARE(remeasured.count(), 0);
}

void TestRowDrawing::textStopsBeforeTheButtons()
{
    // The delete and pin buttons show over the row's trailing corners on
    // hover: the preview must not run under them.
    test::ShownPopover f({ClipboardItem::makeText(QStringLiteral("W ").repeated(200))});
    QVERIFY(f.shown);
    HistoryList* list = f.view->list();
    for (QWidget* button : list->viewport()->findChildren<IconButton*>())
        button->hide();
    QImage image(list->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    list->viewport()->render(&image);
    const QRect card = list->cardGeometry(0);
    // The column the buttons stand in, inside the card's outline.
    const int left = card.right() - ClipboardItemDelegate::kButtonMargin - ClipboardItemDelegate::kButtonSide;
    for (int y = card.top() + 4; y <= card.bottom() - 4; ++y)
        for (int x = left; x <= card.right() - 4; ++x)
            QVERIFY2(qGray(image.pixel(x, y)) > 160,
                     qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
}

void TestRowDrawing::cardOutlines()
{
    test::ShownPopover f(texts(4));
    QVERIFY(f.shown);
    f.state().setSelectedIndex(1);
    HistoryList* list = f.view->list();
    for (AccentColor accent : kAllAccentColors) {
        f.theme.setAccentColorRaw(rawValue(accent));
        const QImage image = renderAt(f.view.get(), 2);
        const auto outlineAt = [&](int row) {
            const QRect card = list->cardGeometry(row);
            const QPoint edge = list->viewport()->mapTo(f.view.get(), QPoint(card.left(), card.center().y()));
            return image.pixelColor(edge * 2);
        };
        QCOMPARE(outlineAt(1), palette(accent).accent);
        QCOMPARE(outlineAt(0), ink());
        QCOMPARE(outlineAt(2), ink());
        // The background is the accent's palest tint.
        QCOMPARE(image.pixelColor(2, image.height() / 2), palette(accent).faint);
    }
}

void TestRowDrawing::selectionsAreMarked()
{
    // The same entry, copied and selected with the mouse: only the mark tells them apart.
    const ClipboardItem copied = ClipboardItem::makeText(QStringLiteral("same"), QStringLiteral("Editor"),
                                                         std::nullopt, Timestamp::now());
    QList<QImage> cards;
    for (const ClipboardItem& item : {copied, copied.markedFromSelection()}) {
        test::ShownPopover f({item});
        QVERIFY(f.shown);
        HistoryList* list = f.view->list();
        QImage image(list->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        list->viewport()->render(&image);
        cards << image.copy(list->cardGeometry(0));
        const QString spoken = list->model()->index(0, 0).data(Qt::AccessibleTextRole).toString();
        QCOMPARE(spoken.endsWith(QStringLiteral(", from a mouse selection")), item.fromSelection());
    }
    QVERIFY(cards[0] != cards[1]);
}

QTEST_MAIN(TestRowDrawing)
#include "tst_rowdrawing.moc"
