#include "ClipboardListView.h"

#include "ClipboardItemRow.h"
#include "ClipboardManager.h"
#include "DetailView.h"
#include "Fonts.h"
#include "HistoryListModel.h"
#include "IconButton.h"
#include "MainQueue.h"
#include "Painting.h"
#include "PopoverParts.h"
#include "Symbols.h"
#include "Text.h"
#include "Theme.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

namespace ondrel {

namespace {

// Menu entries marked "destructive" are drawn in red.
class MenuStyle final : public QProxyStyle
{
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_MenuItem)
            if (const auto* menu = qobject_cast<const QMenu*>(widget))
                if (const QAction* action = menu->actionAt(option->rect.center());
                    action && action->property("destructive").toBool()) {
                    QStyleOptionMenuItem copy = *qstyleoption_cast<const QStyleOptionMenuItem*>(option);
                    for (auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText,
                                      QPalette::HighlightedText})
                        copy.palette.setColor(role, kDestructive);
                    QProxyStyle::drawControl(element, &copy, painter, widget);
                    return;
                }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    static inline const QColor kDestructive{220, 38, 38};
};

QStyle* menuStyle()
{
    static QStyle* const style = new MenuStyle; // lives as long as the program
    return style;
}

QIcon menuIcon(const QString& symbol, const QColor& color)
{
    QIcon icon;
    for (qreal dpr : {1.0, 2.0})
        icon.addPixmap(symbolPixmap(symbol, color, 14, dpr));
    return icon;
}

} // namespace

// ---------------------------------------------------------------------------
// HistoryList

