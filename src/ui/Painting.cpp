#include "Painting.h"

#include <QPaintEngine>

#include "Symbols.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ondrel::paint {

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    const qreal r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2);
    if (r <= 0) {
        path.addRect(rect);
        return path;
    }
    // Each corner starts a little before a circular arc would and bends with
    // a cubic whose handles stay on the edges: curvature grows smoothly.
    const qreal ext = std::min(r * 1.28, std::min(rect.width(), rect.height()) / 2);
    const qreal k = ext * 0.64;
    const qreal l = rect.left(), t = rect.top(), rr = rect.right(), b = rect.bottom();
    path.moveTo(l + ext, t);
    path.lineTo(rr - ext, t);
    path.cubicTo(rr - ext + k, t, rr, t + ext - k, rr, t + ext);
    path.lineTo(rr, b - ext);
    path.cubicTo(rr, b - ext + k, rr - ext + k, b, rr - ext, b);
    path.lineTo(l + ext, b);
    path.cubicTo(l + ext - k, b, l, b - ext + k, l, b - ext);
    path.lineTo(l, t + ext);
    path.cubicTo(l, t + ext - k, l + ext - k, t, l + ext, t);
    path.closeSubpath();
    return path;
}

void drawCard(QPainter& painter, const QRectF& rect, const CardStyle& style)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPainterPath shape = continuousRoundedRect(rect, style.radius);
    if (style.shadow) {
        painter.setBrush(*style.shadow);
        painter.drawPath(shape.translated(style.shadowOffset));
    }
    painter.setBrush(style.fill);
    painter.drawPath(shape);
    if (style.outlineWidth > 0) {
        // Centred on the edge: half of it lies outside the shape.
        QPen pen(style.outline, style.outlineWidth);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }
    painter.restore();
}

qreal symbolSide(qreal fontSize)
{
    return std::round(fontSize * 1.1);
}

qreal devicePixelRatio(const QPainter& painter)
{
    if (const QPaintEngine* engine = painter.paintEngine(); engine && engine->paintDevice())
        return engine->paintDevice()->devicePixelRatioF();
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

void drawSymbol(QPainter& painter, const QRectF& box, QStringView symbol, const QColor& color, qreal size,
                SymbolWeight weight)
{
    const qreal side = symbolSide(size);
    const QPixmap pixmap = symbolPixmap(symbol, color, side, devicePixelRatio(painter), weight);
    if (pixmap.isNull())
        return;
    const QRectF target(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
}

} // namespace ondrel::paint
