#include "FeedFetcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace ondrel {

QStringList feedFetcherFolders()
{
    const QString program = QCoreApplication::applicationDirPath();
    return {QDir::cleanPath(program + QStringLiteral("/" ONDREL_MODULE_DIR_FROM_BIN)), program};
}

std::unique_ptr<FeedFetcher> loadFeedFetcher(QString* error, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QString path = folder + u'/' + QLatin1String(kFeedFetcherModule);
        if (!QFileInfo::exists(path))
            continue;
        // Never unloaded: the fetcher's code must outlive every fetcher.
        QLibrary library(path);
        using Make = FeedFetcher* (*)();
        const auto make = reinterpret_cast<Make>(library.resolve(kMakeFeedFetcherSymbol));
        if (!make) {
            if (error)
                *error = library.errorString();
            return nullptr;
        }
        return std::unique_ptr<FeedFetcher>(make());
    }
    if (error)
        *error = QStringLiteral("%1 was not found in %2")
                     .arg(QLatin1String(kFeedFetcherModule), folders.join(QStringLiteral(", ")));
    return nullptr;
}

} // namespace ondrel
