#pragma once

// The clipboard history wired to in-memory services, for the history tests.

#include "ClipboardHistory.h"
#include "HistoryFile.h"
#include "ManualScheduler.h"
#include "MemoryClipboard.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "RecordingPasteTyper.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <memory>

namespace ondrel {
namespace test {

// A text entry copied `seconds` after the reference date.
inline ClipboardItem textItem(const QString& text, double seconds, std::optional<QString> app = std::nullopt,
                              bool pinned = false)
{
    return ClipboardItem::makeText(text, std::move(app), std::nullopt,
                                   Timestamp::fromSecondsSinceReferenceDate(seconds), pinned);
}

// An entry whose content is gone (a history of a later version, say).
inline ClipboardItem itemWithoutContent(ClipboardItemType type, Timestamp at = Timestamp::now(),
                                        std::optional<QString> app = std::nullopt)
{
    return ClipboardItem(QUuid::createUuid(), type, std::nullopt, std::nullopt, std::nullopt, at,
                         std::move(app), std::nullopt, false, DetectedLanguage::plain);
}

// The history with in-memory services and a history file in a temporary folder.
struct Fixture
{
    QTemporaryDir dir;
    platform::MemorySettings settings;
    platform::ManualScheduler scheduler;
    platform::MemoryClipboard clipboard;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    HistoryFile file{dir.path() + QStringLiteral("/ondrel")};
    std::unique_ptr<ClipboardHistory> history;

    Fixture() { reopen(); }
    void reopen()
    {
        history.reset();
        history = std::make_unique<ClipboardHistory>(
            ClipboardHistory::Services{settings, scheduler, clipboard, pasteTyper, focus, &file});
        history->store.waitForLoad();
    }
    HistoryStore& store() const { return history->store; }
    PopoverState& state() const { return history->state; }
    ClipboardWatcher& watcher() const { return history->watcher; }
    EntryPaster& paster() const { return history->paster; }
    // Captures a text the way the watcher does, and lets the insertion run.
    ClipboardItem add(const QString& text, double secondsAgo = 0, bool pinned = false)
    {
        ClipboardItem item = textItem(text, Timestamp::now().secondsSinceReferenceDate() - secondsAgo);
        store().addItem(item);
        scheduler.runPending();
        if (pinned)
            store().togglePin(item.id());
        return item;
    }
    QStringList labels(const QList<ClipboardItem>& items) const
    {
        QStringList out;
        for (const auto& i : items)
            out << i.contentLabel();
        return out;
    }
    QByteArray saved() const
    {
        history->store.waitForSaves();
        return test::readFile(file.filePath());
    }
};

} // namespace test

} // namespace ondrel
