#include "IconButton.h"

#include "Painting.h"
#include "Theme.h"

#include <QPainter>

#include <cmath>

namespace ondrel {

IconButton::IconButton(const QString& symbol, Look look, const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_look(std::move(look))
{
    setAccessibleName(accessibleName);
    setToolTip(accessibleName);
    setCursor(Qt::ArrowCursor);
    // Reached with Tab; a click leaves the keyboard where it was (the
    // search field keeps typing going to the search).
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(sizeHint());
}

void IconButton::setSymbol(const QString& symbol)
{
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    update();
}

QSize IconButton::sizeHint() const
{
    // The outline reaches half its width beyond the card; the shadow lies below and right.
    return QSize(
        int(std::ceil(m_look.size.width() + m_look.outlineWidth + std::max(0.0, m_look.shadowOffset.x()))),
        int(std::ceil(m_look.size.height() + m_look.outlineWidth + std::max(0.0, m_look.shadowOffset.y()))));
}

void IconButton::paintEvent(QPaintEvent*)
{
    {
        QPainter painter(this);
        paintButton(painter);
    }
    if (!hasFocus())
        return;
    // Drawn last, over the card, so that it shows on every fill.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), m_look.radius + 1, m_look.radius + 1);
}

void IconButton::paintButton(QPainter& painter)
{
    const qreal inset = m_look.outlineWidth / 2;
    const QRectF box(QPointF(inset, inset), m_look.size);
    const QColor inkColor = m_look.ink ? m_look.ink() : ink();
    if (m_look.fill) {
        paint::CardStyle card;
        card.radius = m_look.radius;
        card.fill = m_look.fill();
        card.outline = inkColor;
        card.outlineWidth = m_look.outlineWidth;
        if (!m_look.shadowOffset.isNull()) {
            card.shadow = inkColor;
            card.shadowOffset = m_look.shadowOffset;
        }
        // Pressed: the card sinks onto its shadow.
        const QRectF at = isDown() ? box.translated(m_look.shadowOffset / 2) : box;
        paint::drawCard(painter, at, card);
        paint::drawSymbol(painter, at, m_symbol, m_look.symbolColor ? m_look.symbolColor() : inkColor,
                          m_look.symbolSize, m_look.symbolWeight);
        return;
    }
    QColor color = m_look.symbolColor ? m_look.symbolColor() : inkColor;
    if (isDown())
        color = color.darker(140);
    paint::drawSymbol(painter, QRectF(QPointF(0, 0), m_look.size), m_symbol, color, m_look.symbolSize,
                      m_look.symbolWeight);
}

} // namespace ondrel
