#pragma once

// The clipboard history wired to in-memory services, for the history tests.

#include "ClipboardHistory.h"
#include "ExcludedApplications.h"
#include "HistoryFile.h"
#include "ManualScheduler.h"
#include "MemoryClipboard.h"
#include "MemoryFocusTracker.h"
#include "MemoryPrimarySelection.h"
#include "MemorySettings.h"
#include "RecordingPasteTyper.h"
#include "SettingsKeys.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

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
    return ClipboardItem(QUuid::createUuid(), type, std::nullopt, std::nullopt, {}, at, std::move(app),
                         std::nullopt, false, DetectedLanguage::plain);
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
    platform::MemoryPrimarySelection selection;
    HistoryFile file{dir.path() + QStringLiteral("/ondrel")};
    std::unique_ptr<ClipboardHistory> history;

    Fixture() { reopen(); }
    void reopen()
    {
        history.reset();
        history = std::make_unique<ClipboardHistory>(
            ClipboardHistory::Services{settings, scheduler, clipboard, pasteTyper, focus, &file, &selection});
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

inline QByteArray png(QColor color)
{
    return test::encodedImage(test::filledImage(QSize(2, 2), color));
}

// Starts polling, then lets one poll run after each change.
struct Watched : Fixture
{
    Watched()
    {
        focus.setActiveApplication(
            platform::ApplicationInfo{QStringLiteral("Editor"), QImage(1, 1, QImage::Format_RGB32)});
        watcher().startMonitoring();
        history->selections->startMonitoring();
    }
    void poll()
    {
        scheduler.advance(ClipboardWatcher::kPollIntervalSeconds);
        scheduler.runPending();
        if (!settle)
            return;
        // An image's thumbnail is made on a worker before its entry is added.
        QVERIFY(QTest::qWaitFor([this] { return watcher().pendingCaptureCount() == 0; }, 5000));
        scheduler.runPending();
    }
    // Whether poll() waits for the entries made on the watcher's workers.
    bool settle = true;
    void copy(const QString& text)
    {
        clipboard.clearContents();
        clipboard.setString(text);
        poll();
    }
    // One poll after each step (steps split at ","): a text copied, "a|b"
    // two copies before the same poll, "~a" copied without a poll,
    // "(image)" or "(files)" copied, "(pin)" pins the newest entry,
    // "(paste N)" copies row N of the popover out; "(pause [S])",
    // "(resume)", "(wait S)", "(exclude ID)", "(limit BYTES)" and
    // "(from NAME ID...)" (the focused application; "_" for spaces) change
    // what is recorded and poll not. Returns what is recorded: newest first,
    // "*" before a pinned entry.
    QString run(const QString& steps)
    {
        for (const QString& step : steps.split(u',')) {
            const QStringList words = step.mid(1, step.size() - 2).split(u' ');
            if (step == u"(pin)") {
                store().togglePin(store().items().first().id());
                continue;
            }
            if (step.startsWith(u"(pause")) {
                watcher().pause(words.size() > 1 ? std::optional(std::chrono::seconds(words[1].toInt()))
                                                 : std::nullopt);
                continue;
            }
            if (step == u"(resume)") {
                watcher().resume();
                continue;
            }
            if (step.startsWith(u"(wait ")) {
                scheduler.advance(words[1].toDouble());
                continue;
            }
            if (step.startsWith(u"(exclude ")) {
                exclusions::add(settings, QString(words[1]).replace(u'_', u' '));
                continue;
            }
            if (step.startsWith(u"(limit ")) {
                settings.setInteger(keys::maxEntryBytes, words[1].toLongLong());
                continue;
            }
            if (step.startsWith(u"(from")) {
                std::optional<platform::ApplicationInfo> app;
                if (words.size() > 1)
                    app = platform::ApplicationInfo{QString(words[1]).replace(u'_', u' '), std::nullopt,
                                                    words.mid(2)};
                focus.setActiveApplication(app);
                continue;
            }
            if (step.startsWith(u"(paste "))
                paster().copyAndPaste(state().filteredItems().at(step.mid(7, 1).toInt()));
            else
                clipboard.clearContents();
            if (step == u"(image)")
                clipboard.setData(QStringLiteral("image/png"), png(Qt::red));
            else if (step == u"(files)")
                clipboard.setUrls(
                    {QUrl(QStringLiteral("file:///tmp/a.txt")), QUrl(QStringLiteral("file:///tmp/b.txt"))});
            else if (step.startsWith(u'~'))
                clipboard.setString(step.mid(1));
            else if (!step.startsWith(u'('))
                for (const QString& text : step.split(u'|'))
                    clipboard.setString(text);
            if (!step.startsWith(u'~'))
                poll();
        }
        QStringList labels;
        for (const ClipboardItem& item : store().items())
            labels << (item.isPinned() ? QStringLiteral("*") : QString()) +
                          item.text().value_or(item.contentLabel());
        return labels.join(u',');
    }
};

} // namespace test

} // namespace ondrel
