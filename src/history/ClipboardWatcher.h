#pragma once

#include "Clipboard.h"
#include "ClipboardItem.h"
#include "Worker.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>

class QEventLoop;

namespace ondrel {

namespace platform {
class Scheduler;
class RepeatingTimer;
class FocusTracker;
class Settings;
struct ApplicationInfo;
} // namespace platform

class HistoryStore;

// Watches the system clipboard and records what is copied into the store:
// which content counts, which is skipped (duplicates, secrets, copies made
// while recording is paused, from an excluded application or larger than
// the limit), the application it came from, and the order captures arrive in.
class ClipboardWatcher final : public QObject
{
    Q_OBJECT
public:
    static constexpr double kPollIntervalSeconds = 0.5;
    // Password managers mark what they copy with this type holding "secret".
    static inline const QString kSecretHintType = QString::fromLatin1(platform::kSecretHintType);

    struct Services
    {
        platform::Scheduler& scheduler;
        platform::Clipboard& clipboard;
        platform::FocusTracker& focus;
        platform::Settings& settings;
    };

    ClipboardWatcher(Services services, HistoryStore& store, QObject* parent = nullptr);
    ~ClipboardWatcher() override;

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
    // The contents may arrive later; one read is under way at a time, and a
    // change seen meanwhile is read when it is done.
    void checkClipboard();
    // A read of the clipboard has not answered yet.
    bool isReading() const { return m_reading; }
    // Texts at least this long (in UTF-16 units), or compared with an entry
    // that long, are compared and have their language guessed on a worker
    // thread, so the popover keeps answering; entries still arrive in the
    // order they were copied.
    void setBackgroundDetectionThreshold(qsizetype units) { m_backgroundThreshold = units; }
    // At quit: lets a read under way and the entries still being made end,
    // for `budgetMs` at most, so that a copy made just before is kept.
    void finishPending(int budgetMs);
    // Captures whose language is still being guessed.
    qsizetype pendingCaptureCount() const { return qsizetype(m_captures.size()); }

    // Recording stops until resume() or, with a duration, until it ends:
    // copies are seen but not recorded nor kept, and are not picked up at
    // resume. Not kept across runs. A duration of zero or less resumes.
    void pause(std::optional<std::chrono::seconds> duration = std::nullopt);
    void resume();
    // The most a copy may hold to be recorded: the setting's limit, within
    // the one every read keeps to.
    qsizetype entryLimit() const;
    bool isPaused() const { return m_paused; }
    // When a timed pause ends; nothing while not paused or paused without end.
    std::optional<Timestamp> pausedUntil() const { return m_paused ? m_pausedUntil : std::nullopt; }
    // Whether the copy now on the clipboard may be kept when its program
    // quits: not when the history leaves it out (paused, excluded).
    bool mayKeepCurrent() const;
    // Copies from `app` are left out now (paused, or an excluded application).
    bool leavesOut(const std::optional<platform::ApplicationInfo>& app) const;
    // Records a text the user selected with the mouse as a copied one is
    // (after the copies still being made, and not when it equals the entry
    // before it), marked as a selection.
    void recordSelection(const QString& text, const std::optional<platform::ApplicationInfo>& app,
                         Timestamp when);
    // Says that a selection from `app` was larger than the limit.
    void sayTooLarge(const std::optional<platform::ApplicationInfo>& app) const;

Q_SIGNALS:
    void pausedChanged();
    // A copy was seen and left out: paused, excluded or too large.
    void copyLeftOut();

private:
    struct Capture
    {
        ClipboardItem item;
        bool ready = false;
        bool duplicate = false; // found equal to the entry before it: not recorded
        QString text;           // a long text while its entry is being made
    };
    // What a new text is compared with: the front-most entry, or the text of
    // a capture still being made. Decoded only where it is compared.
    struct Front
    {
        std::optional<ClipboardItem> entry;
        std::optional<QString> pending;
        bool exists() const { return entry || pending; }
        qsizetype length() const { return entry ? entry->textLength() : pending ? pending->size() : 0; }
        QString text() const
        {
            return entry ? entry->text().value_or(QString()) : pending.value_or(QString());
        }
    };
    void record(const platform::ClipboardContents& contents, const std::optional<QString>& appName,
                const std::optional<QImage>& appIcon, Timestamp when);
    void recordText(const QString& text, const QList<platform::ClipboardFormat>& formats,
                    const std::optional<QString>& appName, const std::optional<QImage>& appIcon,
                    Timestamp when, bool fromSelection);
    void sayTooLarge(const platform::ClipboardContents& contents, const std::optional<QString>& appName,
                     qsizetype limit) const;
    void checkPauseEnd(quint64 generation);
    void capture(ClipboardItem item);
    // A long text: compared, guessed and made into an entry on a worker thread.
    void capture(ClipboardItem shell, QString text, Front front);
    void flushCaptures();
    bool idle() const { return !m_reading && m_captures.empty(); }
    // The newest capture not yet in the history, else the front-most
    // unpinned entry, if it is a text.
    Front front() const;
    // The newest capture not yet in the history, else the front-most unpinned entry.
    std::optional<ClipboardItem> newest() const;
    // Whether `item` is the image of `newest`; reads a saved one from disk.
    static bool sameImage(const ClipboardItem& newest, const ClipboardItem& item);
    // An image: its thumbnail made, and compared with `before` when given,
    // on a worker thread.
    void captureImage(ClipboardItem item, std::optional<ClipboardItem> before);

    Services m_services;
    HistoryStore& m_store;
    std::unique_ptr<platform::RepeatingTimer> m_timer;
    bool m_monitoring = false;
    bool m_checkQueued = false;
    bool m_reading = false;
    qint64 m_lastChangeCount = 0;
    bool m_leftOut = false; // the change seen last was not read: paused or excluded
    bool m_paused = false;
    std::optional<Timestamp> m_pausedUntil;
    quint64 m_pauseGeneration = 0; // tells a timed pause's check from a later pause's
    // A change from before resume() still to be passed over once a read under way ends.
    std::optional<qint64> m_passOver;
    quint64 m_lastOwner = 0;  // who offered the contents read last
    bool m_ownerLeft = false; // the clipboard has been empty since m_lastOwner offered
    quint64 m_keeper = 0;     // who took the contents over when their owner quit
    qsizetype m_backgroundThreshold = 256 * 1024;
    std::deque<std::shared_ptr<Capture>> m_captures; // in copy order
    QEventLoop* m_finishing = nullptr;               // while finishPending() waits
    // Long texts are compared and made into entries here; the language
    // worker outlives the capture one, whose tasks hand work to it.
    platform::Worker m_languageWorker{"ondrel-language"};
    platform::Worker m_captureWorker{"ondrel-capture"};
};

} // namespace ondrel
