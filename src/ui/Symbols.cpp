#include "Symbols.h"

#include <QDebug>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace ondrel {

QString symbolResource(QStringView symbol)
{
    if (symbol.isEmpty())
        return {};
    QString path = QStringLiteral(":/icons/%1.svg").arg(symbol);
    if (QFile::exists(path))
        return path;
    qWarning().nospace() << "No icon named " << symbol;
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
