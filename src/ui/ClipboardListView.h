#pragma once

#include "ClipboardItem.h"
#include "DetailView.h"

#include <QListView>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QMenu;
class QVariantAnimation;

namespace ondrel {

namespace platform {
class MainQueue;
class Pasteboard;
} // namespace platform
class ClipboardItemRow;
class ClipboardManager;
class CopiedNotice;
class EmptyState;
class HistoryListModel;
class IconButton;
class ThemeManager;

// The list of rows: hover, clicks, the per-row buttons and the context menu.
// It never takes the keyboard focus; the search field keeps it.
class HistoryList final : public QListView
{
    Q_OBJECT
public:
    struct Actions
    {
        std::function<void(const ClipboardItem&)> paste;
        std::function<void(const ClipboardItem&)> openDetail;
        std::function<void(const QUuid&)> remove;
        std::function<void(const QUuid&)> togglePin;
        std::function<void(int row)> hover; // -1: the pointer left the rows
    };

    HistoryList(ClipboardManager& store, ThemeManager& theme, platform::MainQueue& queue, Actions actions,
                QWidget* parent = nullptr);

    HistoryListModel* historyModel() const { return m_model; }
    ClipboardItemRow* rowDelegate() const { return m_delegate; }
    // The row whose card is at `pos` (viewport coordinates), or -1.
    int cardAt(const QPoint& pos) const;
    QRect cardGeometry(int row) const;
    // The context menu of a row, not yet shown; the caller owns it.
    QMenu* contextMenuFor(int row);
    // The delete and pin buttons now shown, for the hovered and the selected row.
    QList<IconButton*> visibleRowButtons() const;
    // Scrolls so that `row` is centred, in an animation of `seconds`.
    void scrollToCentre(int row, double seconds);
    // Places the row buttons again (the hovered or selected row changed).
    void refreshRowState();
    int hoveredRow() const { return m_hoveredRow; }
    void setHoveredRow(int row);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct ButtonPair
    {
        IconButton* remove = nullptr;
        IconButton* pin = nullptr;
        QUuid id;
    };
    ButtonPair makeButtons();
    void placeButtons(ButtonPair& pair, int row);
    const ClipboardItem* itemAt(int row) const;

    ClipboardManager& m_store;
    ThemeManager& m_theme;
    platform::MainQueue& m_queue;
    Actions m_actions;
    HistoryListModel* m_model = nullptr;
    ClipboardItemRow* m_delegate = nullptr;
    int m_hoveredRow = -1;
    QUuid m_hoveredId; // across a model reset
    ButtonPair m_selectedButtons;
    ButtonPair m_hoveredButtons;
    // A single click waits out the double-click interval before it pastes.
    std::optional<ClipboardItem> m_pendingClick;
    quint64 m_clickGeneration = 0;
    int m_lastWidth = -1;
    QVariantAnimation* m_scroll = nullptr;
};

// The popover's content: search bar, the history list or an empty state,
// the keyboard hints, the "Copied!" notice and the detail view of one entry.
class ClipboardListView final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 480;
    static constexpr double kScrollSeconds = 0.1;

    ClipboardListView(ClipboardManager& store, ThemeManager& theme, platform::MainQueue& queue,
                      platform::Pasteboard& pasteboard, QWidget* parent = nullptr);
    ~ClipboardListView() override;

    QSize sizeHint() const override { return {kWidth, kHeight}; }

    std::optional<QUuid> hoveredItem() const { return m_hoveredItem; }
    const std::optional<ClipboardItem>& detailItem() const { return m_detailItem; }
    bool showCopiedToast() const { return m_showCopiedToast; }
    bool isShowingEmptyState() const;

    QLineEdit* searchField() const { return m_search; }
    IconButton* clearSearchButton() const { return m_clearSearch; }
    HistoryList* list() const { return m_list; }
    EmptyState* emptyState() const { return m_empty; }
    CopiedNotice* copiedNotice() const { return m_notice; }
    DetailView* detailView() const { return m_detail; }
    QWidget* mainColumn() const { return m_main; }

    // What a click on a row does: copy and paste it, and say so.
    void pasteEntry(const ClipboardItem& item);
    void openDetail(const ClipboardItem& item);
    void closeDetail();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setHoveredRow(int row);
    void setShowCopiedToast(bool show);
    void updateContent();
    void placeOverlays();
    void onSelectedIndexChanged();
    void scrollToSelectionIfAsked();
    void onShowDetailChanged();
    void onCloseDetailChanged();
    void onTransform(const QString& text);

    ClipboardManager& m_store;
    ThemeManager& m_theme;
    platform::MainQueue& m_queue;
    platform::Pasteboard& m_pasteboard;

    QWidget* m_main = nullptr;
    QLineEdit* m_search = nullptr;
    IconButton* m_clearSearch = nullptr;
    HistoryList* m_list = nullptr;
    EmptyState* m_empty = nullptr;
    CopiedNotice* m_notice = nullptr;
    QPointer<DetailView> m_detail;

    std::optional<QUuid> m_hoveredItem;
    std::optional<ClipboardItem> m_detailItem;
    bool m_showCopiedToast = false;
    qsizetype m_lastSelectedIndex = -1;
    bool m_scrollCheckPending = false;
};

} // namespace ondrel
