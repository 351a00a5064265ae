#pragma once

#include "ClipboardItem.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <deque>
#include <memory>
#include <optional>

namespace ondrel {

namespace platform {
class KeystrokePoster;
class MainQueue;
class Pasteboard;
class RepeatingTimer;
class UserDefaults;
class Workspace;
} // namespace platform

class HistoryFile;

// The clipboard history and the popover's navigation state. Every lasting
// change of the history is written to the history file at once.
class ClipboardManager final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<ondrel::ClipboardItem> items READ items WRITE setItems NOTIFY itemsChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(qsizetype selectedIndex READ selectedIndex WRITE setSelectedIndex NOTIFY selectedIndexChanged)
    Q_PROPERTY(bool shouldScrollToSelection READ shouldScrollToSelection WRITE setShouldScrollToSelection
                   NOTIFY shouldScrollToSelectionChanged)
    Q_PROPERTY(bool showDetailForSelected READ showDetailForSelected WRITE setShowDetailForSelected NOTIFY
                   showDetailForSelectedChanged)
    Q_PROPERTY(bool closeDetailRequested READ closeDetailRequested WRITE setCloseDetailRequested NOTIFY
                   closeDetailRequestedChanged)
    Q_PROPERTY(QList<ondrel::ClipboardItem> filteredItems READ filteredItems NOTIFY filteredItemsChanged)

public:
    static constexpr qsizetype kDefaultHistoryLimit = 50;
    static constexpr double kPasteDelaySeconds = 0.1;
    static constexpr double kPollIntervalSeconds = 0.5;
    // Password managers mark what they copy with this type holding "secret".
    static inline const QString kSecretHintType = QStringLiteral("x-kde-passwordManagerHint");

    struct Services
    {
        platform::UserDefaults& defaults;
        platform::MainQueue& mainQueue;
        platform::Pasteboard& pasteboard;
        platform::KeystrokePoster& keystrokes;
        platform::Workspace& workspace;
        HistoryFile* historyFile = nullptr; // none: the history is not kept across runs
    };

    // Loads the history file.
    explicit ClipboardManager(Services services, QObject* parent = nullptr);
    ~ClipboardManager() override;

    const QList<ClipboardItem>& items() const { return m_items; }
    void setItems(const QList<ClipboardItem>& items);
    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    qsizetype selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(qsizetype index);
    bool shouldScrollToSelection() const { return m_shouldScrollToSelection; }
    void setShouldScrollToSelection(bool value);
    bool showDetailForSelected() const { return m_showDetailForSelected; }
    void setShowDetailForSelected(bool value);
    bool closeDetailRequested() const { return m_closeDetailRequested; }
    void setCloseDetailRequested(bool value);

    // The last clipboard change count the watcher has seen.
    qint64 lastChangeCount() const { return m_lastChangeCount; }
    bool isMonitoring() const { return m_monitoring; }

    // Takes the clipboard's current state as seen (what is there now is not
    // captured) and checks it at every change from then on: when the
    // clipboard announces changes, right after each; else every half second.
    void startMonitoring();
    void stopMonitoring();
    // One poll: when the clipboard changed, captures its text, else its
    // image, else its first URL, with the focused application as source.
    void checkClipboard();
    // Texts at least this long (in UTF-16 units) have their language guessed
    // on a worker thread, so the popover keeps answering; entries still
    // arrive in the order they were copied.
    void setBackgroundDetectionThreshold(qsizetype units) { m_backgroundThreshold = units; }
    // Captures whose language is still being guessed.
    qsizetype pendingCaptureCount() const { return qsizetype(m_captures.size()); }

    // The entries the popover shows: those matching the search text, pinned
    // first, then newest first.
    QList<ClipboardItem> filteredItems() const;
    // The entry of filteredItems() at selectedIndex, if there is one.
    std::optional<ClipboardItem> selectedItem() const;

    // Inserts a captured entry at the front after the current task, applies
    // the cap, saves.
    void addItem(const ClipboardItem& item);
    // Inserts an edited or transformed text at the front after the current task, saves.
    void addTransformedItem(const ClipboardItem& item);
    void togglePin(const QUuid& id);
    void deleteItem(const QUuid& id);
    // Keeps the pinned entries only.
    void clearUnpinned();
    // Moves the keyboard selection by `step` rows, wrapping around.
    void moveSelection(qsizetype step);
    void pasteSelected();
    // Puts the entry back on the clipboard, moves it to the front when it is
    // not pinned, and posts the paste keystroke shortly after.
    void copyAndPaste(const ClipboardItem& item);
    // Drops the unpinned entries furthest from the front beyond the
    // "maxHistoryItems" cap (50 when unset); pinned entries always stay.
    void applyHistoryLimit();

Q_SIGNALS:
    void itemsChanged();
    void searchTextChanged();
    void selectedIndexChanged();
    void shouldScrollToSelectionChanged();
    void showDetailForSelectedChanged();
    void closeDetailRequestedChanged();
    void filteredItemsChanged();

private:
    struct Capture
    {
        ClipboardItem item;
        bool ready = false;
    };
    void capture(ClipboardItem item, bool detectInBackground);
    void flushCaptures();
    // The text the next capture is compared with: the newest capture not yet
    // in the history, else the front-most unpinned entry.
    std::optional<QString> frontUnpinnedText() const;
    void saveHistory();
    qsizetype historyLimit() const;

    Services m_services;
    QList<ClipboardItem> m_items;
    QString m_searchText;
    qsizetype m_selectedIndex = 0;
    bool m_shouldScrollToSelection = false;
    bool m_showDetailForSelected = false;
    bool m_closeDetailRequested = false;
    std::unique_ptr<platform::RepeatingTimer> m_timer;
    bool m_monitoring = false;
    bool m_checkQueued = false;
    qint64 m_lastChangeCount = 0;
    mutable std::optional<QList<ClipboardItem>> m_filtered; // cache of filteredItems()
    qsizetype m_backgroundThreshold = 256 * 1024;
    std::deque<std::shared_ptr<Capture>> m_captures; // in copy order
};

} // namespace ondrel
