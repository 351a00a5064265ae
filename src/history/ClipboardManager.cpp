#include "ClipboardManager.h"
#include "PreferenceKeys.h"

#include "HistoryFile.h"
#include "KeystrokePoster.h"
#include "LanguageDetector.h"
#include "MainQueue.h"
#include "Pasteboard.h"
#include "Text.h"
#include "TextSearch.h"
#include "UserDefaults.h"
#include "Workspace.h"

#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <vector>

namespace ondrel {

ClipboardManager::ClipboardManager(Services services, QObject* parent) : QObject(parent), m_services(services)
{
    if (m_services.historyFile)
        setItems(m_services.historyFile->load());
}

ClipboardManager::~ClipboardManager() = default;

void ClipboardManager::setItems(const QList<ClipboardItem>& items)
{
    m_items = items;
    m_filtered.reset();
    Q_EMIT itemsChanged();
    Q_EMIT filteredItemsChanged();
}

void ClipboardManager::setSearchText(const QString& text)
{
    m_searchText = text;
    m_filtered.reset();
    Q_EMIT searchTextChanged();
    Q_EMIT filteredItemsChanged();
}

void ClipboardManager::setSelectedIndex(qsizetype index)
{
    m_selectedIndex = index;
    Q_EMIT selectedIndexChanged();
}

void ClipboardManager::setShouldScrollToSelection(bool value)
{
    m_shouldScrollToSelection = value;
    Q_EMIT shouldScrollToSelectionChanged();
}

void ClipboardManager::setShowDetailForSelected(bool value)
{
    m_showDetailForSelected = value;
    Q_EMIT showDetailForSelectedChanged();
}

void ClipboardManager::setCloseDetailRequested(bool value)
{
    m_closeDetailRequested = value;
    Q_EMIT closeDetailRequestedChanged();
}

QList<ClipboardItem> ClipboardManager::filteredItems() const
{
    if (m_filtered)
        return *m_filtered;
    // Order positions, not entries: entries are large to move around, and
    // the history is usually in order already.
    std::vector<qsizetype> order;
    order.reserve(m_items.size());
    if (m_searchText.isEmpty()) {
        for (qsizetype i = 0; i < m_items.size(); ++i)
            order.push_back(i);
    } else {
        const text::SearchQuery query(m_searchText);
        for (qsizetype i = 0; i < m_items.size(); ++i)
            if (m_items[i].matches(query))
                order.push_back(i);
    }
    const auto before = [this](qsizetype ia, qsizetype ib) {
        const ClipboardItem& a = m_items[ia];
        const ClipboardItem& b = m_items[ib];
        if (a.isPinned() != b.isPinned())
            return a.isPinned();
        return a.timestamp() > b.timestamp();
    };
    if (!std::is_sorted(order.begin(), order.end(), before))
        std::stable_sort(order.begin(), order.end(), before);
    QList<ClipboardItem> result;
    result.reserve(qsizetype(order.size()));
    for (qsizetype i : order)
        result.append(m_items[i]);
    m_filtered = result;
    return result;
}

std::optional<ClipboardItem> ClipboardManager::selectedItem() const
{
    const QList<ClipboardItem> filtered = filteredItems();
    if (m_selectedIndex < 0 || m_selectedIndex >= filtered.size())
        return std::nullopt;
    return filtered.at(m_selectedIndex);
}

void ClipboardManager::addItem(const ClipboardItem& item)
{
    m_services.mainQueue.async(this, [this, item] {
        QList<ClipboardItem> items = m_items;
        items.prepend(item);
        setItems(items);
        applyHistoryLimit();
        saveHistory();
    });
}

void ClipboardManager::addTransformedItem(const ClipboardItem& item)
{
    m_services.mainQueue.async(this, [this, item] {
        QList<ClipboardItem> items = m_items;
        items.prepend(item);
        setItems(items);
        saveHistory();
    });
}

void ClipboardManager::togglePin(const QUuid& id)
{
    const auto it =
        std::find_if(m_items.cbegin(), m_items.cend(), [&](const ClipboardItem& i) { return i.id() == id; });
    if (it == m_items.cend())
        return;
    QList<ClipboardItem> items = m_items;
    ClipboardItem& item = items[it - m_items.cbegin()];
    item.setPinned(!item.isPinned());
    setItems(items);
    saveHistory();
}

void ClipboardManager::deleteItem(const QUuid& id)
{
    QList<ClipboardItem> items = m_items;
    items.removeIf([&](const ClipboardItem& i) { return i.id() == id; });
    setItems(items);
    saveHistory();
}

void ClipboardManager::clearUnpinned()
{
    QList<ClipboardItem> items = m_items;
    items.removeIf([](const ClipboardItem& i) { return !i.isPinned(); });
    setItems(items);
    saveHistory();
}

void ClipboardManager::moveSelection(qsizetype step)
{
    const qsizetype n = filteredItems().size();
    if (n == 0)
        return;
    // A true modulo: a stale negative index still lands on a row.
    qsizetype next = (m_selectedIndex % n + step % n) % n;
    if (next < 0)
        next += n;
    setSelectedIndex(next);
    setShouldScrollToSelection(true);
}

void ClipboardManager::pasteSelected()
{
    if (const auto item = selectedItem())
        copyAndPaste(*item);
}

void ClipboardManager::copyAndPaste(const ClipboardItem& item)
{
    platform::Pasteboard& pasteboard = m_services.pasteboard;
    pasteboard.clearContents();
    switch (item.type()) {
    case ClipboardItemType::text:
        if (item.text())
            pasteboard.setString(*item.text());
        break;
    case ClipboardItemType::image:
        if (const QByteArray tiff = item.tiffRepresentation(); !tiff.isEmpty())
            pasteboard.setImageData(tiff);
        break;
    case ClipboardItemType::file:
        if (item.fileURL())
            pasteboard.writeFileURL(*item.fileURL());
        break;
    }

    // The stored entry decides: a caller's copy may predate a pin toggle.
    const auto it = std::find_if(m_items.cbegin(), m_items.cend(),
                                 [&](const ClipboardItem& i) { return i.id() == item.id(); });
    if (it != m_items.cend() && !it->isPinned()) {
        QList<ClipboardItem> items = m_items;
        items.move(it - m_items.cbegin(), 0);
        setItems(items); // not saved: the next lasting change carries the new order
    }

    m_services.mainQueue.asyncAfter(kPasteDelaySeconds, this, [this] { m_services.keystrokes.postPaste(); });
}

void ClipboardManager::startMonitoring()
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
    // The timer calls back through `this` as its context: it stops when the manager goes.
    m_timer =
        m_services.mainQueue.scheduleRepeating(kPollIntervalSeconds, this, [this] { checkClipboard(); });
}

