#pragma once

#include "ClipboardItem.h"
#include "DetailView.h"
#include "HistoryList.h"

#include <QListView>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QMenu;
class QVariantAnimation;

namespace ondrel {

namespace platform {
class Scheduler;
class Clipboard;
} // namespace platform
class ClipboardItemDelegate;
class CopiedNotice;
class EmptyState;
class EntryPaster;
class HistoryStore;
class PopoverState;

// The popover's content: search bar, the history list or an empty state,
// the keyboard hints, the "Copied!" notice and the detail view of one entry.
class PopoverContent final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 480;
    static constexpr double kScrollSeconds = 0.1;
    static constexpr double kCopiedSeconds = 1.0; // how long "Copied!" shows

    PopoverContent(HistoryStore& store, PopoverState& state, EntryPaster& paster, ThemeManager& theme,
                   platform::Scheduler& scheduler, platform::Clipboard& clipboard, QWidget* parent = nullptr);
    ~PopoverContent() override;

    QSize sizeHint() const override { return {kWidth, kHeight}; }

    std::optional<QUuid> hoveredItem() const { return m_hoveredItem; }
    const std::optional<ClipboardItem>& detailItem() const { return m_detailItem; }
    bool showCopiedToast() const { return m_showCopiedToast; }
    bool isShowingEmptyState() const;
    ThemeManager& theme() const { return m_theme; }

    QLineEdit* searchField() const { return m_search; }
    IconButton* clearSearchButton() const { return m_clearSearch; }
    HistoryList* list() const { return m_list; }
    EmptyState* emptyState() const { return m_empty; }
    CopiedNotice* copiedNotice() const { return m_notice; }
    DetailView* detailView() const { return m_detail; }
    // "History not saved: <why>", shown while saving fails.
    QLabel* notSavedBanner() const { return m_notSaved; }
    // "Recording paused" in the footer, shown while copies are not recorded.
    QLabel* pausedFooter() const { return m_paused; }
    void setRecordingPaused(bool paused);
    // What a row's "Don't Record from APP" does with the application's name.
    void setExcludeHandler(std::function<void(const QString& app)> exclude)
    {
        m_exclude = std::move(exclude);
    }
    QWidget* mainColumn() const { return m_main; }

    // What a click on a row does: copy and paste it, and say so.
    void pasteEntry(const ClipboardItem& item);
    // "Copied!" for a second, as after a click, or "Could not copy" when
    // nothing reached the clipboard.
    void showCopied(bool copied = true);
    void openDetail(const ClipboardItem& item);
    void closeDetail();

Q_SIGNALS:
    // A row was chosen with the mouse: the paste keystroke follows while
    // this view is meant to stay open.
    void pastingFromList();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setHoveredRow(int row);
    void setShowCopiedToast(bool show);
    void updateContent();
    void updateSaveStatus();
    void placeOverlays();
    void onSelectedIndexChanged();
    void scrollToSelectionIfAsked();
    void onShowDetailChanged();
    void onCloseDetailChanged();
    void onTransform(const QString& text);

    HistoryStore& m_store;
    PopoverState& m_state;
    EntryPaster& m_paster;
    ThemeManager& m_theme;
    platform::Scheduler& m_scheduler;
    platform::Clipboard& m_clipboard;

    QWidget* m_main = nullptr;
    QLineEdit* m_search = nullptr;
    IconButton* m_clearSearch = nullptr;
    QLabel* m_notSaved = nullptr;
    QLabel* m_paused = nullptr;
    HistoryList* m_list = nullptr;
    EmptyState* m_empty = nullptr;
    CopiedNotice* m_notice = nullptr;
    QPointer<DetailView> m_detail;

    std::function<void(const QString& app)> m_exclude;
    std::optional<QUuid> m_hoveredItem;
    std::optional<ClipboardItem> m_detailItem;
    bool m_showCopiedToast = false;
    qsizetype m_lastSelectedIndex = -1;
    bool m_scrollCheckPending = false;
};

} // namespace ondrel
