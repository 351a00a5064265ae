#include "PopoverContent.h"

#include "DetailView.h"
#include "EntryPaster.h"
#include "Fonts.h"
#include "HistoryListModel.h"
#include "HistoryStore.h"
#include "IconButton.h"
#include "Painting.h"
#include "PopoverParts.h"
#include "PopoverState.h"
#include "Scheduler.h"
#include "Text.h"
#include "Theme.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace ondrel {

// ---------------------------------------------------------------------------
// PopoverContent

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
        const AccentPalette colors = m_theme.palette();
        paint::drawCard(painter, card, {8, colors.surface, colors.ink, 2, colors.ink, {3, 3}});
    }

public:
    static constexpr int kOuter = 12;
    static constexpr int kInner = 12;

private:
    ThemeManager& m_theme;
};

} // namespace

PopoverContent::PopoverContent(HistoryStore& store, PopoverState& state, EntryPaster& paster,
                               ThemeManager& theme, platform::Scheduler& scheduler,
                               platform::Clipboard& clipboard, QWidget* parent)
    : QWidget(parent), m_store(store), m_state(state), m_paster(paster), m_theme(theme),
      m_scheduler(scheduler), m_clipboard(clipboard)
{
    setAccessibleName(tr("Clipboard history"));
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
    auto* searchSymbol =
        new SymbolLabel(QStringLiteral("search"), inkSecondary(), 12, SymbolWeight::medium, searchBar);
    searchRow->addWidget(searchSymbol);
    m_search = new QLineEdit(searchBar);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setAccessibleName(tr("Search clipboard"));
    m_search->setPlaceholderText(tr("Search clipboard..."));
    m_search->setFrame(false);
    m_search->setFont(systemFont(13));
    m_search->setTextMargins(0, 0, 0, 0);
    m_search->setAttribute(Qt::WA_MacShowFocusRect, false);
    const auto tintSearch = [this, searchSymbol] {
        const AccentPalette colors = m_theme.palette();
        QPalette p = m_search->palette();
        p.setColor(QPalette::Base, Qt::transparent);
        p.setColor(QPalette::Text, colors.ink);
        p.setColor(QPalette::PlaceholderText, colors.inkSecondary);
        m_search->setPalette(p);
        searchSymbol->setColor(colors.inkSecondary);
    };
    tintSearch();
    connect(&theme, &ThemeManager::darkChanged, this, tintSearch);
    searchRow->addWidget(m_search, 1);
    IconButton::Look clearLook;
    clearLook.size = {paint::symbolSide(12), paint::symbolSide(12)};
    clearLook.symbolSize = 12;
    clearLook.symbolColor = [this] { return m_theme.palette().inkSecondary; };
    m_clearSearch = new IconButton(QStringLiteral("circle-x"), clearLook, tr("Clear search"), searchBar);
    m_clearSearch->setObjectName(QStringLiteral("clearSearch"));
    m_clearSearch->hide();
    searchRow->addWidget(m_clearSearch);
    column->addWidget(searchBar);

    // While the history file cannot take every entry, the user is told
    // here, not only on a console nobody reads.
    m_notSaved = new QLabel(m_main);
    m_notSaved->setObjectName(QStringLiteral("notSaved"));
    m_notSaved->setWordWrap(true);
    m_notSaved->setFont(systemFont(11, FontWeight::bold));
    m_notSaved->setContentsMargins(SearchBar::kOuter + 4, 0, SearchBar::kOuter + 4, 4);

    m_notSaved->hide();
    column->addWidget(m_notSaved);

    // The rows, or what to say when there are none.
    HistoryList::Actions actions;
    actions.paste = [this](const ClipboardItem& item) { pasteEntry(item); };
    actions.openDetail = [this](const ClipboardItem& item) { openDetail(item); };
    actions.remove = [this](const QUuid& id) { m_store.deleteItem(id); };
    actions.togglePin = [this](const QUuid& id) { m_store.togglePin(id); };
    actions.hover = [this](int row) { setHoveredRow(row); };
    actions.exclude = [this](const QString& app) {
        if (m_exclude)
            m_exclude(app);
    };
    m_list = new HistoryList(state, theme, scheduler, std::move(actions), m_main);
    column->addWidget(m_list, 1);
    m_empty = new EmptyState(theme, m_main);
    column->addWidget(m_empty, 1);
    m_paused = new QLabel(tr("Recording paused"), m_main);
    m_paused->setObjectName(QStringLiteral("recordingPaused"));
    m_paused->setAlignment(Qt::AlignCenter);
    m_paused->setFont(systemFont(11, FontWeight::bold));
    m_paused->setContentsMargins(0, 6, 0, 6);

    m_paused->hide();
    column->addWidget(m_paused);
    column->addWidget(new KeyHints(theme, m_main));

    m_notice = new CopiedNotice(theme, this);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != m_state.searchText())
            m_state.setSearchText(text);
    });
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        if (const auto selected = m_state.selectedItem())
            m_paster.copyAndPaste(*selected);
    });
    connect(m_clearSearch, &QAbstractButton::clicked, this, [this] { m_state.setSearchText(QString()); });
    connect(&state, &PopoverState::searchTextChanged, this, [this] {
        if (m_search->text() != m_state.searchText())
            m_search->setText(m_state.searchText());
        m_clearSearch->setVisible(!m_state.searchText().isEmpty());
        m_state.setSelectedIndex(0);
    });
    connect(&state, &PopoverState::filteredItemsChanged, this, &PopoverContent::updateContent);
    connect(&store, &HistoryStore::saveStatusChanged, this, &PopoverContent::updateSaveStatus);
    connect(&state, &PopoverState::selectedIndexChanged, this, &PopoverContent::onSelectedIndexChanged);
    connect(&state, &PopoverState::showDetailForSelectedChanged, this, &PopoverContent::onShowDetailChanged);
    connect(&state, &PopoverState::closeDetailRequestedChanged, this, &PopoverContent::onCloseDetailChanged);
    const auto tintNotes = [this] {
        m_notSaved->setStyleSheet(QStringLiteral("color:%1;").arg(alertInk(m_theme.isDark()).name()));
        m_paused->setStyleSheet(QStringLiteral("color:%1;").arg(cautionInk(m_theme.isDark()).name()));
    };
    tintNotes();
    connect(&theme, &ThemeManager::darkChanged, this, tintNotes);
    connect(&theme, &ThemeManager::colorsChanged, this, [this] {
        // Every part reads the palette when it draws.
        for (QWidget* w : findChildren<QWidget*>())
            w->update();
        update();
    });
    m_lastSelectedIndex = state.selectedIndex();
    updateContent();
    updateSaveStatus();
    placeOverlays();
}