void ClipboardManager::stopMonitoring()
{
    m_monitoring = false;
    m_services.pasteboard.observeChanges({});
    if (m_timer)
        m_timer->invalidate();
    m_timer.reset();
}

void ClipboardManager::checkClipboard()
{
    platform::Pasteboard& pasteboard = m_services.pasteboard;
    if (pasteboard.changeCount() == m_lastChangeCount)
        return;
    m_lastChangeCount = pasteboard.changeCount();

    // Passwords stay out of the history.
    if (pasteboard.types().contains(kSecretHintType) &&
        pasteboard.data(kSecretHintType).trimmed() == QByteArrayLiteral("secret"))
        return;

    const std::optional<platform::ApplicationInfo> app = m_services.workspace.frontmostApplication();
    const std::optional<QString> appName = app ? app->name : std::nullopt;
    const std::optional<QImage> appIcon = app ? app->icon : std::nullopt;

    if (const std::optional<QString> text = pasteboard.string(); text && !text->isEmpty()) {
        // The same text as the front-most unpinned entry is not recorded again.
        if (const auto front = frontUnpinnedText(); front && text::canonicallyEqual(*front, *text))
            return;
        if (text->size() >= m_backgroundThreshold) {
            capture(ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, *text, std::nullopt,
                                  std::nullopt, Timestamp::now(), appName, appIcon, false,
                                  DetectedLanguage::plain),
                    true);
        } else {
            capture(ClipboardItem::makeText(*text, appName, appIcon), false);
        }
        return;
    }
    if (const std::optional<QImage> image = pasteboard.image(); image && !image->isNull()) {
        capture(ClipboardItem::makeImage(*image, appName, appIcon), false);
        return;
    }
    if (const auto urls = pasteboard.fileURLs(); urls && !urls->isEmpty())
        capture(ClipboardItem::makeFile(urls->first(), appName, appIcon), false);
}

std::optional<QString> ClipboardManager::frontUnpinnedText() const
{
    if (!m_captures.empty())
        return m_captures.back()->item.text();
    const auto front =
        std::find_if(m_items.cbegin(), m_items.cend(), [](const ClipboardItem& i) { return !i.isPinned(); });
    if (front == m_items.cend())
        return std::nullopt;
    return front->text();
}

void ClipboardManager::capture(ClipboardItem item, bool detectInBackground)
{
    if (!detectInBackground && m_captures.empty()) {
        addItem(item);
        return;
    }
    auto pending = std::make_shared<Capture>(Capture{item, !detectInBackground});
    m_captures.push_back(pending);
    if (!detectInBackground) {
        flushCaptures();
        return;
    }
    QPointer<ClipboardManager> self(this);
    QThreadPool::globalInstance()->start([self, pending, text = *item.text()] {
        const DetectedLanguage language = detectLanguage(text);
        QMetaObject::invokeMethod(
            self,
            [self, pending, language] {
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

void ClipboardManager::flushCaptures()
{
    while (!m_captures.empty() && m_captures.front()->ready) {
        addItem(m_captures.front()->item);
        m_captures.pop_front();
    }
}

qsizetype ClipboardManager::historyLimit() const
{
    const qint64 stored = m_services.defaults.integer(keys::maxHistoryItems);
    return stored != 0 ? static_cast<qsizetype>(stored) : kDefaultHistoryLimit;
}

void ClipboardManager::applyHistoryLimit()
{
    const qsizetype limit = historyLimit();
    if (m_items.size() <= limit)
        return;
    QList<ClipboardItem> pinned;
    QList<ClipboardItem> unpinned;
    for (const ClipboardItem& item : m_items)
        (item.isPinned() ? pinned : unpinned).append(item);
    // More pinned entries than the cap, or a negative cap: every pinned
    // entry stays and no unpinned one does.
    const qsizetype keep = std::clamp<qsizetype>(limit - pinned.size(), 0, unpinned.size());
    pinned.append(unpinned.first(keep));
    setItems(pinned);
}

void ClipboardManager::saveHistory()
{
    if (m_services.historyFile)
        m_services.historyFile->save(m_items);
}

} // namespace ondrel
