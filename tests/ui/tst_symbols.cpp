#include "Painting.h"
#include "Symbols.h"
#include "TestSupport.h"
#include "TrayIcon.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>

using namespace ondrel;

class TestSymbols : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void transformationIconsExist();
    void tintedAndSharp_data();
    void tintedAndSharp();
    void drawnAtTheTargetsResolution();
    void weights();
    void trayIconDrawnAtItsOwnSize_data();
    void trayIconDrawnAtItsOwnSize();
};

void TestSymbols::transformationIconsExist()
{
    // A misspelt name in a view is a warning, which fails every view test
    // (the transformations' among them, drawn in tst_popover's screens).
    QTest::ignoreMessage(QtWarningMsg, "No icon named \"no-such-icon\"");
    QVERIFY(symbolResource(u"no-such-icon").isEmpty());
    QVERIFY(symbolPixmap(u"", Qt::black, 12).isNull());
}

void TestSymbols::tintedAndSharp_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1x") << 1.0;
    QTest::newRow("2x") << 2.0;
}

void TestSymbols::tintedAndSharp()
{
    QFETCH(qreal, ratio);
    const QColor accent(0xE1, 0x1D, 0x48);
    const QPixmap pixmap = symbolPixmap(u"trash-2", accent, 16, ratio);
    QCOMPARE(pixmap.devicePixelRatio(), ratio);
    QCOMPARE(pixmap.width(), int(16 * ratio));
    const QImage image = pixmap.toImage();
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255) {
                ++opaque;
                QCOMPARE(c.rgb(), accent.rgb()); // fully covered pixels are exactly the tint
            }
        }
    QVERIFY(opaque > 4 * ratio * ratio);
}

namespace {

// Draws one symbol the way the views do.
class SymbolProbe final : public QWidget
{
public:
    SymbolProbe() { resize(40, 40); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paint::drawSymbol(painter, QRectF(0, 0, 40, 40), u"x", Qt::black, 20);
    }
};

QImage blank(qreal dpr)
{
    QImage image(QSize(40, 40) * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

void TestSymbols::drawnAtTheTargetsResolution()
{
    // A picture at 2x (a screenshot, a HiDPI screen) gets the symbol drawn
    // at 2x, not a 1x drawing enlarged.
    SymbolProbe probe;
    QImage rendered = blank(2);
    probe.render(&rendered, QPoint(), QRegion(), QWidget::DrawChildren);
    QImage expected = blank(2);
    {
        QPainter painter(&expected);
        const qreal side = paint::symbolSide(20);
        const QPixmap pixmap = symbolPixmap(u"x", Qt::black, side, 2);
        painter.drawPixmap(QRectF(20 - side / 2, 20 - side / 2, side, side), pixmap, QRectF(pixmap.rect()));
    }
    QCOMPARE(rendered, expected);
}

void TestSymbols::weights()
{
    // Heavier weights draw thicker strokes: more ink, same size.
    const auto ink = [](SymbolWeight weight) {
        const QImage image = symbolPixmap(u"x", Qt::black, 24, 1, weight).toImage();
        qint64 sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                sum += qAlpha(image.pixel(x, y));
        return sum;
    };
    QVERIFY(ink(SymbolWeight::regular) < ink(SymbolWeight::medium));
    QVERIFY(ink(SymbolWeight::medium) < ink(SymbolWeight::semibold));
    QVERIFY(ink(SymbolWeight::semibold) < ink(SymbolWeight::bold));
    QCOMPARE(symbolPixmap(u"x", Qt::black, 24, 1, SymbolWeight::bold).size(), QSize(24, 24));
}

void TestSymbols::trayIconDrawnAtItsOwnSize_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("22 at 2x, a HiDPI panel") << 22 << 2.0;
    QTest::newRow("28, a tall panel") << 28 << 1.0;
    QTest::newRow("24 at 1.5x") << 24 << 1.5;
}

void TestSymbols::trayIconDrawnAtItsOwnSize()
{
    // What a tray paints is the icon drawn at the tray's own pixels, not a
    // bitmap of a neighbouring size scaled to fit: every pixel the symbol
    // covers at that size is exactly its colour (its rim lies under it).
    QFETCH(int, side);
    QFETCH(qreal, ratio);
    const int pixels = int(side * ratio);
    QImage painted(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    painted.setDevicePixelRatio(ratio);
    painted.fill(Qt::transparent);
    {
        QPainter painter(&painted);
        trayIcon(false).paint(&painter, QRect(0, 0, side, side));
    }
    const QColor orange(249, 115, 22);
    const QImage symbol = symbolPixmap(u"layers", orange, pixels, 1, SymbolWeight::medium).toImage();
    int covered = 0;
    for (int y = 0; y < pixels; ++y)
        for (int x = 0; x < pixels; ++x)
            if (qAlpha(symbol.pixel(x, y)) == 255) {
                ++covered;
                QCOMPARE(painted.pixelColor(x, y), orange);
            }
    QVERIFY(covered > pixels);
    // A StatusNotifier host asks by size, in pixels, and gets the same.
    const auto asked = [&](bool paused) {
        return trayIcon(paused).pixmap(QSize(pixels, pixels)).toImage().convertToFormat(painted.format());
    };
    QImage same = asked(false);
    same.setDevicePixelRatio(ratio);
    QCOMPARE(same, painted);
    QVERIFY(asked(true) != asked(false));
}

QTEST_MAIN(TestSymbols)
#include "tst_symbols.moc"
