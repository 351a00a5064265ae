#include "TrayIcon.h"

#include "Symbols.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ondrel {

namespace {

// The recording symbol's orange stands out on dark panels but not quite on
// light ones (2.8:1 on white): its silhouette gets a rim of a deeper orange
// whose luminance lies half way between white's and black's, at 3:1 or more
// on white, black and the usual light and dark panels (#EFF0F1, #31363B).
// Only the outside is rimmed; the gaps between the layers stay open, or at
// tray sizes the symbol would turn into a plate.
const QColor kRecording(249, 115, 22);
const QColor kRecordingRim(222, 94, 14);
// A grey of that same luminance, rimmed with itself so that its thin
// strokes' softened edges do not fade into the panel.
const QColor kPaused(133, 133, 133);

// `pixmap` over a rim of `color` around its outside, `width` pixels wide.
// A gap in the symbol narrower than twice the rim counts as inside: the rim
// bridges its mouth and leaves it open, so the layers stay apart.
QPixmap withOutsideRim(const QPixmap& pixmap, const QColor& color, int width)
{
    const QImage shape = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    const int w = shape.width(), h = shape.height();
    const auto at = [w](int x, int y) { return size_t(y) * size_t(w) + size_t(x); };
    const auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h; };
    std::vector<char> solid(size_t(w) * size_t(h)), grown(solid.size()), outside(solid.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            solid[at(x, y)] = qAlpha(shape.pixel(x, y)) >= 128;
    // Whether a pixel within `reach` of (x, y) is set in `mask`.
    const auto near = [&](const std::vector<char>& mask, int x, int y, int reach) {
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (dx * dx + dy * dy <= reach * reach && inside(x + dx, y + dy) && mask[at(x + dx, y + dy)])
                    return true;
        return false;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            grown[at(x, y)] = near(solid, x, y, width);
    // The outside: what the border reaches around the grown shape.
    std::vector<QPoint> pending;
    const auto reach = [&](int x, int y) {
        if (!inside(x, y) || outside[at(x, y)] || grown[at(x, y)])
            return;
        outside[at(x, y)] = 1;
        pending.emplace_back(x, y);
    };
    for (int i = 0; i < std::max(w, h); ++i) {
        reach(i, 0);
        reach(i, h - 1);
        reach(0, i);
        reach(w - 1, i);
    }
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        reach(p.x() - 1, p.y());
        reach(p.x() + 1, p.y());
        reach(p.x(), p.y() - 1);
        reach(p.x(), p.y() + 1);
    }
    // The rim: the grown ring along the outside. Under the symbol's
    // softened edge there it is opaque, so that edge reads as rim, not as
    // a blend with the panel that falls back below 3:1.
    QImage rimmed(shape.size(), QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb pixel = shape.pixel(x, y);
            const bool onRim = grown[at(x, y)] && near(outside, x, y, width);
            if (!onRim || qAlpha(pixel) == 255) {
                rimmed.setPixel(x, y, pixel);
                continue;
            }
            // The faint outer edge gives way to the rim; a solid edge pixel
            // is laid over it.
            const int a = qAlpha(pixel) >= 128 ? qAlpha(pixel) : 0;
            const auto over = [a](int ink, int back) { return (ink * a + back * (255 - a)) / 255; };
            rimmed.setPixel(x, y,
                            qRgb(over(qRed(pixel), color.red()), over(qGreen(pixel), color.green()),
                                 over(qBlue(pixel), color.blue())));
        }
    return QPixmap::fromImage(rimmed);
}

QPixmap drawTrayIcon(bool paused, int side)
{
    QPixmap pixmap = symbolPixmap(u"layers", paused ? kPaused : kRecording, side, 1.0, SymbolWeight::medium);
    if (pixmap.isNull())
        return pixmap;
    // One pixel at the usual tray sizes, more on larger or denser ones.
    const int rim = std::max(1, int(std::lround(side / 24.0)));
    if (!paused)
        return withOutsideRim(pixmap, kRecordingRim, rim);
    pixmap = withOutsideRim(pixmap, kPaused, rim);
    // A pause sign in the corner, dark bars outlined in the symbol's grey,
    // so that it shows on dark panels and light ones.
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal bar = std::max(2.0, side / 7.0);
    const qreal height = side * 0.5;
    const QPointF corner(side - 3.2 * bar - 1, side - height - 1);
    painter.setPen(QPen(kPaused, std::max(1.0, side / 16.0)));
    painter.setBrush(QColor(40, 40, 40));
    painter.drawRect(QRectF(corner, QSizeF(bar, height - 1)));
    painter.drawRect(QRectF(corner + QPointF(bar * 2.2, 0), QSizeF(bar, height - 1)));
    painter.end();
    return pixmap;
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
