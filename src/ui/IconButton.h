#pragma once

#include "Symbols.h"

#include <QAbstractButton>
#include <QColor>
#include <QPointF>
#include <QString>

#include <functional>

class QPainter;

namespace ondrel {

class ThemeManager;

// A symbol on an optional card (fill, outline, hard shadow), without any
// platform button chrome. Colours are asked for each time it is drawn, so
// an accent change shows at the next repaint.
class IconButton final : public QAbstractButton
{
    Q_OBJECT
public:
    struct Look
    {
        QSizeF size{18, 18};
        qreal radius = 4;
        std::function<QColor()> fill; // none: no card
        qreal outlineWidth = 0;       // ink outline when > 0
        QPointF shadowOffset;         // ink hard shadow when not null
        qreal symbolSize = 8;         // font size the symbol stands next to
        std::function<QColor()> symbolColor;
        // Outline, shadow and the symbol without a colour of its own; none:
        // the light look's ink.
        std::function<QColor()> ink;
        SymbolWeight symbolWeight = SymbolWeight::regular;
    };

    IconButton(const QString& symbol, Look look, const QString& accessibleName, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol);
    const QString& symbol() const { return m_symbol; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintButton(QPainter& painter);

    QString m_symbol;
    Look m_look;
};

} // namespace ondrel
