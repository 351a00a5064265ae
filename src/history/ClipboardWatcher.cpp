#include "ClipboardWatcher.h"

#include "Clipboard.h"
#include "FocusTracker.h"
#include "HistoryStore.h"
#include "LanguageDetector.h"
#include "Scheduler.h"
#include "Text.h"

#include <QEventLoop>
#include <QTimer>

#include <future>

namespace ondrel {

ClipboardWatcher::ClipboardWatcher(Services services, HistoryStore& store, QObject* parent)
    : QObject(parent), m_services(services), m_store(store)
{}

ClipboardWatcher::~ClipboardWatcher() = default;

void ClipboardWatcher::startMonitoring()
{
    m_lastChangeCount = m_services.clipboard.changeCount();
    m_monitoring = true;
    // A clipboard that announces its changes is checked then, after the
    // current task, and the program sleeps in between; any other is polled.
    const bool announced = m_services.clipboard.observeChanges([this] {
        if (!m_monitoring || m_checkQueued)
            return;
        m_checkQueued = true;
        m_services.scheduler.post(this, [this] {
            m_checkQueued = false;
            if (m_monitoring)
                checkClipboard();
        });
    });
    if (announced)
        return;
    // The timer calls back through `this` as its context: it stops when the watcher goes.
    m_timer =
        m_services.scheduler.scheduleRepeating(kPollIntervalSeconds, this, [this] { checkClipboard(); });
}

void ClipboardWatcher::stopMonitoring()
{
    m_monitoring = false;
    m_services.clipboard.observeChanges({});
    if (m_timer)
        m_timer->stop();
    m_timer.reset();
}

void ClipboardWatcher::finishPending(int budgetMs)
{
    if (idle())
        return;
    QEventLoop loop;
    QTimer::singleShot(budgetMs, &loop, &QEventLoop::quit);
    m_finishing = &loop;
    // The user's input waits: nothing new is started at quit.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_finishing = nullptr;
}

void ClipboardWatcher::checkClipboard()
{
    platform::Clipboard& clipboard = m_services.clipboard;
    if (m_reading || clipboard.changeCount() == m_lastChangeCount)
        return;
    m_lastChangeCount = clipboard.changeCount();

    // The source and time are those of the copy, not of the moment a slow
    // owner answers.
    const std::optional<platform::ApplicationInfo> app = m_services.focus.activeApplication();
    std::optional<QString> appName = app ? app->name : std::nullopt;
    std::optional<QImage> appIcon = app ? app->icon : std::nullopt;
    const Timestamp now = Timestamp::fromSecondsSinceEpoch(m_services.scheduler.secondsSinceEpoch());

    m_reading = true;
    clipboard.readContents(this, [this, appName, appIcon, now](platform::ClipboardContents contents) {
        m_reading = false;
        record(contents, appName, appIcon, now);
        // A change that came while reading.
        if (m_monitoring)
            checkClipboard();
        if (m_finishing && idle())
            m_finishing->quit();
    });
}

void ClipboardWatcher::record(const platform::ClipboardContents& contents,
                              const std::optional<QString>& appName, const std::optional<QImage>& appIcon,
                              Timestamp now)
{
    // Read while the clipboard changed again: the newer copy is read next,
    // and an owner that quit before this read still counts for it.
    if (contents.superseded) {
        m_ownerLeft = m_ownerLeft || (contents.ownerLeft && m_lastOwner != 0);
        return;
    }
    // The same image or files offered by another program once the clipboard
    // was left empty (its owner quit), or by the session's clipboard manager
    // (handed them as it quit): a clipboard manager keeping them, a
    // hand-over, not a copy; nor is reading them from it again. Offered
    // while their owner is still there, they are the user copying them
    // again. Our own writes (copy-out) are not hand-overs, and the empty
    // moment leaves the last owner in place. The new owner may carry the
    // quitting one's id (X11 hands a closed client's ids to the next one):
    // that it left is what tells.
    if (!contents.types.isEmpty()) {
        if ((m_ownerLeft || contents.ownerLeft) && contents.owner != 0 && m_lastOwner != 0)
            m_keeper = contents.owner;
        else if (contents.owner != m_keeper)
            m_keeper = 0;
    }
    const bool handedOver = contents.owner != 0 && contents.owner == m_keeper;
    if (contents.owner != 0)
        m_lastOwner = contents.owner;
    m_ownerLeft = contents.types.isEmpty() && m_lastOwner != 0;
    // Passwords stay out of the history.
    if (contents.secret)
        return;
    if (const std::optional<QString>& text = contents.text; text && !text->isEmpty()) {
        // The same text as the front-most unpinned entry is not recorded again.
        Front previous = front();
        if (text->size() >= m_backgroundThreshold || previous.length() >= m_backgroundThreshold) {
            capture(ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, std::nullopt, std::nullopt,
                                  std::nullopt, now, appName, appIcon, false, DetectedLanguage::plain),
                    *text, std::move(previous));
            return;
        }
        if (previous.exists() && text::canonicallyEqual(previous.text(), *text))
            return;
        capture(ClipboardItem::makeText(*text, appName, appIcon, now));
        return;
    }
    std::optional<ClipboardItem> item;
    if (const std::optional<QImage>& image = contents.image; image && !image->isNull())
        item = ClipboardItem::makeImage(*image, appName, appIcon, now, contents.imageData);
    else if (const auto& urls = contents.fileURLs; urls && !urls->isEmpty())
        item = ClipboardItem::makeFile(urls->first(), appName, appIcon, now);
    if (item && !(handedOver && isNewest(*item)))
        capture(std::move(*item));
}

