#pragma once

#include "HistoryCommands.h"

#include <QObject>

#include <functional>

namespace ondrel {

class ClipboardWatcher;
class EntryPaster;
class HistoryStore;
class PopoverController;
namespace platform {
class FocusTracker;
}

// The running instance's history as scripts and other programs reach it:
// the command line through the socket and the D-Bus service both act here,
// so both see the entries in the popover's order and change them the way
// the popover does.
class HistoryService final : public QObject, public commands::Target
{
    Q_OBJECT
public:
    struct Parts
    {
        HistoryStore& store;
        EntryPaster& paster;
        ClipboardWatcher& watcher;
        PopoverController& popover;
        platform::FocusTracker& focus;
        // The parts of `status` the history does not know.
        std::function<commands::Status()> status;
    };

    explicit HistoryService(Parts parts, QObject* parent = nullptr);

    QList<ClipboardItem> entries() const override;
    commands::Status status() const override;
    bool canChange() const override { return true; }
    bool select(const ClipboardItem& item, Written written = {}) override;
    bool paste(const ClipboardItem& item, Written written = {}) override;
    void readData(const ClipboardItem& item, std::function<void(std::optional<QByteArray>)> done) override;
    bool canPaste() const override;
    void remove(const QUuid& id) override;
    void setPinned(const QUuid& id, bool pinned) override;
    bool add(const QString& text) override { return addText(text).copied; }
    void clear(bool withPinned) override;
    void pause(std::optional<std::chrono::seconds> duration) override;
    void resume() override;
    qsizetype entryLimit() const override;

    // What add() did: the entry that holds the text (a new one, or the
    // newest when it held the same text) and whether it reached the clipboard.
    struct Added
    {
        QUuid id;
        bool copied = false;
    };
    Added addText(const QString& text);

    void toggle();
    bool isPaused() const;
    qsizetype count() const;
    // The entries held now, without waiting for the history file: while it
    // loads, only the copies made meanwhile.
    qsizetype countNow() const;
    // The entry with this number in the popover's order (1-based) or this
    // id; nothing when there is none.
    std::optional<ClipboardItem> find(const QString& ref) const;

    // Runs a command line from the command-line client; `reply` may be
    // called later (see commands::run).
    void run(const QStringList& args, const QByteArray& input, commands::Reply reply);

Q_SIGNALS:
    // Entries came, went, moved or were pinned.
    void historyChanged();
    void pausedChanged();

private:
    Parts m_parts;
};

} // namespace ondrel
