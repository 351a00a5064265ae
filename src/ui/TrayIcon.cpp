#include "TrayIcon.h"

#include "Symbols.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>

#include <algorithm>

namespace ondrel {

namespace {

QPixmap drawTrayIcon(bool paused, int side)
{
    QPixmap pixmap = symbolPixmap(u"layers", paused ? QColor(120, 120, 120) : QColor(249, 115, 22), side, 1.0,
                                  SymbolWeight::medium);
    if (!paused || pixmap.isNull())
        return pixmap;
    // A pause sign in the corner, outlined so that it shows on dark panels
    // and light ones, over the faded symbol.
    QPixmap faded(pixmap.size());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.55);
    painter.drawPixmap(0, 0, pixmap);
    painter.setOpacity(1);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal bar = std::max(2.0, side / 7.0);
    const qreal height = side * 0.5;
    const QPointF corner(side - 3.2 * bar - 1, side - height - 1);
    painter.setPen(QPen(Qt::white, std::max(1.0, side / 16.0)));
    painter.setBrush(QColor(40, 40, 40));
    painter.drawRect(QRectF(corner, QSizeF(bar, height - 1)));
    painter.drawRect(QRectF(corner + QPointF(bar * 2.2, 0), QSizeF(bar, height - 1)));
    return faded;
}

class TrayIconEngine final : public QIconEngine
{
public:
    explicit TrayIconEngine(bool paused) : m_paused(paused) {}

    // `size` is in device pixels: QIcon multiplies by the screen's ratio
    // before it asks, and sets the ratio on what it gets.
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        if (side <= 0)
            return {};
        const QPixmap square = drawTrayIcon(m_paused, side);
        if (size.width() == size.height() || square.isNull())
            return square;
        QPixmap centred(size);
        centred.fill(Qt::transparent);
        QPainter painter(&centred);
        painter.drawPixmap((size.width() - side) / 2, (size.height() - side) / 2, square);
        return centred;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }

    // A StatusNotifier host is sent a bitmap of each of these; the doubled
    // ones serve panels at twice the scale.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
        for (int side : {16, 22, 24, 32, 48}) {
            sizes << QSize(side, side);
            if (ratio > 1)
                sizes << (QSizeF(side, side) * ratio).toSize();
        }
        return sizes;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QString key() const override { return QStringLiteral("ondrel-tray"); }
    QIconEngine* clone() const override { return new TrayIconEngine(m_paused); }

private:
    bool m_paused;
};

} // namespace

QIcon trayIcon(bool paused)
{
    return QIcon(new TrayIconEngine(paused));
}

} // namespace ondrel
