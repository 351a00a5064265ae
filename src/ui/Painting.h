#pragma once

#include "Symbols.h"

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QStringView>

#include <optional>

class QPainter;

// The drawing vocabulary the popover's views share: smooth rounded shapes,
// outlined cards with a blur-free shadow, tinted symbols.
namespace ondrel::paint {

// A rounded rectangle whose corners ease into the straight edges (no visible
// kink where the arc meets the side), as a path.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

struct CardStyle
{
    qreal radius = 8;
    QColor fill;
    QColor outline;
    qreal outlineWidth = 0; // none when 0
    std::optional<QColor> shadow;
    QPointF shadowOffset;
};

// The shadow (the shape filled and shifted), the fill, then the outline
// centred on the shape's edge.
void drawCard(QPainter& painter, const QRectF& rect, const CardStyle& style);

// A symbol of `size` points centred in `box`, tinted `color`, drawn at the
// resolution of what is painted on.
void drawSymbol(QPainter& painter, const QRectF& box, QStringView symbol, const QColor& color, qreal size,
                SymbolWeight weight = SymbolWeight::regular);

// The pixel ratio of what the painter really paints on: when a widget is
// rendered into an image (a 2x picture) the painter's device is still the
// widget, at its screen's ratio.
qreal devicePixelRatio(const QPainter& painter);

// The side of a symbol drawn next to text of that font size.
qreal symbolSide(qreal fontSize);

} // namespace ondrel::paint
