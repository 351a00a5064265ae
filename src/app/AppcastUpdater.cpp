#include "AppcastUpdater.h"

#include "Scheduler.h"
#include "Settings.h"
#include "SettingsKeys.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace ondrel {

namespace {
const QString kSparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");
} // namespace

std::optional<QList<AppcastItem>> parseAppcast(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    QList<AppcastItem> items;
    bool sawChannel = false;
    std::optional<AppcastItem> item;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QStringView name = reader.name();
            const bool sparkle = reader.namespaceUri() == kSparkleNamespace;
            if (name == u"channel") {
                sawChannel = true;
            } else if (name == u"item") {
                item = AppcastItem();
            } else if (item && name == u"enclosure") {
                const QXmlStreamAttributes attributes = reader.attributes();
                item->enclosure = QUrl(attributes.value(QStringLiteral("url")).toString());
                if (const auto v = attributes.value(kSparkleNamespace, QStringLiteral("version"));
                    !v.isEmpty() && item->version.isEmpty())
                    item->version = v.toString();
                if (const auto v = attributes.value(kSparkleNamespace, QStringLiteral("shortVersionString"));
                    !v.isEmpty() && item->shortVersionString.isEmpty())
                    item->shortVersionString = v.toString();
            } else if (item && sparkle && name == u"version") {
                item->version = reader.readElementText().trimmed();
            } else if (item && sparkle && name == u"shortVersionString") {
                item->shortVersionString = reader.readElementText().trimmed();
            } else if (item && sparkle && name == u"releaseNotesLink") {
                item->releaseNotes = QUrl(reader.readElementText().trimmed());
            }
        } else if (reader.isEndElement() && reader.name() == u"item" && item) {
            items << *item;
            item.reset();
        }
    }
    if (reader.hasError() || !sawChannel)
        return std::nullopt;
    return items;
}

