#pragma once

#include "ClipboardItem.h"

#include <QCache>
#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QUuid>

#include <functional>
#include <memory>

namespace ondrel {

class ThemeManager;

// One history entry drawn as a card: number badge, pin marker, icon tile,
// a preview of at most two lines and an info line. The delete and pin
// buttons are widgets of the list, placed with buttonRects().
class ClipboardItemDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    struct State
    {
        bool hovered = false;
        bool selected = false;
    };

    // Spacing of the list around the cards.
    static constexpr int kHorizontalInset = 12;
    static constexpr int kVerticalInset = 6;
    static constexpr int kSpacing = 6;
    static constexpr int kMinimumHeight = 52;
    static constexpr int kButtonSide = 18;
    static constexpr int kButtonMargin = 6;

    ClipboardItemDelegate(ThemeManager& theme, std::function<State(int row)> stateOf,
                          QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The card inside a row's rectangle (the rest is the list's spacing).
    static QRectF cardRect(const QRect& itemRect, int row);
    // The delete button (top right) and pin button (bottom right) of a card.
    static QRectF deleteButtonRect(const QRectF& card);
    static QRectF pinButtonRect(const QRectF& card);

    // Number of preview lines (1 or 2) an entry takes in a card `cardWidth` wide.
    int previewLineCount(const ClipboardItem& item, qreal cardWidth) const;
    // Forget the prepared previews (fonts or widths changed).
    void clearCaches();

private:
    struct Preview;
    std::shared_ptr<Preview> preview(const ClipboardItem& item, qreal width) const;
    qreal textWidth(const ClipboardItem& item, qreal cardWidth) const;
    int cardHeight(const ClipboardItem& item, qreal cardWidth) const;
    QPixmap thumbnail(const ClipboardItem& item, qreal dpr) const;

    ThemeManager& m_theme;
    std::function<State(int)> m_stateOf;
    // Line counts by entry, for the width they were measured at.
    mutable QHash<QUuid, int> m_lineCounts;
    mutable qreal m_lineCountWidth = -1;
    mutable QHash<QUuid, int> m_previousLineCounts;
    mutable qreal m_previousLineCountWidth = -1;
    // Laid-out previews of the rows drawn lately.
    mutable QCache<QUuid, std::shared_ptr<Preview>> m_previews{256};
    mutable QCache<QUuid, QPixmap> m_thumbnails{64};
};

} // namespace ondrel
