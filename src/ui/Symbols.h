#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QStringView>

namespace ondrel {

// The bundled icon file for an icon name such as "pin" or "copy"
// (:/icons/pin.svg); empty for a name the set does not have.
QString symbolResource(QStringView symbol);

// The weight of a symbol's strokes, as the weights of the text beside it.
enum class SymbolWeight
{
    regular,
    medium,
    semibold,
    bold
};

// The symbol tinted `color`, `pointSize` points square, sharp at
// `devicePixelRatio`. A null pixmap for an unknown name.
QPixmap symbolPixmap(QStringView symbol, const QColor& color, qreal pointSize, qreal devicePixelRatio = 1.0,
                     SymbolWeight weight = SymbolWeight::regular);

} // namespace ondrel
