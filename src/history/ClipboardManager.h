#pragma once

#include "ClipboardItem.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

namespace ondrel {

namespace platform {
class PasteTyper;
class Scheduler;
class Clipboard;
class Settings;
class FocusTracker;
} // namespace platform

class ClipboardWatcher;
class HistoryFile;
class HistoryStore;
class PopoverState;

// The clipboard history as the views and the application see it: one object
// that joins the store of entries, the clipboard watcher that fills it, the
// popover's navigation state, and the copy-out of an entry back to the
// clipboard with its paste keystroke.
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
    static constexpr double kPasteDelaySeconds = 0.1;

    struct Services
    {
        platform::Settings& settings;
        platform::Scheduler& scheduler;
        platform::Clipboard& clipboard;
        platform::PasteTyper& pasteTyper;
        platform::FocusTracker& focus;
        HistoryFile* historyFile = nullptr; // none: the history is not kept across runs
    };

    // Loads the history file.
    explicit ClipboardManager(Services services, QObject* parent = nullptr);
    ~ClipboardManager() override;

    // The store.
    const QList<ClipboardItem>& items() const;
    void setItems(const QList<ClipboardItem>& items);
    void addItem(const ClipboardItem& item);
    void addTransformedItem(const ClipboardItem& item);
    void togglePin(const QUuid& id);
    void deleteItem(const QUuid& id);
    void clearUnpinned();
    void applyHistoryLimit();
    // Returns once every change so far is in the history file (saves run on
    // a writer thread); the program calls it before it quits.
    void waitForSaves();
    // The history file is read on a worker at start; this returns once its
    // entries are in the list.
    void waitForLoad();

    // The popover's state.
    const QString& searchText() const;
    void setSearchText(const QString& text);
    qsizetype selectedIndex() const;
    void setSelectedIndex(qsizetype index);
    bool shouldScrollToSelection() const;
    void setShouldScrollToSelection(bool value);
    bool showDetailForSelected() const;
    void setShowDetailForSelected(bool value);
    bool closeDetailRequested() const;
    void setCloseDetailRequested(bool value);
    QList<ClipboardItem> filteredItems() const;
    std::optional<ClipboardItem> selectedItem() const;
    void moveSelection(qsizetype step);

    // The watcher.
    qint64 lastChangeCount() const;
    bool isMonitoring() const;
    void startMonitoring();
    void stopMonitoring();
    void checkClipboard();
    void setBackgroundDetectionThreshold(qsizetype units);
    qsizetype pendingCaptureCount() const;

    // Copy-out.
    void pasteSelected();
    // Puts the entry back on the clipboard, moves it to the front when it is
    // not pinned, and posts the paste keystroke shortly after.
    void copyAndPaste(const ClipboardItem& item);

Q_SIGNALS:
    // The paste keystroke of a copyAndPaste went out just now.
    void pasteKeystrokePosted();
    void itemsChanged();
    void searchTextChanged();
    void selectedIndexChanged();
    void shouldScrollToSelectionChanged();
    void showDetailForSelectedChanged();
    void closeDetailRequestedChanged();
    void filteredItemsChanged();

private:
    void writeToClipboard(const ClipboardItem& item);

    Services m_services;
    std::unique_ptr<HistoryStore> m_store;
    std::unique_ptr<PopoverState> m_state;
    std::unique_ptr<ClipboardWatcher> m_watcher;
};

} // namespace ondrel
