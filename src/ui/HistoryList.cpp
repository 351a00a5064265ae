#include "HistoryList.h"

#include "ClipboardItemDelegate.h"
#include "DetailView.h"
#include "Fonts.h"
#include "HistoryListModel.h"
#include "IconButton.h"
#include "Painting.h"
#include "PopoverParts.h"
#include "PopoverState.h"
#include "Scheduler.h"
#include "Symbols.h"
#include "Text.h"
#include "Theme.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <algorithm>

namespace ondrel {

// ---------------------------------------------------------------------------
// HistoryList

HistoryList::HistoryList(PopoverState& state, ThemeManager& theme, platform::Scheduler& scheduler,
                         Actions actions, QWidget* parent)
    : QListView(parent), m_state(state), m_theme(theme), m_scheduler(scheduler), m_actions(std::move(actions))
{
    setAccessibleName(tr("Clipboard history"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    // The user never selects here: the popover's selection is mirrored in.
    setSelectionMode(QAbstractItemView::NoSelection);
    // Mirroring it must not scroll: the popover scrolls on its own terms.
    setAutoScroll(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setMouseTracking(true);
    setUniformItemSizes(false);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(20);
    // The handle is the look's ink, seen through.
    const auto styleScrollBar = [this] {
        const QColor ink = m_theme.palette().ink;
        verticalScrollBar()->setStyleSheet(
            QStringLiteral("QScrollBar:vertical{background:transparent;width:7px;margin:2px 1px 2px 0;}"
                           "QScrollBar::handle:vertical{background:rgba(%1,%2,%3,110);border-radius:3px;min-"
                           "height:24px;}"
                           "QScrollBar::add-line,QScrollBar::sub-line{height:0;}"
                           "QScrollBar::add-page,QScrollBar::sub-page{background:transparent;}")
                .arg(ink.red())
                .arg(ink.green())
                .arg(ink.blue()));
    };
    styleScrollBar();
    connect(&theme, &ThemeManager::darkChanged, this, styleScrollBar);

    m_model = new HistoryListModel(state, this);
    m_delegate = new ClipboardItemDelegate(
        theme,
        [this](int row) {
            ClipboardItemDelegate::State state;
            state.selected = row == m_state.selectedIndex();
            state.hovered = row == m_hoveredRow;
            return state;
        },
        this);
    setModel(m_model);
    setItemDelegate(m_delegate);
    m_selectedButtons = makeButtons();
    m_hoveredButtons = makeButtons();

    m_scroll = new QVariantAnimation(this);
    QEasingCurve easeInOut(QEasingCurve::BezierSpline);
    easeInOut.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    m_scroll->setEasingCurve(easeInOut);
    connect(m_scroll, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { verticalScrollBar()->setValue(v.toInt()); });
    // Rows keep their hovered state by entry, not by position.
    connect(m_model, &HistoryListModel::rowsAboutToUpdate, this,
            [this] { m_hoveredId = m_hoveredRow >= 0 ? m_model->itemAt(m_hoveredRow).id() : QUuid(); });
    connect(m_model, &HistoryListModel::rowsUpdated, this, [this] {
        m_hoveredRow = -1;
        if (!m_hoveredId.isNull())
            for (int i = 0; i < m_model->rowCount(); ++i)
                if (m_model->itemAt(i).id() == m_hoveredId) {
                    m_hoveredRow = i;
                    break;
                }
        refreshRowState();
        followSelection();
    });
    connect(&state, &PopoverState::selectedIndexChanged, this, &HistoryList::followSelection);
}

HistoryList::ButtonPair HistoryList::makeButtons()
{
    IconButton::Look look;
    look.size = {ClipboardItemDelegate::kButtonSide, ClipboardItemDelegate::kButtonSide};
    look.radius = 4;
    look.fill = [this] { return m_theme.palette().soft; };
    look.outlineWidth = 1;
    look.symbolSize = 8;
    look.symbolWeight = SymbolWeight::bold;
    look.symbolColor = [this] { return m_theme.palette().inkSecondary; };
    look.ink = [this] { return m_theme.palette().ink; };
    ButtonPair pair;
    pair.remove = new IconButton(QStringLiteral("trash-2"), look, tr("Delete"), viewport());
    pair.pin = new IconButton(QStringLiteral("pin"), look, tr("Pin"), viewport());
    pair.remove->hide();
    pair.pin->hide();
    const bool forSelection = m_selectedButtons.remove == nullptr;
    connect(pair.remove, &QAbstractButton::clicked, this, [this, forSelection] {
        const QUuid id = (forSelection ? m_selectedButtons : m_hoveredButtons).id;
        if (m_actions.remove && !id.isNull())
            m_actions.remove(id);
    });
    connect(pair.pin, &QAbstractButton::clicked, this, [this, forSelection] {
        const QUuid id = (forSelection ? m_selectedButtons : m_hoveredButtons).id;
        if (m_actions.togglePin && !id.isNull())
            m_actions.togglePin(id);
    });
    return pair;
}

bool HistoryList::isScrolling() const
{
    return m_scroll->state() == QAbstractAnimation::Running;
}

const ClipboardItem* HistoryList::itemAt(int row) const
{
    return row >= 0 && row < m_model->rowCount() ? &m_model->itemAt(row) : nullptr;
}

QRect HistoryList::cardGeometry(int row) const
{
    const QRect item = visualRect(m_model->index(row));
    return ClipboardItemDelegate::cardRect(item, row).toAlignedRect();
}

int HistoryList::cardAt(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return -1;
    const QRectF card = ClipboardItemDelegate::cardRect(visualRect(index), index.row());
    return card.contains(pos) ? index.row() : -1;
}

void HistoryList::placeButtons(ButtonPair& pair, int row)
{
    const ClipboardItem* item = itemAt(row);
    const QRect rowRect = item ? visualRect(m_model->index(row)) : QRect();
    if (!item || !rowRect.isValid() || !rowRect.intersects(viewport()->rect())) {
        pair.remove->hide();
        pair.pin->hide();
        pair.id = QUuid();
        return;
    }
    pair.id = item->id();
    const QRectF card = ClipboardItemDelegate::cardRect(rowRect, row);
    // The buttons' outlines reach half a point beyond their squares.
    const QPointF outline(0.5, 0.5);
    pair.remove->move((ClipboardItemDelegate::deleteButtonRect(card).topLeft() - outline).toPoint());
    pair.pin->move((ClipboardItemDelegate::pinButtonRect(card).topLeft() - outline).toPoint());
    pair.pin->setSymbol(item->isPinned() ? QStringLiteral("pin-off") : QStringLiteral("pin"));
    const QString pinName = item->isPinned() ? tr("Unpin") : tr("Pin");
    pair.pin->setAccessibleName(pinName);
    pair.pin->setToolTip(pinName);
    pair.remove->show();
    pair.pin->show();
    pair.remove->raise();
    pair.pin->raise();
}

void HistoryList::refreshRowState()
{
    if (!m_model || !m_hoveredButtons.pin)
        return; // still being built
    const qsizetype selected = m_state.selectedIndex();
    const int selectedRow = selected >= 0 && selected < m_model->rowCount() ? int(selected) : -1;
    placeButtons(m_selectedButtons, selectedRow);
    placeButtons(m_hoveredButtons, m_hoveredRow == selectedRow ? -1 : m_hoveredRow);
    // Cards draw their shadows into the spacing of their neighbours: redraw all.
    viewport()->update();
}

void HistoryList::followSelection()
{
    // A hidden popover says nothing; it is followed again when it shows.
    if (!isVisible())
        return;
    const qsizetype selected = m_state.selectedIndex();
    const int row = selected >= 0 && selected < m_model->rowCount() ? int(selected) : -1;
    const QModelIndex index = m_model->index(row);
    if (index != currentIndex() || (index.isValid() && !selectionModel()->isSelected(index)))
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    const QUuid id = row >= 0 ? m_model->itemAt(row).id() : QUuid();
    if (id == m_followedId)
        return;
    m_followedId = id;
    // Qt's bridge turns this into the row's object:state-changed:focused,
    // which Orca reads out with the row's name.
    if (row >= 0 && QAccessible::isActive() && window()->isActiveWindow()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(row);
        QAccessible::updateAccessibility(&event);
    }
}

void HistoryList::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // Not QListView's own: it tells screen readers of every new current
    // row, also of one that only moved because rows around it went away
    // while a search filtered them. followSelection() tells them when the
    // selected entry changed.
    QAbstractItemView::currentChanged(current, previous);
}

QList<IconButton*> HistoryList::visibleRowButtons() const
{
    QList<IconButton*> shown;
    for (IconButton* b :
         {m_selectedButtons.remove, m_selectedButtons.pin, m_hoveredButtons.remove, m_hoveredButtons.pin})
        if (!b->isHidden())
            shown << b;
    return shown;
}

void HistoryList::setHoveredRow(int row)
{
    if (row == m_hoveredRow)
        return;
    m_hoveredRow = row;
    if (m_actions.hover)
        m_actions.hover(row);
    refreshRowState();
}

void HistoryList::mouseMoveEvent(QMouseEvent* event)
{
    setHoveredRow(cardAt(event->position().toPoint()));
}

void HistoryList::wheelEvent(QWheelEvent* event)
{
    QListView::wheelEvent(event);
    // The rows moved under a still pointer: the row it is over now is hovered,
    // so selected for Return. (Scrolling to the keyboard's selection is not.)
    setHoveredRow(cardAt(event->position().toPoint()));
}

void HistoryList::leaveEvent(QEvent* event)
{
    QListView::leaveEvent(event);
    // Over one of the row's own buttons the pointer is still on the row.
    if (!viewport()->rect().contains(viewport()->mapFromGlobal(QCursor::pos())))
        setHoveredRow(-1);
}

void HistoryList::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const ClipboardItem* item = itemAt(cardAt(event->position().toPoint()));
    if (!item)
        return;
    if (m_pendingClick && m_pendingClick->id() == item->id())
        return; // the second press of a double click
    if (m_pendingClick && m_actions.paste) {
        // A click on another row: the first one has waited long enough.
        const ClipboardItem earlier = *m_pendingClick;
        m_pendingClick.reset();
        m_actions.paste(earlier);
    }
    m_pendingClick = *item;
    const quint64 generation = ++m_clickGeneration;
    m_scheduler.postAfter(QApplication::doubleClickInterval() / 1000.0, this, [this, generation] {
        if (generation != m_clickGeneration || !m_pendingClick)
            return;
        const ClipboardItem clicked = *m_pendingClick;
        m_pendingClick.reset();
        if (m_actions.paste)
            m_actions.paste(clicked);
    });
}

void HistoryList::mouseReleaseEvent(QMouseEvent*) {}

void HistoryList::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    ++m_clickGeneration;
    m_pendingClick.reset();
    if (const ClipboardItem* item = itemAt(cardAt(event->position().toPoint())); item && m_actions.openDetail)
        m_actions.openDetail(*item);
}

void HistoryList::contextMenuEvent(QContextMenuEvent* event)
{
    const int row =
        event->reason() == QContextMenuEvent::Mouse ? cardAt(event->pos()) : int(m_state.selectedIndex());
    QMenu* menu = contextMenuFor(row);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint at = event->reason() == QContextMenuEvent::Mouse
                          ? event->globalPos()
                          : viewport()->mapToGlobal(cardGeometry(row).center());
    menu->popup(at);
}

void HistoryList::scrollToCentre(int row, double seconds)
{
    if (!itemAt(row))
        return;
    executeDelayedItemsLayout();
    const QRect card = cardGeometry(row);
    QScrollBar* bar = verticalScrollBar();
    const int target = std::clamp(bar->value() + card.center().y() - viewport()->height() / 2, bar->minimum(),
                                  bar->maximum());
    m_scroll->stop();
    if (seconds <= 0 || target == bar->value()) {
        bar->setValue(target);
        return;
    }
    m_scroll->setDuration(int(seconds * 1000));
    m_scroll->setStartValue(bar->value());
    m_scroll->setEndValue(target);
    m_scroll->start();
}

void HistoryList::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    // Row heights depend on the width (previews wrap): lay out again.
    if (viewport()->width() != m_lastWidth) {
        m_lastWidth = viewport()->width();
        scheduleDelayedItemsLayout();
    }
}

void HistoryList::updateGeometries()
{
    QListView::updateGeometries();
    refreshRowState();
}

void HistoryList::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    refreshRowState();
}

} // namespace ondrel
