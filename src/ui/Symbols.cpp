#include "Symbols.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <cmath>

namespace ondrel {

namespace {

struct Symbol
{
    const char16_t* name;
    const char16_t* file;
};

// Filled and outlined variants share one drawing: the set has outlines only.
constexpr std::array<Symbol, 31> kSymbols = {{
    {u"swift", u"bird"},
    {u"curlybraces", u"braces"},
    {u"chevron.left.forwardslash.chevron.right", u"code-xml"},
    {u"paintbrush.fill", u"paintbrush"},
    {u"terminal.fill", u"square-terminal"},
    {u"cylinder.fill", u"database"},
    {u"doc.text.fill", u"file-text"},
    {u"photo", u"image"},
    {u"doc.fill", u"file"},
    {u"pin", u"pin"},
    {u"pin.fill", u"pin"},
    {u"pin.slash", u"pin-off"},
    {u"pin.slash.fill", u"pin-off"},
    {u"trash", u"trash"},
    {u"trash.fill", u"trash-2"},
    {u"pencil", u"pencil"},
    {u"magnifyingglass", u"search"},
    {u"xmark.circle.fill", u"circle-x"},
    {u"xmark", u"x"},
    {u"checkmark", u"check"},
    {u"doc.on.clipboard", u"clipboard-copy"},
    {u"doc.on.doc.fill", u"copy"},
    {u"wand.and.stars", u"wand-sparkles"},
    {u"square.stack.3d.up.fill", u"layers"},
    {u"textformat.abc", u"case-sensitive"},
    {u"textformat", u"type"},
    {u"number", u"hash"},
    {u"link", u"link"},
    {u"quote.bubble", u"message-square-quote"},
    {u"text.alignleft", u"align-left"},
    {u"list.number", u"list-ordered"},
}};

} // namespace

QString symbolResource(QStringView symbol)
{
    for (const Symbol& s : kSymbols)
        if (symbol == QStringView(s.name))
            return QStringLiteral(":/icons/%1.svg").arg(QString::fromUtf16(s.file));
    return {};
}

QPixmap symbolPixmap(QStringView symbol, const QColor& color, qreal pointSize, qreal devicePixelRatio,
                     SymbolWeight weight)
{
    const QString resource = symbolResource(symbol);
    if (resource.isEmpty() || pointSize <= 0)
        return {};
    const QString key = resource + u'|' + color.name(QColor::HexArgb) + u'|' + QString::number(pointSize) +
                        u'|' + QString::number(devicePixelRatio) + u'|' + QString::number(int(weight));
    static QHash<QString, QPixmap> cache;
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;

    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The drawings stroke with currentColor: tint by naming the colour instead.
    QByteArray svg = file.readAll();
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    // The drawings are made with 2-unit strokes on a 24-unit grid: heavier
    // weights widen them as a bolder font widens its stems.
    static constexpr const char* kStrokes[] = {"2", "2.3", "2.6", "3"};
    svg.replace("stroke-width=\"2\"", QByteArray("stroke-width=\"") + kStrokes[int(weight)] + '"');
    QSvgRenderer renderer(svg);
    const int side = int(std::ceil(pointSize * devicePixelRatio));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(color.alphaF());
        renderer.render(&painter, QRectF(0, 0, side, side));
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, pixmap);
    return pixmap;
}

} // namespace ondrel
