#include "ClipboardItemDelegate.h"

#include "HistoryListModel.h"
#include "Painting.h"
#include "RowContent.h"
#include "RowText.h"
#include "Theme.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <optional>

namespace ondrel {

using row::displayForm;
using row::fonts;
using row::highlightFormats;
using row::isHighlighted;
using row::quickLineCount;
using row::RowFonts;

namespace {

constexpr qreal kPaddingH = 10;
constexpr qreal kPaddingV = 8;
constexpr qreal kGap = 8;        // between the content's children
constexpr qreal kBadgeSide = 18; // number badge, or the gap in its place
constexpr qreal kTileSide = 28;
constexpr qreal kTrailingMin = 4; // the flexible space after the text
constexpr qreal kPinSymbolSize = 10;
constexpr qreal kColumnSpacing = 2;
constexpr qreal kInfoSpacing = 4;
const QColor kNotSavedColor{220, 38, 38};

qreal infoLineHeight(bool withBadge)
{
    return withBadge ? fonts().infoWithBadgeHeight : fonts().infoHeight;
}

} // namespace

struct ClipboardItemDelegate::Preview
{
    std::unique_ptr<QTextLayout> head; // its first `headLines` lines are drawn
    int headLines = 1;
    std::unique_ptr<QTextLayout> tail; // the elided second line, when cut
    qreal lineHeight = 0;
    qreal width = 0;   // laid out for this width
    bool dark = false; // coloured for the dark look
    int lineCount() const { return headLines + (tail ? 1 : 0); }
};

ClipboardItemDelegate::ClipboardItemDelegate(ThemeManager& theme, std::function<State(int)> stateOf,
                                             QObject* parent)
    : QStyledItemDelegate(parent), m_theme(theme), m_stateOf(std::move(stateOf))
{}

void ClipboardItemDelegate::clearCaches()
{
    m_lineCounts.clear();
    m_previousLineCounts.clear();
    m_previews.clear();
    m_thumbnails.clear();
}

QRectF ClipboardItemDelegate::cardRect(const QRect& itemRect, int row)
{
    const qreal top = itemRect.top() + (row == 0 ? kVerticalInset : 0);
    const qreal height = itemRect.height() - kSpacing - (row == 0 ? kVerticalInset : 0);
    return QRectF(itemRect.left() + kHorizontalInset, top, itemRect.width() - 2 * kHorizontalInset, height);
}

QRectF ClipboardItemDelegate::deleteButtonRect(const QRectF& card)
{
    return QRectF(card.right() - kButtonMargin - kButtonSide, card.top() + kButtonMargin, kButtonSide,
                  kButtonSide);
}

QRectF ClipboardItemDelegate::pinButtonRect(const QRectF& card)
{
    return QRectF(card.right() - kButtonMargin - kButtonSide, card.bottom() - kButtonMargin - kButtonSide,
                  kButtonSide, kButtonSide);
}

qreal ClipboardItemDelegate::textWidth(const ClipboardItem& item, qreal cardWidth) const
{
    // The text ends before the column of the delete and pin buttons, which
    // show over the trailing corners on hover; always, so that hovering
    // does not wrap the preview differently.
    const qreal trailing = std::max(kPaddingH, qreal(kButtonMargin + kButtonSide)) + kTrailingMin;
    qreal used = kPaddingH + kBadgeSide + kGap + kTileSide + kGap + trailing;
    if (item.isPinned())
        used += paint::symbolSide(kPinSymbolSize) + kGap;
    return std::max(10.0, cardWidth - used);
}

std::shared_ptr<ClipboardItemDelegate::Preview> ClipboardItemDelegate::preview(const ClipboardItem& item,
                                                                               qreal width) const
{
    const bool dark = m_theme.isDark();
    if (auto* cached = m_previews.object(item.id());
        cached && (*cached)->width == width && (*cached)->dark == dark)
        return *cached;

    const RowFonts& f = fonts();
    const bool code = isHighlighted(item);
    const QString text = displayForm(row::previewText(item));
    QList<QTextLayout::FormatRange> formats;
    if (code)
        formats = highlightFormats(item.previewText(), item.detectedLanguage(), dark);

    auto result = std::make_shared<Preview>();
    result->width = width;
    result->dark = dark;
    result->lineHeight = code ? f.codeLineHeight : f.plainLineHeight;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    result->head = std::make_unique<QTextLayout>(text, code ? f.code : f.plain);
    result->head->setTextOption(option);
    result->head->setFormats(formats);
    result->head->beginLayout();
    QTextLine first = result->head->createLine();
    first.setLineWidth(width);
    first.setPosition(QPointF(0, 0));
    QTextLine second = result->head->createLine();
    if (second.isValid()) {
        second.setLineWidth(width);
        second.setPosition(QPointF(0, result->lineHeight));
    }
    result->head->endLayout();

    if (second.isValid()) {
        result->headLines = 2;
        const qsizetype secondStart = second.textStart();
        const qsizetype secondEnd = secondStart + second.textLength();
        QStringView after = QStringView(text).mid(secondEnd);
        while (!after.isEmpty() && (after.front() == QChar::LineSeparator || after.front().isSpace()))
            after = after.mid(1);
        if (!after.isEmpty()) {
            // More than two lines: the second one ends in an ellipsis.
            result->headLines = 1;
            QString rest = text.mid(secondStart);
            if (const qsizetype br = rest.indexOf(QChar::LineSeparator); br >= 0)
                rest.truncate(br);
            QList<QTextLayout::FormatRange> restFormats;
            for (QTextLayout::FormatRange r : formats) {
                const int end = r.start + r.length;
                r.start = std::max(0, r.start - int(secondStart));
                r.length = std::max(0, std::min(end - int(secondStart), int(rest.size())) - r.start);
                if (r.length > 0)
                    restFormats << r;
            }
            const QString ellipsis = QStringLiteral("\u2026");
            const QFontMetricsF& metrics = code ? f.codeMetrics : f.plainMetrics;
            QTextLayout measure(rest, code ? f.code : f.plain);
            measure.setFormats(restFormats);
            measure.beginLayout();
            QTextLine line = measure.createLine();
            line.setNumColumns(int(rest.size()));
            measure.endLayout();
            qsizetype cut = line.xToCursor(width - metrics.horizontalAdvance(ellipsis),
                                           QTextLine::CursorBetweenCharacters);
            cut = std::clamp<qsizetype>(cut, 0, rest.size());
            // Never split a character.
            QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, rest);
            graphemes.setPosition(cut);
            if (!graphemes.isAtBoundary())
                cut = std::max<qsizetype>(0, graphemes.toPreviousBoundary());
            while (cut > 0 && rest[cut - 1].isSpace())
                --cut;
            QString tailText = rest.left(cut) + ellipsis;
            QList<QTextLayout::FormatRange> tailFormats;
            for (QTextLayout::FormatRange r : restFormats) {
                if (r.start >= cut)
                    continue;
                // The ellipsis continues the colour it follows.
                if (r.start + r.length >= cut)
                    r.length = int(cut) - r.start + 1;
                tailFormats << r;
            }
            result->tail = std::make_unique<QTextLayout>(tailText, code ? f.code : f.plain);
            result->tail->setFormats(tailFormats);
            result->tail->beginLayout();
            QTextLine tailLine = result->tail->createLine();
            tailLine.setNumColumns(int(tailText.size()));
            tailLine.setPosition(QPointF(0, result->lineHeight));
            result->tail->endLayout();
        }
    }
    m_previews.insert(item.id(), new std::shared_ptr<Preview>(result));
    return result;
}

