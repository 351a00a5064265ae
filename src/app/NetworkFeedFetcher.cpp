// The network module: the only code of the program that uses Qt Network.

#include "FeedFetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace ondrel {

namespace {

class NetworkFeedFetcher final : public FeedFetcher
{
public:
    void fetch(const QUrl& url, int timeoutMs, Done done) override
    {
        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMs);
        QNetworkReply* reply = m_network.get(request);
        // The reply belongs to the manager: deleting the fetcher deletes it
        // and this connection with it.
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
            reply->deleteLater();
            if (reply->error() != QNetworkReply::NoError)
                done(std::nullopt, reply->errorString());
            else
                done(reply->readAll(), QString());
        });
    }

private:
    QNetworkAccessManager m_network;
};

} // namespace

} // namespace ondrel

extern "C" Q_DECL_EXPORT ondrel::FeedFetcher* ondrel_make_feed_fetcher()
{
    return new ondrel::NetworkFeedFetcher;
}