HistoryList::HistoryList(ClipboardManager& store, ThemeManager& theme, platform::MainQueue& queue,
                         Actions actions, QWidget* parent)
    : QListView(parent), m_store(store), m_theme(theme), m_queue(queue), m_actions(std::move(actions))
{
    setAccessibleName(QStringLiteral("Clipboard history"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setMouseTracking(true);
    setUniformItemSizes(false);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical{background:transparent;width:7px;margin:2px 1px 2px 0;}"
        "QScrollBar::handle:vertical{background:rgba(24,24,27,110);border-radius:3px;min-height:24px;}"
        "QScrollBar::add-line,QScrollBar::sub-line{height:0;}"
        "QScrollBar::add-page,QScrollBar::sub-page{background:transparent;}"));

    m_model = new HistoryListModel(store, this);
    m_delegate = new ClipboardItemRow(
        theme,
        [this](int row) {
            ClipboardItemRow::State state;
            state.selected = row == m_store.selectedIndex();
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
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_hoveredId = m_hoveredRow >= 0 ? m_model->itemAt(m_hoveredRow).id() : QUuid(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_hoveredRow = -1;
        if (!m_hoveredId.isNull())
            for (int i = 0; i < m_model->rowCount(); ++i)
                if (m_model->itemAt(i).id() == m_hoveredId) {
                    m_hoveredRow = i;
                    break;
                }
        refreshRowState();
    });
}

HistoryList::ButtonPair HistoryList::makeButtons()
{
    IconButton::Look look;
    look.size = {ClipboardItemRow::kButtonSide, ClipboardItemRow::kButtonSide};
    look.radius = 4;
    look.fill = [this] { return m_theme.palette().soft; };
    look.outlineWidth = 1;
    look.symbolSize = 8;
    look.symbolColor = [] { return inkSecondary(); };
    ButtonPair pair;
    pair.remove = new IconButton(QStringLiteral("trash.fill"), look, QStringLiteral("Delete"), viewport());
    pair.pin = new IconButton(QStringLiteral("pin.fill"), look, QStringLiteral("Pin"), viewport());
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

const ClipboardItem* HistoryList::itemAt(int row) const
{
    return row >= 0 && row < m_model->rowCount() ? &m_model->itemAt(row) : nullptr;
}

QRect HistoryList::cardGeometry(int row) const
{
    const QRect item = visualRect(m_model->index(row));
    return ClipboardItemRow::cardRect(item, row).toAlignedRect();
}

int HistoryList::cardAt(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return -1;
    const QRectF card = ClipboardItemRow::cardRect(visualRect(index), index.row());
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
    const QRectF card = ClipboardItemRow::cardRect(rowRect, row);
    // The buttons' outlines reach half a point beyond their squares.
    const QPointF outline(0.5, 0.5);
    pair.remove->move((ClipboardItemRow::deleteButtonRect(card).topLeft() - outline).toPoint());
    pair.pin->move((ClipboardItemRow::pinButtonRect(card).topLeft() - outline).toPoint());
    pair.pin->setSymbol(item->isPinned() ? QStringLiteral("pin.slash.fill") : QStringLiteral("pin.fill"));
    const QString pinName = item->isPinned() ? QStringLiteral("Unpin") : QStringLiteral("Pin");
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
    const qsizetype selected = m_store.selectedIndex();
    const int selectedRow = selected >= 0 && selected < m_model->rowCount() ? int(selected) : -1;
    placeButtons(m_selectedButtons, selectedRow);
    placeButtons(m_hoveredButtons, m_hoveredRow == selectedRow ? -1 : m_hoveredRow);
    // Cards draw their shadows into the spacing of their neighbours: redraw all.
    viewport()->update();
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
    m_queue.asyncAfter(QApplication::doubleClickInterval() / 1000.0, this, [this, generation] {
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

QMenu* HistoryList::contextMenuFor(int row)
{
    const ClipboardItem* found = itemAt(row);
    if (!found)
        return nullptr;
    const ClipboardItem item = *found;
    auto* menu = new QMenu(this);
    menu->setStyle(menuStyle());
    menu->setAccessibleName(QStringLiteral("Entry actions"));
    QAction* edit = menu->addAction(menuIcon(QStringLiteral("pencil"), ink()), QStringLiteral("Edit"));
    connect(edit, &QAction::triggered, this, [this, item] {
        if (m_actions.openDetail)
            m_actions.openDetail(item);
    });
    QAction* pin = menu->addAction(
        menuIcon(item.isPinned() ? QStringLiteral("pin.slash") : QStringLiteral("pin"), ink()),
        item.isPinned() ? QStringLiteral("Unpin") : QStringLiteral("Pin"));
    connect(pin, &QAction::triggered, this, [this, id = item.id()] {
        if (m_actions.togglePin)
            m_actions.togglePin(id);
    });
    menu->addSeparator();
    QAction* remove =
        menu->addAction(menuIcon(QStringLiteral("trash"), MenuStyle::kDestructive), QStringLiteral("Delete"));
    remove->setProperty("destructive", true);
    connect(remove, &QAction::triggered, this, [this, id = item.id()] {
        if (m_actions.remove)
            m_actions.remove(id);
    });
    return menu;
}

void HistoryList::contextMenuEvent(QContextMenuEvent* event)
{
    const int row =
        event->reason() == QContextMenuEvent::Mouse ? cardAt(event->pos()) : int(m_store.selectedIndex());
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

// ---------------------------------------------------------------------------
// ClipboardListView

namespace {

// The search field on its card.
class SearchBar final : public QWidget
{
public:
    SearchBar(ThemeManager& theme, QWidget* parent) : QWidget(parent), m_theme(theme)
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRectF card = QRectF(rect()).adjusted(kOuter, kOuter, -kOuter, -kOuter);
        paint::drawCard(painter, card, {8, m_theme.palette().surface, ink(), 2, ink(), {3, 3}});
    }

public:
    static constexpr int kOuter = 12;
    static constexpr int kInner = 12;

private:
    ThemeManager& m_theme;
};

} // namespace

ClipboardListView::ClipboardListView(ClipboardManager& store, ThemeManager& theme, platform::MainQueue& queue,
                                     platform::Pasteboard& pasteboard, QWidget* parent)
    : QWidget(parent), m_store(store), m_theme(theme), m_queue(queue), m_pasteboard(pasteboard)
{
    setAccessibleName(QStringLiteral("Clipboard history"));
    resize(kWidth, kHeight);

    m_main = new QWidget(this);
    auto* column = new QVBoxLayout(m_main);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Search bar.
    auto* searchBar = new SearchBar(theme, m_main);
    auto* searchRow = new QHBoxLayout(searchBar);
    const int m = SearchBar::kOuter + SearchBar::kInner;
    searchRow->setContentsMargins(m, m, m, m);
    searchRow->setSpacing(8);
    searchRow->addWidget(new SymbolLabel(QStringLiteral("magnifyingglass"), inkSecondary(), 12, searchBar));
    m_search = new QLineEdit(searchBar);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setAccessibleName(QStringLiteral("Search clipboard"));
    m_search->setPlaceholderText(QStringLiteral("Search clipboard..."));
    m_search->setFrame(false);
    m_search->setFont(systemFont(13));
    m_search->setTextMargins(0, 0, 0, 0);
    m_search->setAttribute(Qt::WA_MacShowFocusRect, false);
    {
        QPalette p = m_search->palette();
        p.setColor(QPalette::Base, Qt::transparent);
        p.setColor(QPalette::Text, ink());
        p.setColor(QPalette::PlaceholderText, inkSecondary());
        m_search->setPalette(p);
    }
    searchRow->addWidget(m_search, 1);
    IconButton::Look clearLook;
    clearLook.size = {paint::symbolSide(12), paint::symbolSide(12)};
    clearLook.symbolSize = 12;
    clearLook.symbolColor = [] { return inkSecondary(); };
    m_clearSearch = new IconButton(QStringLiteral("xmark.circle.fill"), clearLook,
                                   QStringLiteral("Clear search"), searchBar);
    m_clearSearch->setObjectName(QStringLiteral("clearSearch"));
    m_clearSearch->hide();
    searchRow->addWidget(m_clearSearch);
    column->addWidget(searchBar);

    // The rows, or what to say when there are none.
    HistoryList::Actions actions;
    actions.paste = [this](const ClipboardItem& item) { pasteEntry(item); };
    actions.openDetail = [this](const ClipboardItem& item) { openDetail(item); };
    actions.remove = [this](const QUuid& id) { m_store.deleteItem(id); };
    actions.togglePin = [this](const QUuid& id) { m_store.togglePin(id); };
    actions.hover = [this](int row) { setHoveredRow(row); };
    m_list = new HistoryList(store, theme, queue, std::move(actions), m_main);
    column->addWidget(m_list, 1);
    m_empty = new EmptyState(m_main);
    column->addWidget(m_empty, 1);
    column->addWidget(new KeyHints(theme, m_main));

    m_notice = new CopiedNotice(theme, this);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != m_store.searchText())
            m_store.setSearchText(text);
    });
    connect(m_search, &QLineEdit::returnPressed, this, [this] { m_store.pasteSelected(); });
    connect(m_clearSearch, &QAbstractButton::clicked, this, [this] { m_store.setSearchText(QString()); });
    connect(&store, &ClipboardManager::searchTextChanged, this, [this] {
        if (m_search->text() != m_store.searchText())
            m_search->setText(m_store.searchText());
        m_clearSearch->setVisible(!m_store.searchText().isEmpty());
        m_store.setSelectedIndex(0);
    });
    connect(&store, &ClipboardManager::filteredItemsChanged, this, &ClipboardListView::updateContent);
    connect(&store, &ClipboardManager::selectedIndexChanged, this,
            &ClipboardListView::onSelectedIndexChanged);
    connect(&store, &ClipboardManager::showDetailForSelectedChanged, this,
            &ClipboardListView::onShowDetailChanged);
    connect(&store, &ClipboardManager::closeDetailRequestedChanged, this,
            &ClipboardListView::onCloseDetailChanged);
    connect(&theme, &ThemeManager::accentColorChanged, this, [this] {
        // Every part reads the palette when it draws.
        for (QWidget* w : findChildren<QWidget*>())
            w->update();
        update();
    });
    m_lastSelectedIndex = store.selectedIndex();
    updateContent();
    placeOverlays();
}

ClipboardListView::~ClipboardListView() = default;

bool ClipboardListView::isShowingEmptyState() const
{
    return !m_empty->isHidden();
}

void ClipboardListView::updateContent()
{
    const bool empty = m_store.filteredItems().isEmpty();
    if (empty) {
        if (m_store.searchText().isEmpty())
            m_empty->setTexts(QStringLiteral("No clipboard history"),
                              QStringLiteral("Copy something to get started"));
        else
            m_empty->setTexts(QStringLiteral("No matches"), QStringLiteral("Try a different search"));
    }
    m_empty->setVisible(empty);
    m_list->setVisible(!empty);
}

void ClipboardListView::setHoveredRow(int row)
{
    if (row < 0) {
        m_hoveredItem.reset();
        return;
    }
    m_hoveredItem = m_list->historyModel()->itemAt(row).id();
    // Hovering moves the keyboard selection, without scrolling.
    m_store.setSelectedIndex(row);
}

void ClipboardListView::onSelectedIndexChanged()
{
    m_list->refreshRowState();
    if (m_store.selectedIndex() == m_lastSelectedIndex)
        return;
    m_lastSelectedIndex = m_store.selectedIndex();
    // Whoever moves the selection may ask for scrolling right after: decide
    // once the current task is done, as a view update would.
    if (!m_scrollCheckPending) {
        m_scrollCheckPending = true;
        QTimer::singleShot(0, this, [this] {
            m_scrollCheckPending = false;
            scrollToSelectionIfAsked();
        });
    }
}

void ClipboardListView::scrollToSelectionIfAsked()
{
    const qsizetype n = m_store.selectedIndex();
    if (!m_store.shouldScrollToSelection() || n < 0 || n >= m_list->historyModel()->rowCount())
        return;
    m_list->scrollToCentre(int(n), kScrollSeconds);
    m_store.setShouldScrollToSelection(false);
}

void ClipboardListView::onShowDetailChanged()
{
    if (!m_store.showDetailForSelected())
        return;
    if (const auto selected = m_store.selectedItem())
        openDetail(*selected);
    // With nothing selected the request is dropped too, so the next Tab works.
    m_store.setShowDetailForSelected(false);
}

void ClipboardListView::onCloseDetailChanged()
{
    if (!m_store.closeDetailRequested() || !m_detailItem)
        return;
    closeDetail();
    m_store.setCloseDetailRequested(false);
}

void ClipboardListView::pasteEntry(const ClipboardItem& item)
{
    m_store.copyAndPaste(item);
    setShowCopiedToast(true);
    // Each click hides the notice a second later; a later click does not
    // push back an earlier one's reset.
    m_queue.asyncAfter(1.0, this, [this] { setShowCopiedToast(false); });
}

void ClipboardListView::setShowCopiedToast(bool show)
{
    m_showCopiedToast = show;
    m_notice->setShown(show);
    m_notice->raise();
    if (m_detail)
        m_detail->raise();
}

void ClipboardListView::openDetail(const ClipboardItem& item)
{
    if (m_detail)
        m_detail->deleteLater();
    m_detailItem = item;
    m_detail = new DetailView(item, m_theme, m_pasteboard, this);
    m_detail->onClose = [this] { closeDetail(); };
    m_detail->onTransform = [this](const QString& text) { onTransform(text); };
    // The column stays laid out underneath, only unseen and out of reach.
    auto* hidden = new QGraphicsOpacityEffect(m_main);
    hidden->setOpacity(0);
    m_main->setGraphicsEffect(hidden);
    m_main->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    placeOverlays();
    m_detail->show();
    m_detail->raise();
    m_detail->editor()->setFocus();
}

void ClipboardListView::closeDetail()
{
    m_detailItem.reset();
    if (m_detail) {
        m_detail->hide();
        m_detail->deleteLater();
        m_detail = nullptr;
    }
    m_main->setGraphicsEffect(nullptr);
    m_main->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    m_search->setFocus();
}

void ClipboardListView::onTransform(const QString& text)
{
    if (!m_detailItem)
        return;
    // An entry without text counts as empty: copying nothing adds nothing.
    if (text::canonicallyEqual(m_detailItem->text().value_or(QString()), text))
        return;
    m_store.addTransformedItem(ClipboardItem::makeTransformed(text));
}

void ClipboardListView::placeOverlays()
{
    m_main->setGeometry(rect());
    const QSize notice = m_notice->sizeHint();
    // The notice sits 50 points above the bottom edge (its shadow margin aside).
    const int margin = (notice.height() - QFontMetrics(systemFont(12, FontWeight::bold)).height() - 16) / 2;
    m_notice->setGeometry((width() - notice.width()) / 2, height() - 50 - notice.height() + margin,
                          notice.width(), notice.height());
    if (m_detail) {
        // Sized for a wider window; inside ours it keeps a small margin.
        const int w = std::min(DetailView::kWidth, width() - 16);
        const int h = std::min(DetailView::kHeight, height() - 16);
        m_detail->setGeometry((width() - w) / 2, (height() - h) / 2, w, h);
    }
}

void ClipboardListView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_theme.palette().faint);
}

void ClipboardListView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void ClipboardListView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_detailItem)
        m_search->setFocus();
    m_store.setSelectedIndex(0);
}

} // namespace ondrel
