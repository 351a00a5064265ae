#include "ClipboardWatcher.h"

#include "HistoryStore.h"
#include "LanguageDetector.h"
#include "MainQueue.h"
#include "Pasteboard.h"
#include "Text.h"
#include "Workspace.h"

#include <QPointer>
#include <QThreadPool>

namespace ondrel {

ClipboardWatcher::ClipboardWatcher(Services services, HistoryStore& store, QObject* parent)
    : QObject(parent), m_services(services), m_store(store)
{}

ClipboardWatcher::~ClipboardWatcher() = default;

void ClipboardWatcher::startMonitoring()
{
    m_lastChangeCount = m_services.pasteboard.changeCount();
    m_monitoring = true;
    // A clipboard that announces its changes is checked then, after the
    // current task, and the program sleeps in between; any other is polled.
    const bool announced = m_services.pasteboard.observeChanges([this] {
        if (!m_monitoring || m_checkQueued)
            return;
        m_checkQueued = true;
        m_services.mainQueue.async(this, [this] {
            m_checkQueued = false;
            if (m_monitoring)
                checkClipboard();
        });
    });
    if (announced)
        return;
    // The timer calls back through `this` as its context: it stops when the watcher goes.
    m_timer =
        m_services.mainQueue.scheduleRepeating(kPollIntervalSeconds, this, [this] { checkClipboard(); });
}

void ClipboardWatcher::stopMonitoring()
{
    m_monitoring = false;
    m_services.pasteboard.observeChanges({});
    if (m_timer)
        m_timer->invalidate();
    m_timer.reset();
}

void ClipboardWatcher::checkClipboard()
{
    platform::Pasteboard& pasteboard = m_services.pasteboard;
    if (m_reading || pasteboard.changeCount() == m_lastChangeCount)
        return;
    m_lastChangeCount = pasteboard.changeCount();

    // The source and time are those of the copy, not of the moment a slow
    // owner answers.
    const std::optional<platform::ApplicationInfo> app = m_services.workspace.frontmostApplication();
    std::optional<QString> appName = app ? app->name : std::nullopt;
    std::optional<QImage> appIcon = app ? app->icon : std::nullopt;
    const Timestamp now = Timestamp::fromSecondsSinceEpoch(m_services.mainQueue.secondsSinceEpoch());

    m_reading = true;
    pasteboard.readContents(this, [this, appName, appIcon, now](platform::PasteboardContents contents) {
        m_reading = false;
        record(contents, appName, appIcon, now);
        // A change that came while reading.
        if (m_monitoring)
            checkClipboard();
    });
}

void ClipboardWatcher::record(const platform::PasteboardContents& contents,
                              const std::optional<QString>& appName, const std::optional<QImage>& appIcon,
                              Timestamp now)
{
    // Passwords stay out of the history.
    if (contents.secret)
        return;
    if (const std::optional<QString>& text = contents.text; text && !text->isEmpty()) {
        // The same text as the front-most unpinned entry is not recorded again.
        std::optional<QString> front = frontUnpinnedText();
        if (text->size() >= m_backgroundThreshold || (front && front->size() >= m_backgroundThreshold)) {
            capture(ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, *text, std::nullopt,
                                  std::nullopt, now, appName, appIcon, false, DetectedLanguage::plain),
                    true, std::move(front));
            return;
        }
        if (front && text::canonicallyEqual(*front, *text))
            return;
        capture(ClipboardItem::makeText(*text, appName, appIcon, now), false);
        return;
    }
    if (const std::optional<QImage>& image = contents.image; image && !image->isNull()) {
        capture(ClipboardItem::makeImage(*image, appName, appIcon, now), false);
        return;
    }
    if (const auto& urls = contents.fileURLs; urls && !urls->isEmpty())
        capture(ClipboardItem::makeFile(urls->first(), appName, appIcon, now), false);
}

std::optional<QString> ClipboardWatcher::frontUnpinnedText() const
{
    if (!m_captures.empty())
        return m_captures.back()->item.text();
    return m_store.frontUnpinnedText();
}

void ClipboardWatcher::capture(ClipboardItem item, bool inBackground, std::optional<QString> front)
{
    if (!inBackground && m_captures.empty()) {
        m_store.addItem(item);
        return;
    }
    auto pending = std::make_shared<Capture>(Capture{item, !inBackground});
    m_captures.push_back(pending);
    if (!inBackground) {
        flushCaptures();
        return;
    }
    QPointer<ClipboardWatcher> self(this);
    QThreadPool::globalInstance()->start([self, pending, text = *item.text(), front = std::move(front)] {
        // Comparing (normalising) a text of many megabytes takes long too.
        const bool duplicate = front && text::canonicallyEqual(*front, text);
        const DetectedLanguage language = duplicate ? DetectedLanguage::plain : detectLanguage(text);
        QMetaObject::invokeMethod(
            self,
            [self, pending, language, duplicate] {
                pending->duplicate = duplicate;
                const ClipboardItem& i = pending->item;
                pending->item =
                    ClipboardItem(i.id(), i.type(), i.text(), i.image(), i.fileURL(), i.timestamp(),
                                  i.appName(), i.appIcon(), i.isPinned(), language);
                pending->ready = true;
                self->flushCaptures();
            },
            Qt::QueuedConnection);
    });
}

void ClipboardWatcher::flushCaptures()
{
    while (!m_captures.empty() && m_captures.front()->ready) {
        if (!m_captures.front()->duplicate)
            m_store.addItem(m_captures.front()->item);
        m_captures.pop_front();
    }
}

} // namespace ondrel
