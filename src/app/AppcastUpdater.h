#pragma once

#include "FeedFetcher.h"
#include "Updater.h"

#include <QPointer>
#include <QUrl>

#include <functional>
#include <optional>

namespace ondrel {

namespace platform {
class Scheduler;
class Settings;
} // namespace platform

// What a check found.
struct UpdateCheckResult
{
    enum class Kind
    {
        available, // a newer version exists
        upToDate,  // the feed has nothing newer
        noFeed,    // no feed configured: updates come with the system's packages
        failed     // the feed could not be read
    };
    Kind kind = Kind::upToDate;
    bool userInitiated = false;
    QString version;   // the newest version seen (available)
    QUrl releaseNotes; // its release notes, when the feed names them
    QUrl download;     // its enclosure
    QString error;     // what went wrong (failed)
};

// One entry of an appcast feed.
struct AppcastItem
{
    QString version;            // machine version (sparkle:version)
    QString shortVersionString; // shown version
    QUrl releaseNotes;
    QUrl enclosure;
};
// The items of an appcast (RSS with the usual update-feed elements); none
// when the text is not such a feed.
std::optional<QList<AppcastItem>> parseAppcast(const QByteArray& xml);
// Compares dotted versions numerically ("1.10" > "1.9"); missing parts are 0.
int compareVersions(const QString& a, const QString& b);

// Reads an appcast feed from the address stored under "SUFeedURL", on
// demand and every 24 hours while automatic checks are on, and reports what
// it found to `present` (the application shows it; automatic checks report
// only a newer version). Its settings are kept where update frameworks keep
// them in the settings (updates/...).
class AppcastUpdater final : public platform::Updater
{
    Q_OBJECT
public:
    static constexpr int kCheckIntervalMs = 24 * 60 * 60 * 1000;
    // A check that fell due while the program was not running waits this
    // long after launch, so that it does not compete with start-up.
    static constexpr int kDueCheckDelayMs = 60 * 1000;

    // `makeFetcher` is called with the first check that reads the feed.
    // Time, for the day between checks and for dating them, comes from `scheduler`.
    AppcastUpdater(
        platform::Settings& settings, platform::Scheduler& scheduler, QString currentVersion,
        std::function<void(const UpdateCheckResult&)> present,
        MakeFeedFetcher makeFetcher = [](QString* error) { return loadFeedFetcher(error); },
        QObject* parent = nullptr);

    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool on) override;
    bool automaticallyDownloadsUpdates() const override;
    void setAutomaticallyDownloadsUpdates(bool on) override;
    bool canCheckForUpdates() const override { return !m_running; }
    void checkForUpdates() override { check(true); }
    QString unavailableReason() const override;

    // Milliseconds until the next automatic check; -1 when none is planned.
    int msUntilNextCheck() const;

    // A check started by the schedule.
    void checkInBackground() { check(false); }

private:
    void check(bool userInitiated);
    void finish(const UpdateCheckResult& result);
    void read(const QByteArray& feed, UpdateCheckResult result);
    void schedule();
    void planCheckIn(int ms);
    // The address under updates/feedUrl; none when absent or not an address.
    std::optional<QUrl> feed() const;

    platform::Settings& m_settings;
    platform::Scheduler& m_scheduler;
    QString m_currentVersion;
    std::function<void(const UpdateCheckResult&)> m_present;
    MakeFeedFetcher m_makeFetcher;
    std::unique_ptr<FeedFetcher> m_fetcher;
    std::optional<double> m_nextCheckAt; // on the scheduler's clock
    quint64 m_plan = 0;                  // the planned check that may still run
    bool m_running = false;
};

} // namespace ondrel
