#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace ondrel {

// Reads an update feed. The implementation is a module of its own, loaded
// with the first check: the network stack it needs (Qt Network with its
// TLS, proxy and Kerberos libraries, about 2 MiB) stays out of a program
// that never checks.
class FeedFetcher
{
public:
    // Called once: the bytes read, or none and the reason.
    using Done = std::function<void(std::optional<QByteArray> bytes, QString error)>;

    virtual ~FeedFetcher() = default;
    // Deleting the fetcher abandons what it was reading; `done` is then not called.
    virtual void fetch(const QUrl& url, int timeoutMs, Done done) = 0;
};

using MakeFeedFetcher = std::function<std::unique_ptr<FeedFetcher>(QString* error)>;

// The module's file name and the function it exports, which returns a new
// fetcher owned by the caller.
inline constexpr char kFeedFetcherModule[] = "ondrel-network.so";
inline constexpr char kMakeFeedFetcherSymbol[] = "ondrel_make_feed_fetcher";

// Where the module is looked for: where it is installed relative to the
// program, then the program's own folder (a build tree).
QStringList feedFetcherFolders();
// A fetcher from the module in the first of `folders` that has it; none,
// with the reason in `error`, when it cannot be loaded.
std::unique_ptr<FeedFetcher> loadFeedFetcher(QString* error,
                                             const QStringList& folders = feedFetcherFolders());

} // namespace ondrel