int ClipboardItemDelegate::previewLineCount(const ClipboardItem& item, qreal cardWidth) const
{
    if (cardWidth != m_lineCountWidth) {
        // A scroll bar coming and going switches between two widths: keep
        // the counts of the last one too.
        std::swap(m_lineCounts, m_previousLineCounts);
        std::swap(m_lineCountWidth, m_previousLineCountWidth);
        if (cardWidth != m_lineCountWidth) {
            m_lineCounts.clear();
            m_lineCountWidth = cardWidth;
        }
    }
    if (const auto it = m_lineCounts.constFind(item.id()); it != m_lineCounts.constEnd())
        return *it;
    const qreal width = textWidth(item, cardWidth);
    const auto quick = quickLineCount(displayForm(row::previewText(item)), isHighlighted(item), width);
    const int count = quick ? *quick : preview(item, width)->lineCount();
    m_lineCounts.insert(item.id(), count);
    return count;
}

int ClipboardItemDelegate::cardHeight(const ClipboardItem& item, qreal cardWidth) const
{
    const RowFonts& f = fonts();
    const bool code = isHighlighted(item);
    const qreal column = previewLineCount(item, cardWidth) * (code ? f.codeLineHeight : f.plainLineHeight) +
                         kColumnSpacing + (code ? f.infoWithBadgeHeight : f.infoHeight);
    return std::max(kMinimumHeight, int(std::ceil(std::max(column, kTileSide) + 2 * kPaddingV)));
}

