#pragma once

#include "ClipboardItem.h"

#include <QListView>
#include <QUuid>

#include <functional>
#include <optional>

class QMenu;
class QVariantAnimation;

namespace ondrel {

namespace platform {
class Scheduler;
} // namespace platform
class ClipboardItemDelegate;
class HistoryListModel;
class IconButton;
class PopoverState;
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
        // Leave the application of that name out of the history from now on.
        std::function<void(const QString& app)> exclude;
    };

    HistoryList(PopoverState& state, ThemeManager& theme, platform::Scheduler& scheduler, Actions actions,
                QWidget* parent = nullptr);

    HistoryListModel* historyModel() const { return m_model; }
    ClipboardItemDelegate* rowDelegate() const { return m_delegate; }
    // The row whose card is at `pos` (viewport coordinates), or -1.
    int cardAt(const QPoint& pos) const;
    QRect cardGeometry(int row) const;
    // The context menu of a row, not yet shown; the caller owns it.
    QMenu* contextMenuFor(int row);
    // The delete and pin buttons now shown, for the hovered and the selected row.
    QList<IconButton*> visibleRowButtons() const;
    // Scrolls so that `row` is centred, in an animation of `seconds`.
    void scrollToCentre(int row, double seconds);
    bool isScrolling() const;
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
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

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
    // Hands the popover's selected row to the view's own current index and
    // selection, where screen readers look for it.
    void followSelection();

    PopoverState& m_state;
    ThemeManager& m_theme;
    platform::Scheduler& m_scheduler;
    Actions m_actions;
    HistoryListModel* m_model = nullptr;
    ClipboardItemDelegate* m_delegate = nullptr;
    int m_hoveredRow = -1;
    QUuid m_hoveredId; // across a model reset
    ButtonPair m_selectedButtons;
    ButtonPair m_hoveredButtons;
    // A single click waits out the double-click interval before it pastes.
    std::optional<ClipboardItem> m_pendingClick;
    quint64 m_clickGeneration = 0;
    int m_lastWidth = -1;
    QUuid m_followedId; // the selected entry screen readers were told of
    QVariantAnimation* m_scroll = nullptr;
};

} // namespace ondrel