int compareVersions(const QString& a, const QString& b)
{
    const QStringList pa = a.split(u'.');
    const QStringList pb = b.split(u'.');
    for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const qint64 x = i < pa.size() ? pa[i].toLongLong() : 0;
        const qint64 y = i < pb.size() ? pb[i].toLongLong() : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

AppcastUpdater::AppcastUpdater(platform::Settings& settings, platform::Scheduler& scheduler,
                               QString currentVersion, std::function<void(const UpdateCheckResult&)> present,
                               MakeFeedFetcher makeFetcher, QObject* parent)
    : Updater(parent), m_settings(settings), m_scheduler(scheduler),
      m_currentVersion(std::move(currentVersion)), m_present(std::move(present)),
      m_makeFetcher(std::move(makeFetcher))
{
    schedule();
}

int AppcastUpdater::msUntilNextCheck() const
{
    if (!m_nextCheckAt)
        return -1;
    return int(std::max(0.0, *m_nextCheckAt - m_scheduler.now()) * 1000);
}

QString AppcastUpdater::unavailableReason() const
{
    if (feed())
        return {};
    return tr("Updates come from your system's package manager.");
}

std::optional<QUrl> AppcastUpdater::feed() const
{
    const QUrl url(m_settings.string(keys::feedURL).value_or(QString()));
    if (!url.isValid() || url.isEmpty())
        return std::nullopt;
    return url;
}

bool AppcastUpdater::automaticallyChecksForUpdates() const
{
    return m_settings.boolean(keys::automaticChecks);
}

void AppcastUpdater::setAutomaticallyChecksForUpdates(bool on)
{
    m_settings.setBool(keys::automaticChecks, on);
    schedule();
}

bool AppcastUpdater::automaticallyDownloadsUpdates() const
{
    return m_settings.boolean(keys::automaticallyUpdate);
}

void AppcastUpdater::setAutomaticallyDownloadsUpdates(bool on)
{
    m_settings.setBool(keys::automaticallyUpdate, on);
}

void AppcastUpdater::schedule()
{
    if (!automaticallyChecksForUpdates()) {
        ++m_plan; // the planned check, if any, is called off
        m_nextCheckAt.reset();
        return;
    }
    if (m_nextCheckAt)
        return;
    // A day after the last check, whichever launch that falls in; one that
    // is overdue (or never made) soon after launch. A last check in the
    // future (the clock was set back) counts as just made.
    const qint64 last = m_settings.integer(keys::lastCheckTime);
    const qint64 since = std::max<qint64>(qint64(m_scheduler.secondsSinceEpoch()) - last, 0);
    const qint64 due = qint64(kCheckIntervalMs) - since * 1000;
    planCheckIn(int(std::clamp<qint64>(due, kDueCheckDelayMs, kCheckIntervalMs)));
}

void AppcastUpdater::planCheckIn(int ms)
{
    const quint64 plan = ++m_plan;
    m_nextCheckAt = m_scheduler.now() + ms / 1000.0;
    m_scheduler.postAfter(ms / 1000.0, this, [this, plan] {
        if (plan != m_plan)
            return; // replaced or called off since
        m_nextCheckAt.reset();
        checkInBackground();
        // Without a feed nothing was read: the next look is a day later all the same.
        if (!m_nextCheckAt && automaticallyChecksForUpdates())
            planCheckIn(kCheckIntervalMs);
    });
}

void AppcastUpdater::check(bool userInitiated)
{
    if (m_running)
        return;
    const std::optional<QUrl> feed = this->feed();
    if (!feed) {
        if (userInitiated)
            finish({UpdateCheckResult::Kind::noFeed, true, {}, {}, {}, {}});
        return;
    }
    UpdateCheckResult result;
    result.userInitiated = userInitiated;
    m_settings.setInteger(keys::lastCheckTime, qint64(m_scheduler.secondsSinceEpoch()));
    if (automaticallyChecksForUpdates())
        planCheckIn(kCheckIntervalMs); // a day from this check, asked for or not
    if (!m_fetcher) {
        QString error;
        m_fetcher = m_makeFetcher ? m_makeFetcher(&error) : nullptr;
        if (!m_fetcher) {
            result.kind = UpdateCheckResult::Kind::failed;
            result.error = tr("the network module could not be loaded: %1").arg(error);
            finish(result);
            return;
        }
    }
    m_running = true;
    Q_EMIT canCheckForUpdatesChanged(false);
    m_fetcher->fetch(*feed, 30000, [this, result](std::optional<QByteArray> bytes, QString error) mutable {
        m_running = false;
        Q_EMIT canCheckForUpdatesChanged(true);
        if (!bytes) {
            result.kind = UpdateCheckResult::Kind::failed;
            result.error = error;
            finish(result);
            return;
        }
        read(*bytes, result);
    });
}

void AppcastUpdater::read(const QByteArray& feed, UpdateCheckResult result)
{
    const auto items = parseAppcast(feed);
    if (!items) {
        result.kind = UpdateCheckResult::Kind::failed;
        result.error = tr("the update feed is not readable");
        finish(result);
        return;
    }
    std::optional<AppcastItem> newest;
    for (const AppcastItem& item : *items) {
        const QString shown = item.shortVersionString.isEmpty() ? item.version : item.shortVersionString;
        if (compareVersions(shown, m_currentVersion) > 0 &&
            (!newest || compareVersions(shown, newest->shortVersionString) > 0)) {
            newest = item;
            newest->shortVersionString = shown;
        }
    }
    if (newest) {
        result.kind = UpdateCheckResult::Kind::available;
        result.version = newest->shortVersionString;
        result.releaseNotes = newest->releaseNotes;
        result.download = newest->enclosure;
    }
    finish(result);
}

void AppcastUpdater::finish(const UpdateCheckResult& result)
{
    // Scheduled checks speak up only when there is something new.
    if (!result.userInitiated && result.kind != UpdateCheckResult::Kind::available)
        return;
    if (m_present)
        m_present(result);
}

} // namespace ondrel