bool ClipboardWatcher::isNewest(const ClipboardItem& item) const
{
    std::optional<ClipboardItem> newest;
    if (!m_captures.empty())
        newest = m_captures.back()->item;
    else
        newest = m_store.frontUnpinnedItem();
    if (!newest || newest->type() != item.type())
        return false;
    if (item.type() == ClipboardItemType::image)
        return newest->image() == item.image();
    return newest->fileURL() == item.fileURL();
}

ClipboardWatcher::Front ClipboardWatcher::front() const
{
    Front front;
    if (!m_captures.empty()) {
        const Capture& newest = *m_captures.back();
        if (!newest.ready)
            front.pending = newest.text;
        else if (newest.item.type() == ClipboardItemType::text)
            front.entry = newest.item;
        return front;
    }
    front.entry = m_store.frontUnpinnedItem();
    if (front.entry && front.entry->type() != ClipboardItemType::text)
        front.entry.reset();
    return front;
}

void ClipboardWatcher::capture(ClipboardItem item)
{
    if (m_captures.empty()) {
        m_store.addItem(item);
        return;
    }
    m_captures.push_back(std::make_shared<Capture>(Capture{std::move(item), true, false, {}}));
    flushCaptures();
}

void ClipboardWatcher::capture(ClipboardItem shell, QString text, Front front)
{
    auto pending = std::make_shared<Capture>(Capture{shell, false, false, text});
    m_captures.push_back(pending);
    struct Made
    {
        bool duplicate = false;
        std::optional<ClipboardItem> item;
    };
    m_captureWorker.run(
        this,
        [this, shell = std::move(shell), text = std::move(text), front = std::move(front)]() mutable {
            Made made;
            if (m_captureWorker.stopping())
                return made; // quitting: nobody takes the entry any more
            // Comparing (normalising) a text of many megabytes takes long, and
            // so do guessing its language and making its compact form.
            made.duplicate = front.exists() && text::mayBeCanonicallyEqual(front.length(), text.size()) &&
                             text::canonicallyEqual(front.text(), text);
            front = {};
            if (made.duplicate)
                return made;
            // The language is guessed on a second worker while this one makes
            // the compact form: each takes tens of milliseconds for ten megabytes.
            std::promise<DetectedLanguage> language;
            m_languageWorker.post([&language, &text] { language.set_value(detectLanguage(text)); });
            made.item.emplace(shell.id(), ClipboardItemType::text, text, std::nullopt, std::nullopt,
                              shell.timestamp(), shell.appName(), shell.appIcon(), false,
                              DetectedLanguage::plain);
            made.item = made.item->withDetectedLanguage(language.get_future().get());
            return made;
        },
        [this, pending](Made made) {
            pending->duplicate = made.duplicate;
            if (made.item)
                pending->item = std::move(*made.item);
            pending->text.clear();
            pending->ready = true;
            flushCaptures();
        });
}

void ClipboardWatcher::flushCaptures()
{
    while (!m_captures.empty() && m_captures.front()->ready) {
        if (!m_captures.front()->duplicate)
            m_store.addItem(m_captures.front()->item);
        m_captures.pop_front();
    }
    if (m_finishing && idle())
        m_finishing->quit();
}

} // namespace ondrel
