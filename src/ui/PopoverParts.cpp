#include "PopoverParts.h"

#include "Fonts.h"
#include "Painting.h"
#include "Theme.h"

#include <QEasingCurve>
#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace ondrel {

SymbolLabel::SymbolLabel(QString symbol, QColor color, qreal size, SymbolWeight weight, QWidget* parent)
    : QWidget(parent), m_symbol(std::move(symbol)), m_color(color), m_size(size), m_weight(weight)
{
    const int side = int(paint::symbolSide(size));
    setFixedSize(side, side);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SymbolLabel::setColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void SymbolLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint::drawSymbol(painter, rect(), m_symbol, m_color, m_size, m_weight);
}

namespace {
constexpr qreal kEmptySymbolSize = 40;
constexpr qreal kEmptySpacing = 12;
} // namespace

EmptyState::EmptyState(ThemeManager& theme, QWidget* parent) : QWidget(parent), m_theme(theme)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void EmptyState::setTexts(const QString& title, const QString& subtitle)
{
    if (title == m_title && subtitle == m_subtitle)
        return;
    m_title = title;
    m_subtitle = subtitle;
    setAccessibleName(title);
    setAccessibleDescription(subtitle);
    update();
}

void EmptyState::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont titleFont = systemFont(14, FontWeight::semibold);
    const QFont subtitleFont = systemFont(12);
    const qreal symbol = paint::symbolSide(kEmptySymbolSize);
    const qreal titleHeight = QFontMetricsF(titleFont).height();
    const qreal subtitleHeight = QFontMetricsF(subtitleFont).height();
    const qreal total = symbol + kEmptySpacing + titleHeight + kEmptySpacing + subtitleHeight;
    qreal y = (height() - total) / 2;
    const AccentPalette colors = m_theme.palette();
    paint::drawSymbol(painter, QRectF(0, y, width(), symbol), u"clipboard-copy", colors.inkSecondary,
                      kEmptySymbolSize, SymbolWeight::medium);
    y += symbol + kEmptySpacing;
    painter.setFont(titleFont);
    painter.setPen(colors.ink);
    painter.drawText(QRectF(0, y, width(), titleHeight), Qt::AlignHCenter | Qt::AlignVCenter, m_title);
    y += titleHeight + kEmptySpacing;
    painter.setFont(subtitleFont);
    painter.setPen(colors.inkSecondary);
    painter.drawText(QRectF(0, y, width(), subtitleHeight), Qt::AlignHCenter | Qt::AlignVCenter, m_subtitle);
}

namespace {

struct Hint
{
    const char* key;
    const char* label;
};
// The application's shortcuts use Ctrl where Mac programs use Command,
// so the hint names Ctrl.
constexpr Hint kHints[] = {
    {"\u2191\u2193", QT_TRANSLATE_NOOP("ondrel::KeyHints", "Navigate")},
    {QT_TRANSLATE_NOOP("ondrel::KeyHints", "Tab"), QT_TRANSLATE_NOOP("ondrel::KeyHints", "Edit")},
    {QT_TRANSLATE_NOOP("ondrel::KeyHints", "Ctrl 1-9"), QT_TRANSLATE_NOOP("ondrel::KeyHints", "Quick")}};
constexpr qreal kHintSpacing = 16;
constexpr qreal kCapLabelSpacing = 4;

QFont capFont()
{
    return monoFont(10, FontWeight::bold);
}
QFont hintFont()
{
    return systemFont(10);
}

} // namespace

KeyHints::KeyHints(ThemeManager& theme, QWidget* parent) : QWidget(parent), m_theme(theme)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(tr("Keyboard: arrows navigate, Tab edits, Control and a digit pastes quickly"));
}

QSize KeyHints::sizeHint() const
{
    const qreal cap = QFontMetricsF(capFont()).height() + 4 + 1;
    const qreal label = QFontMetricsF(hintFont()).height();
    return QSize(320, int(std::ceil(std::max(cap, label) + 16)));
}

