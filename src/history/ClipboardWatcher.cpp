#include "ClipboardWatcher.h"

#include "Clipboard.h"
#include "ClipboardData.h"
#include "ExcludedApplications.h"
#include "FocusTracker.h"
#include "HistoryStore.h"
#include "LanguageDetector.h"
#include "Scheduler.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Text.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <future>

namespace ondrel {

namespace {

Q_LOGGING_CATEGORY(lcWatcher, "ondrel.history")

QString byteSize(qsizetype bytes)
{
    if (bytes % (qsizetype(1) << 20) == 0)
        return QStringLiteral("%1 MiB").arg(bytes >> 20);
    if (bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes >> 10);
    return QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace

ClipboardWatcher::ClipboardWatcher(Services services, HistoryStore& store, QObject* parent)
    : QObject(parent), m_services(services), m_store(store)
{
    m_services.clipboard.setMayKeep([this] { return mayKeepCurrent(); });
}

ClipboardWatcher::~ClipboardWatcher()
{
    m_services.clipboard.setMayKeep({});
}

bool ClipboardWatcher::leavesOut(const std::optional<platform::ApplicationInfo>& app) const
{
    if (m_paused)
        return true;
    return app && exclusions::matches(exclusions::list(m_services.settings), *app);
}

bool ClipboardWatcher::mayKeepCurrent() const
{
    // A change not looked at yet is judged as it would be now.
    if (m_services.clipboard.changeCount() != m_lastChangeCount)
        return !leavesOut(m_services.focus.activeApplication());
    return !m_leftOut;
}

qsizetype ClipboardWatcher::entryLimit() const
{
    const qint64 limit = m_services.settings.integer(keys::maxEntryBytes);
    return limit <= 0 ? platform::kMaxEntryBytes
                      : qsizetype(std::min<qint64>(limit, platform::kMaxEntryBytes));
}

void ClipboardWatcher::sayTooLarge(const platform::ClipboardContents& contents,
                                   const std::optional<QString>& appName, qsizetype limit) const
{
    // The limit every read keeps to says so in its own words, alike on every desktop.
    if (limit >= platform::kMaxEntryBytes) {
        platform::sayTooLarge(contents.tooLargeType);
        return;
    }
    qCWarning(lcWatcher).noquote()
        << QStringLiteral("ondrel: not recording a copy%1: larger than the %2 limit (setting %3)")
               .arg(appName ? QStringLiteral(" from ") + *appName : QString(), byteSize(limit),
                    keys::maxEntryBytes);
}

void ClipboardWatcher::sayTooLarge(const std::optional<platform::ApplicationInfo>& app) const
{
    qCWarning(lcWatcher).noquote()
        << QStringLiteral("ondrel: not recording a selection%1: larger than the %2 limit (setting %3)")
               .arg(app && app->name ? QStringLiteral(" from ") + *app->name : QString(),
                    byteSize(entryLimit()), keys::maxEntryBytes);
}

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
    // Left out: not even read, so no part of it passes through this program.
    m_leftOut = leavesOut(app);
    if (m_leftOut) {
        Q_EMIT copyLeftOut();
        return;
    }
    std::optional<QString> appName = app ? app->name : std::nullopt;
    std::optional<QImage> appIcon = app ? app->icon : std::nullopt;
    const Timestamp now = Timestamp::fromSecondsSinceEpoch(m_services.scheduler.secondsSinceEpoch());

    m_reading = true;
    const qsizetype limit = entryLimit();
    clipboard.setReadLimit(limit);
    clipboard.readContents(this, [this, appName, appIcon, now, limit](platform::ClipboardContents contents) {
        m_reading = false;
        if (!contents.tooLargeType.isEmpty()) {
            sayTooLarge(contents, appName, limit);
            Q_EMIT copyLeftOut();
        } else {
            record(contents, appName, appIcon, now);
        }
        if (m_passOver && *m_passOver == m_services.clipboard.changeCount())
            m_lastChangeCount = *m_passOver;
        m_passOver.reset();
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
        recordText(*text, contents.formats, appName, appIcon, now, false);
        return;
    }
    std::optional<ClipboardItem> item;
    if (const std::optional<QImage>& image = contents.image; image && !image->isNull())
        item = ClipboardItem::makeImage(*image, appName, appIcon, now, contents.imageData);
    else if (const auto& urls = contents.fileURLs; urls && !urls->isEmpty())
        item = ClipboardItem::makeFile(*urls, appName, appIcon, now);
    if (!item)
        return;
    // Handed over, the image or files of the newest entry are not a new copy.
    std::optional<ClipboardItem> before = handedOver ? newest() : std::nullopt;
    if (before && before->type() != item->type())
        before.reset();
    if (item->type() == ClipboardItemType::image)
        captureImage(std::move(*item), std::move(before));
    else if (!before || before->fileURLs() != item->fileURLs())
        capture(std::move(*item));
}

void ClipboardWatcher::recordSelection(const QString& text,
                                       const std::optional<platform::ApplicationInfo>& app, Timestamp when)
{
    if (!text.isEmpty())
        recordText(text, {}, app ? app->name : std::nullopt, app ? app->icon : std::nullopt, when, true);
}

void ClipboardWatcher::recordText(const QString& text, const QList<platform::ClipboardFormat>& formats,
                                  const std::optional<QString>& appName, const std::optional<QImage>& appIcon,
                                  Timestamp when, bool fromSelection)
{
    // The same text as the front-most unpinned entry is not recorded again.
    Front previous = front();
    if (text.size() >= m_backgroundThreshold || previous.length() >= m_backgroundThreshold) {
        const ClipboardItem shell =
            ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, std::nullopt, std::nullopt, {}, when,
                          appName, appIcon, false, DetectedLanguage::plain)
                .withFormats(formats);
        capture(fromSelection ? shell.markedFromSelection() : shell, text, std::move(previous));
        return;
    }
    if (previous.exists() && text::canonicallyEqual(previous.text(), text))
        return;
    const ClipboardItem item = ClipboardItem::makeText(text, appName, appIcon, when).withFormats(formats);
    capture(fromSelection ? item.markedFromSelection() : item);
}

std::optional<ClipboardItem> ClipboardWatcher::newest() const
{
    if (!m_captures.empty())
        return m_captures.back()->item;
    return m_store.frontUnpinnedItem();
}

bool ClipboardWatcher::sameImage(const ClipboardItem& newest, const ClipboardItem& item)
{
    if (!newest.storedImage())
        return newest.image() == item.image();
    // A saved entry keeps only its thumbnail: its bytes on disk tell.
    if (newest.imageSize() != item.imageSize())
        return false;
    const std::optional<platform::EncodedImage> stored = newest.imageBytes();
    if (!stored)
        return false;
    if (item.encodedImage() && item.encodedImage()->type == stored->type)
        return item.encodedImage()->bytes == stored->bytes;
    return QImage::fromData(stored->bytes) == item.image();
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

void ClipboardWatcher::captureImage(ClipboardItem item, std::optional<ClipboardItem> before)
{
    // A screenshot takes tens of milliseconds to scale down to its row's
    // thumbnail, and comparing it with a saved one reads that from disk: on
    // the worker, in turn with the captures before it.
    auto pending = std::make_shared<Capture>(Capture{item, false, false, {}});
    m_captures.push_back(pending);
    struct Made
    {
        bool duplicate = false;
        ClipboardItem item;
    };
    m_captureWorker.run(
        this,
        [this, item = std::move(item), before = std::move(before)] {
            if (m_captureWorker.stopping())
                return Made{false, item};
            if (before && sameImage(*before, item))
                return Made{true, item};
            return Made{false, item.withThumbnail()};
        },
        [this, pending](Made made) {
            pending->duplicate = made.duplicate;
            pending->item = std::move(made.item);
            pending->ready = true;
            flushCaptures();
        });
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
            made.item.emplace(shell.id(), ClipboardItemType::text, text, std::nullopt, QList<QUrl>(),
                              shell.timestamp(), shell.appName(), shell.appIcon(), false,
                              DetectedLanguage::plain);
            made.item =
                made.item->withDetectedLanguage(language.get_future().get()).withFormats(shell.formats());
            if (shell.fromSelection())
                made.item = made.item->markedFromSelection();
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