QSize ClipboardItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int width = view ? view->viewport()->width() : option.rect.width();
    const auto* model = qobject_cast<const HistoryListModel*>(index.model());
    if (!model || index.row() >= model->rowCount())
        return {width, kMinimumHeight + kSpacing};
    const ClipboardItem& item = model->itemAt(index.row());
    const int card = cardHeight(item, width - 2 * kHorizontalInset);
    return {width, card + kSpacing + (index.row() == 0 ? kVerticalInset : 0)};
}

QPixmap ClipboardItemDelegate::thumbnail(const ClipboardItem& item, qreal dpr) const
{
    if (const QPixmap* cached = m_thumbnails.object(item.id()); cached && cached->devicePixelRatio() == dpr)
        return *cached;
    const int side = int(std::ceil(kTileSide * dpr));
    // Fill the square, keeping the proportions; the overflow is cut off.
    const QImage scaled =
        item.thumbnail().scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(
        scaled.copy((scaled.width() - side) / 2, (scaled.height() - side) / 2, side, side));
    pixmap.setDevicePixelRatio(dpr);
    m_thumbnails.insert(item.id(), new QPixmap(pixmap));
    return pixmap;
}

void ClipboardItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    const auto* model = qobject_cast<const HistoryListModel*>(index.model());
    if (!model || index.row() >= model->rowCount())
        return;
    const ClipboardItem& item = model->itemAt(index.row());
    const State state = m_stateOf ? m_stateOf(index.row()) : State{};
    const AccentPalette colors = m_theme.palette();
    const RowFonts& f = fonts();
    const QRectF card = cardRect(option.rect, index.row());

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);

    paint::CardStyle cardStyle;
    cardStyle.radius = 8;
    cardStyle.fill = colors.surface;
    cardStyle.outline = state.selected ? colors.accent : colors.ink;
    cardStyle.outlineWidth = state.selected ? 2.5 : 1.5;
    cardStyle.shadow = state.selected ? colors.accent : colors.ink;
    cardStyle.shadowOffset = state.selected ? QPointF(4, 4) : QPointF(2, 2);
    paint::drawCard(*painter, card, cardStyle);

    const qreal cy = card.center().y();
    qreal x = card.left() + kPaddingH;

    // Number badge (or the room it takes).
    if (const auto number = row::numberBadge(index.row())) {
        const QRectF badge(x, cy - kBadgeSide / 2, kBadgeSide, kBadgeSide);
        paint::drawCard(*painter, badge, {4, colors.soft, colors.ink, 1.5, std::nullopt, {}});
        painter->setFont(f.number);
        painter->setPen(colors.ink);
        painter->drawText(badge, Qt::AlignCenter, *number);
    }
    x += kBadgeSide + kGap;

    // The pin marker, tilted.
    if (item.isPinned()) {
        const qreal side = paint::symbolSide(kPinSymbolSize);
        const QRectF box(x, cy - side / 2, side, side);
        painter->save();
        painter->translate(box.center());
        painter->rotate(45);
        paint::drawSymbol(*painter, box.translated(-box.center()), u"pin", colors.accent, kPinSymbolSize,
                          SymbolWeight::bold);
        painter->restore();
        x += side + kGap;
    }

    // Icon tile.
    const QRectF tile(x, cy - kTileSide / 2, kTileSide, kTileSide);
    if (item.type() == ClipboardItemType::image && !item.thumbnail().isNull()) {
        painter->save();
        painter->setClipPath(paint::continuousRoundedRect(tile, 6));
        painter->drawPixmap(tile, thumbnail(item, paint::devicePixelRatio(*painter)), QRectF());
        painter->restore();
        paint::drawCard(*painter, tile, {6, Qt::transparent, colors.ink, 1, std::nullopt, {}});
    } else {
        paint::drawCard(*painter, tile, {6, colors.soft, colors.ink, 1, std::nullopt, {}});
        paint::drawSymbol(*painter, tile, row::tileSymbol(item), colors.inkSecondary, 12, SymbolWeight::bold);
    }
    x += kTileSide + kGap;

    // Text column: preview, then the info line, centred as a block.
    const qreal width = textWidth(item, card.width());
    const auto text = preview(item, width);
    if (const auto it = m_lineCounts.find(item.id()); it != m_lineCounts.end() && *it != text->lineCount()) {
        // The quick count was wrong (fonts differ in odd ways): re-measure the row.
        *it = text->lineCount();
        Q_EMIT const_cast<ClipboardItemDelegate*>(this)->sizeHintChanged(index);
    }
    const bool withBadge = isHighlighted(item);
    const qreal previewHeight = text->lineCount() * text->lineHeight;
    const qreal infoHeight = infoLineHeight(withBadge);
    const qreal top = cy - (previewHeight + kColumnSpacing + infoHeight) / 2;
    painter->setPen(colors.ink);
    for (int i = 0; i < text->headLines; ++i)
        text->head->lineAt(i).draw(painter, QPointF(x, top));
    if (text->tail)
        text->tail->lineAt(0).draw(painter, QPointF(x, top));

    const qreal infoCenter = top + previewHeight + kColumnSpacing + infoHeight / 2;
    qreal ix = x;
    const qreal right = x + width;
    if (const auto badge = row::languageBadge(item.detectedLanguage());
        badge && item.type() == ClipboardItemType::text) {
        const qreal bw = f.badgeMetrics.horizontalAdvance(*badge) + 8;
        const qreal bh = f.badgeMetrics.height() + 4;
        const QRectF rect(ix, infoCenter - bh / 2, bw, bh);
        paint::drawCard(*painter, rect, {3, colors.light, colors.ink, 1, std::nullopt, {}});
        painter->setFont(f.languageBadge);
        painter->setPen(colors.ink);
        painter->drawText(rect, Qt::AlignCenter, *badge);
        ix += bw + kInfoSpacing;
    }
    painter->setFont(f.info);
    painter->setPen(colors.inkSecondary);
    const QString age = row::ageText(item.timestamp());
    const qreal ageWidth = f.infoMetrics.horizontalAdvance(age);
    const qreal textHeight = f.infoMetrics.height();
    // An entry recorded from a mouse selection, and one the history file
    // could not take, say so after its age.
    const QString selected = item.fromSelection() ? tr("selection") : QString();
    const qreal selectedWidth =
        selected.isEmpty() ? 0 : f.infoMetrics.horizontalAdvance(selected) + kInfoSpacing;
    const QString notSaved =
        index.data(HistoryListModel::NotSavedRole).toBool() ? tr("Not saved") : QString();
    const qreal notSavedWidth =
        notSaved.isEmpty() ? 0 : f.infoMetrics.horizontalAdvance(notSaved) + kInfoSpacing;
    if (item.appName()) {
        // The source gives way to the age when room is short.
        const qreal room =
            std::max(0.0, right - ix - kInfoSpacing - ageWidth - selectedWidth - notSavedWidth);
        const QString name = f.infoMetrics.elidedText(*item.appName(), Qt::ElideRight, room);
        const qreal nw = f.infoMetrics.horizontalAdvance(name);
        painter->drawText(QRectF(ix, infoCenter - textHeight / 2, nw + 1, textHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, name);
        ix += nw + kInfoSpacing;
    }
    painter->drawText(QRectF(ix, infoCenter - textHeight / 2, ageWidth + 1, textHeight),
                      Qt::AlignLeft | Qt::AlignVCenter, age);
    ix += ageWidth + kInfoSpacing;
    if (!selected.isEmpty()) {
        painter->drawText(QRectF(ix, infoCenter - textHeight / 2, selectedWidth, textHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, selected);
        ix += selectedWidth;
    }
    if (!notSaved.isEmpty()) {
        painter->setPen(kNotSavedColor);
        painter->drawText(QRectF(ix, infoCenter - textHeight / 2, notSavedWidth, textHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, notSaved);
    }
    painter->restore();
}

} // namespace ondrel