PopoverContent::~PopoverContent() = default;

bool PopoverContent::isShowingEmptyState() const
{
    return !m_empty->isHidden();
}

void PopoverContent::updateContent()
{
    const bool empty = m_state.filteredItems().isEmpty();
    if (empty) {
        if (m_state.searchText().isEmpty())
            m_empty->setTexts(tr("No clipboard history"), tr("Copy something to get started"));
        else
            m_empty->setTexts(tr("No matches"), tr("Try a different search"));
    }
    m_empty->setVisible(empty);
    m_list->setVisible(!empty);
}

void PopoverContent::updateSaveStatus()
{
    const QString text = m_store.notSavedText();
    m_notSaved->setText(text);
    m_notSaved->setAccessibleName(text);
    m_notSaved->setVisible(!text.isEmpty());
}

void PopoverContent::setRecordingPaused(bool paused)
{
    m_paused->setVisible(paused);
}

void PopoverContent::setHoveredRow(int row)
{
    if (row < 0) {
        m_hoveredItem.reset();
        return;
    }
    m_hoveredItem = m_list->historyModel()->itemAt(row).id();
    // Hovering moves the keyboard selection, without scrolling.
    m_state.setSelectedIndex(row);
}

void PopoverContent::onSelectedIndexChanged()
{
    m_list->refreshRowState();
    if (m_state.selectedIndex() == m_lastSelectedIndex)
        return;
    m_lastSelectedIndex = m_state.selectedIndex();
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

void PopoverContent::scrollToSelectionIfAsked()
{
    const qsizetype n = m_state.selectedIndex();
    if (!m_state.shouldScrollToSelection() || n < 0 || n >= m_list->historyModel()->rowCount())
        return;
    m_list->scrollToCentre(int(n), kScrollSeconds);
    m_state.setShouldScrollToSelection(false);
}

void PopoverContent::onShowDetailChanged()
{
    if (!m_state.showDetailForSelected())
        return;
    if (const auto selected = m_state.selectedItem())
        openDetail(*selected);
    // With nothing selected the request is dropped too, so the next Tab works.
    m_state.setShowDetailForSelected(false);
}

void PopoverContent::onCloseDetailChanged()
{
    if (!m_state.closeDetailRequested() || !m_detailItem)
        return;
    closeDetail();
    m_state.setCloseDetailRequested(false);
}

void PopoverContent::pasteEntry(const ClipboardItem& item)
{
    const bool copied = m_paster.copyAndPaste(item);
    if (copied)
        Q_EMIT pastingFromList();
    showCopied(copied);
}

void PopoverContent::showCopied(bool copied)
{
    m_notice->setFailed(!copied);
    placeOverlays();
    setShowCopiedToast(true);
    // Each click hides the notice a second later; a later click does not
    // push back an earlier one's reset.
    m_scheduler.postAfter(kCopiedSeconds, this, [this] { setShowCopiedToast(false); });
}

void PopoverContent::setShowCopiedToast(bool show)
{
    m_showCopiedToast = show;
    m_notice->setShown(show);
    m_notice->raise();
    if (m_detail)
        m_detail->raise();
}

void PopoverContent::openDetail(const ClipboardItem& item)
{
    // Open already for this entry: the user's edits stay.
    if (m_detail && m_detailItem && m_detailItem->id() == item.id()) {
        m_detail->editor()->setFocus();
        return;
    }
    if (m_detail)
        m_detail->deleteLater();
    m_detailItem = item;
    m_detail = new DetailView(item, m_theme, m_clipboard, this);
    m_detail->onClose = [this] { closeDetail(); };
    m_detail->onTransform = [this](const QString& text) { onTransform(text); };
    // The column stays laid out underneath, only unseen and out of reach.
    auto* hidden = new QGraphicsOpacityEffect(m_main);
    hidden->setOpacity(0);
    m_main->setGraphicsEffect(hidden);
    m_main->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    // Nor does Tab stop there.
    m_main->setEnabled(false);
    placeOverlays();
    m_detail->show();
    m_detail->raise();
    m_detail->editor()->setFocus();
}

void PopoverContent::closeDetail()
{
    m_detailItem.reset();
    if (m_detail) {
        m_detail->hide();
        m_detail->deleteLater();
        m_detail = nullptr;
    }
    m_main->setGraphicsEffect(nullptr);
    m_main->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    m_main->setEnabled(true);
    m_search->setFocus();
}

void PopoverContent::onTransform(const QString& text)
{
    if (!m_detailItem)
        return;
    // An entry without text counts as empty: copying nothing adds nothing.
    if (text::canonicallyEqual(m_detailItem->text().value_or(QString()), text))
        return;
    m_store.addTransformedItem(ClipboardItem::makeTransformed(text));
}

void PopoverContent::placeOverlays()
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

void PopoverContent::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_theme.palette().faint);
}

void PopoverContent::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void PopoverContent::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_detailItem)
        m_search->setFocus();
    m_state.setSelectedIndex(0);
}

} // namespace ondrel
