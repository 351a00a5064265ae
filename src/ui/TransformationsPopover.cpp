#include "TransformationsPopover.h"

#include "Fonts.h"
#include "Painting.h"
#include "Theme.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace ondrel {

namespace {

// The names a translation gives its own words. The case conventions
// (camelCase, snake_case, ...) keep theirs everywhere: each shows what it does.
[[maybe_unused]] constexpr const char* kTranslatedNames[] = {
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Title Case"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Base64 Encode"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Base64 Decode"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "URL Encode"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "URL Decode"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "JSON Prettify"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "JSON Minify"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Escape as String"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Unescape String"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Trim Whitespace"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Remove Newlines"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Sort Lines"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Reverse Lines"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Unique Lines"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Case"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Encoding"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "JSON"),
    QT_TRANSLATE_NOOP("ondrel::Transformations", "Lines"),
};

// A name as the popover shows it; the command line keeps the English one.
template <typename T> QString shownName(T value)
{
    return QCoreApplication::translate("ondrel::Transformations", rawValue(value).toUtf8().constData());
}

// One transformation: its symbol in a 16-point column, then its name.
class TransformationRow final : public QAbstractButton
{
public:
    TransformationRow(Transformation t, const AccentPalette& colors, QWidget* parent)
        : QAbstractButton(parent), m_transformation(t), m_colors(colors)
    {
        setText(shownName(t));
        setAccessibleName(text());
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::ArrowCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setObjectName(caseName(t));
    }
    QSize sizeHint() const override
    {
        const qreal line = std::max(QFontMetricsF(nameFont()).height(), paint::symbolSide(11));
        return QSize(TransformationsPopover::kWidth, int(std::ceil(line + 12)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isDown())
            painter.setOpacity(0.6);
        const QRectF icon(12, 0, 16, height());
        paint::drawSymbol(painter, icon, iconName(m_transformation), m_colors.inkSecondary, 11,
                          SymbolWeight::medium);
        painter.setFont(nameFont());
        painter.setPen(m_colors.ink);
        painter.drawText(QRectF(icon.right() + 8, 0, width() - icon.right() - 8 - 12, height()),
                         Qt::AlignLeft | Qt::AlignVCenter, text());
        if (hasFocus()) {
            painter.setOpacity(1);
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(rect()).adjusted(4, 1, -4, -1), 4, 4);
        }
    }

private:
    static QFont nameFont() { return systemFont(12, FontWeight::medium); }
    Transformation m_transformation;
    AccentPalette m_colors;
};

} // namespace

TransformationsPopover::TransformationsPopover(const QString& text, ThemeManager& theme, QWidget* parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint), m_text(text), m_theme(theme)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A click on the button that opened it only closes it.
    setAttribute(Qt::WA_NoMouseReplay);
    setAccessibleName(tr("Transformations"));
    setFixedWidth(kWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->setSpacing(0);
    for (TransformationCategory category : kAllTransformationCategories) {
        auto* title = new QLabel(shownName(category), this);
        title->setFont(systemFont(10, FontWeight::bold));
        QPalette p = title->palette();
        p.setColor(QPalette::WindowText, theme.palette().inkSecondary);
        title->setPalette(p);
        title->setContentsMargins(12, 10, 12, 4);
        layout->addWidget(title);
        for (Transformation t : transformations(category)) {
            auto* row = new TransformationRow(t, theme.palette(), this);
            connect(row, &QAbstractButton::clicked, this, [this, t] { pick(t); });
            layout->addWidget(row);
        }
    }
}

void TransformationsPopover::pick(Transformation transformation)
{
    if (const auto result = apply(transformation, m_text); result && onApply)
        onApply(*result);
}

void TransformationsPopover::popUpBelow(QWidget* anchor)
{
    adjustSize();
    const QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height() + 4));
    QPoint at(below.x() - width() / 2, below.y());
    if (const QScreen* screen = anchor->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width() + 1)));
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height() + 1)));
    }
    move(at);
    show();
}

void TransformationsPopover::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_theme.palette().surface);
    painter.setPen(QPen(m_theme.palette().ink, 1));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void TransformationsPopover::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    Q_EMIT closed();
}

} // namespace ondrel
