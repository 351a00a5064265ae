#include "VectorImage.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

namespace ondrel::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Draws what a renderer asks for onto an image, one shape at a time, and
// draws nothing more once the time is up. A drawing cannot be interrupted
// inside the renderer, but every shape passes through here: after the
// deadline the rest of the document is walked without being painted, which
// takes milliseconds, so the decode ends instead of running on for minutes.
class DeadlineEngine final : public QPaintEngine
{
public:
    DeadlineEngine(QImage& target, Clock::time_point deadline, const std::atomic<bool>& stop)
        : QPaintEngine(QPaintEngine::AllFeatures), m_target(target), m_deadline(deadline), m_stop(stop)
    {}

    bool overran() const { return m_overran; }

    bool begin(QPaintDevice*) override { return m_painter.begin(&m_target); }
    bool end() override { return m_painter.end(); }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& state) override
    {
        const DirtyFlags dirty = state.state();
        if (dirty & DirtyPen)
            m_painter.setPen(state.pen());
        if (dirty & DirtyBrush)
            m_painter.setBrush(state.brush());
        if (dirty & DirtyBrushOrigin)
            m_painter.setBrushOrigin(state.brushOrigin());
        if (dirty & DirtyBackground)
            m_painter.setBackground(state.backgroundBrush());
        if (dirty & DirtyBackgroundMode)
            m_painter.setBackgroundMode(state.backgroundMode());
        if (dirty & DirtyFont)
            m_painter.setFont(state.font());
        if (dirty & DirtyTransform)
            m_painter.setTransform(state.transform());
        if (dirty & DirtyClipEnabled)
            m_painter.setClipping(state.isClipEnabled());
        if (dirty & DirtyClipRegion)
            m_painter.setClipRegion(state.clipRegion(), state.clipOperation());
        if (dirty & DirtyClipPath)
            m_painter.setClipPath(state.clipPath(), state.clipOperation());
        if (dirty & DirtyHints)
            m_painter.setRenderHints(state.renderHints());
        if (dirty & DirtyCompositionMode)
            m_painter.setCompositionMode(state.compositionMode());
        if (dirty & DirtyOpacity)
            m_painter.setOpacity(state.opacity());
    }

    void drawPath(const QPainterPath& path) override
    {
        if (goOn())
            m_painter.drawPath(path);
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        if (!goOn())
            return;
        if (mode == PolylineMode)
            m_painter.drawPolyline(points, count);
        else
            m_painter.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    }
    void drawPixmap(const QRectF& rect, const QPixmap& pixmap, const QRectF& source) override
    {
        if (goOn())
            m_painter.drawPixmap(rect, pixmap, source);
    }
    void drawImage(const QRectF& rect, const QImage& image, const QRectF& source,
                   Qt::ImageConversionFlags flags) override
    {
        if (goOn())
            m_painter.drawImage(rect, image, source, flags);
    }

private:
    bool goOn()
    {
        if (!m_overran && (m_stop || Clock::now() >= m_deadline))
            m_overran = true;
        return !m_overran;
    }

    QImage& m_target;
    QPainter m_painter;
    const Clock::time_point m_deadline;
    const std::atomic<bool>& m_stop;
    bool m_overran = false;
};

// The image seen through the engine above.
class DeadlineDevice final : public QPaintDevice
{
public:
    DeadlineDevice(QImage& target, Clock::time_point deadline, const std::atomic<bool>& stop)
        : m_target(target), m_engine(target, deadline, stop)
    {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    bool overran() const { return m_engine.overran(); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_target.width();
        case PdmHeight:
            return m_target.height();
        case PdmWidthMM:
            return m_target.widthMM();
        case PdmHeightMM:
            return m_target.heightMM();
        case PdmNumColors:
            return m_target.colorCount();
        case PdmDepth:
            return m_target.depth();
        case PdmDpiX:
        case PdmPhysicalDpiX:
            return m_target.logicalDpiX();
        case PdmDpiY:
        case PdmPhysicalDpiY:
            return m_target.logicalDpiY();
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QImage& m_target;
    mutable DeadlineEngine m_engine;
};

} // namespace

std::optional<QImage> drawVectorImage(const QByteArray& svg, Clock::time_point deadline,
                                      const std::atomic<bool>& stop, bool& overran)
{
    overran = false;
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return std::nullopt;
    QSize size = renderer.defaultSize();
    if (size.isEmpty())
        size = QSize(kVectorImageSide, kVectorImageSide);
    else if (size.width() > kVectorImageSide || size.height() > kVectorImageSide)
        size = size.scaled(kVectorImageSide, kVectorImageSide, Qt::KeepAspectRatio);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    DeadlineDevice device(image, deadline, stop);
    {
        QPainter painter(&device);
        renderer.render(&painter, QRectF(QPointF(0, 0), size));
    }
    if (device.overran()) {
        overran = true;
        return std::nullopt;
    }
    return image;
}

} // namespace ondrel::platform