void KeyHints::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const AccentPalette colors = m_theme.palette();
    painter.fillRect(rect(), colors.soft);
    const QFontMetricsF capMetrics(capFont());
    const QFontMetricsF labelMetrics(hintFont());
    const qreal capHeight = capMetrics.height() + 4;
    qreal total = 0;
    for (const Hint& h : kHints)
        total += capMetrics.horizontalAdvance(tr(h.key)) + 8 + kCapLabelSpacing +
                 labelMetrics.horizontalAdvance(tr(h.label));
    total += kHintSpacing * (std::size(kHints) - 1);
    qreal x = (width() - total) / 2;
    const qreal cy = height() / 2.0;
    for (const Hint& h : kHints) {
        const QString key = tr(h.key);
        const QString label = tr(h.label);
        const QRectF cap(x, cy - capHeight / 2, capMetrics.horizontalAdvance(key) + 8, capHeight);
        paint::drawCard(painter, cap, {3, colors.surface, colors.ink, 1, std::nullopt, {}});
        painter.setFont(capFont());
        painter.setPen(colors.ink);
        painter.drawText(cap, Qt::AlignCenter, key);
        x = cap.right() + kCapLabelSpacing;
        const qreal lw = labelMetrics.horizontalAdvance(label);
        painter.setFont(hintFont());
        painter.setPen(colors.inkSecondary);
        painter.drawText(QRectF(x, 0, lw + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, label);
        x += lw + kHintSpacing;
    }
}

namespace {
constexpr qreal kShadowBlur = 4;
QFont noticeFont()
{
    return systemFont(12, FontWeight::bold);
}
QString noticeText(bool failed)
{
    return failed ? CopiedNotice::tr("Could not copy") : CopiedNotice::tr("Copied!");
}
} // namespace

CopiedNotice::CopiedNotice(ThemeManager& theme, QWidget* parent)
    : QWidget(parent), m_theme(theme), m_animation(new QVariantAnimation(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(noticeText(false));
    m_animation->setDuration(int(kAnimationSeconds * 1000));
    // An ease-out curve: fast start, gentle landing.
    QEasingCurve easeOut(QEasingCurve::BezierSpline);
    easeOut.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    m_animation->setEasingCurve(easeOut);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toReal();
        setVisible(m_progress > 0);
        update();
    });
    hide();
}

QSize CopiedNotice::sizeHint() const
{
    const QFontMetricsF m(noticeFont());
    // Room for the outline and the soft shadow around the notice.
    const qreal margin = kShadowBlur + 2;
    return QSize(int(std::ceil(m.horizontalAdvance(noticeText(m_failed)) + 32 + 2 * margin)),
                 int(std::ceil(m.height() + 16 + 2 * margin + 2)));
}

QString CopiedNotice::text() const
{
    return noticeText(m_failed);
}

void CopiedNotice::setFailed(bool failed)
{
    if (failed == m_failed)
        return;
    m_failed = failed;
    setAccessibleName(noticeText(failed));
    updateGeometry();
    update();
}

void CopiedNotice::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    m_animation->stop();
    m_animation->setStartValue(m_progress);
    m_animation->setEndValue(shown ? 1.0 : 0.0);
    m_animation->start();
}

void CopiedNotice::paintEvent(QPaintEvent*)
{
    if (m_progress <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(std::clamp(m_progress, 0.0, 1.0));
    const qreal scale = 0.8 + 0.2 * m_progress;
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    const qreal margin = kShadowBlur + 2;
    const QRectF box = QRectF(rect()).adjusted(margin, margin - 1, -margin, -margin - 1);
    // A soft shadow: black at 10 %, blurred, 2 points down.
    painter.setPen(Qt::NoPen);
    for (int i = int(kShadowBlur); i >= 1; --i) {
        painter.setBrush(QColor(0, 0, 0, int(255 * 0.1 / kShadowBlur)));
        painter.drawPath(paint::continuousRoundedRect(box.translated(0, 2).adjusted(-i, -i, i, i), 8 + i));
    }
    const AccentPalette colors = m_theme.palette();
    paint::drawCard(painter, box, {8, colors.surface, colors.ink, 2, std::nullopt, {}});
    painter.setFont(noticeFont());
    painter.setPen(colors.ink);
    painter.drawText(box, Qt::AlignCenter, noticeText(m_failed));
}

} // namespace ondrel
