// URL lists as file managers offer and paste them.
#include "ClipboardData.h"

#include <algorithm>

namespace ondrel::platform {

QList<QUrl> parseUriList(const QByteArray& bytes)
{
    QList<QUrl> urls;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        const QUrl url = QUrl::fromEncoded(trimmed);
        if (url.isValid())
            urls.append(url);
    }
    return urls;
}

bool areFiles(const QList<QUrl>& urls)
{
    return !urls.isEmpty() &&
           std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

QList<ClipboardFormat> fileFormats(const QList<QUrl>& urls)
{
    QByteArray uriList;
    QByteArray copied = "copy";
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isValid())
            continue;
        const QByteArray encoded = url.toEncoded();
        uriList += encoded + "\r\n";
        copied += '\n' + encoded;
        paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
    if (paths.isEmpty())
        return {};
    const QByteArray text = paths.join(u'\n').toUtf8();
    return {{QStringLiteral("text/uri-list"), uriList},
            {QStringLiteral("x-special/gnome-copied-files"), copied},
            {QStringLiteral("text/plain;charset=utf-8"), text},
            {QStringLiteral("text/plain"), text},
            {QStringLiteral("UTF8_STRING"), text}};
}

} // namespace ondrel::platform
