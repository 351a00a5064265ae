#include "ClipboardData.h"

#include <QBuffer>
#include <QImageReader>

#include <chrono>
#include <cstdio>

namespace ondrel::platform {

namespace {

using Clock = std::chrono::steady_clock;

bool isVectorImage(const QString& type)
{
    return type.startsWith(u"image/svg");
}

QImage decodeRaster(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    // The reader's allocation limit (256 MiB) bounds how long this can take.
    QImageReader reader(&buffer);
    return reader.read();
}

} // namespace

bool isMetaTarget(const QString& type)
{
    return type == u"TARGETS" || type == u"MULTIPLE" || type == u"TIMESTAMP" || type == u"SAVE_TARGETS" ||
           type == u"DELETE" || type == u"INSERT_SELECTION" || type == u"INSERT_PROPERTY";
}

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

QStringList imageTypesInOrder(const QStringList& offered)
{
    QStringList raster;
    QStringList vector;
    for (const QString& type : offered) {
        if (!type.startsWith(u"image/"))
            continue;
        if (type == u"image/png")
            raster.prepend(type);
        else
            (isVectorImage(type) ? vector : raster).append(type);
    }
    return raster + vector;
}

std::optional<QImage> decodeImageWithin(const QByteArray& bytes, const QString& type, int budgetMs,
                                        const std::atomic<bool>& stop)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(budgetMs);
    QImage image;
    if (isVectorImage(type)) {
        bool overran = false;
        image = drawVectorImage(bytes, deadline, stop, overran).value_or(QImage());
        if (overran) {
            if (!stop)
                std::fprintf(stderr,
                             "ondrel: an image on the clipboard (%s) took too long to decode; not recorded\n",
                             qPrintable(type));
            return std::nullopt;
        }
    } else {
        image = decodeRaster(bytes);
    }
    return image.isNull() ? std::nullopt : std::optional<QImage>(std::move(image));
}

ClipboardContents readOffered(const QStringList& types,
                              const std::function<std::optional<QByteArray>(const QString& type)>& fetch,
                              const bool& gaveUp, int decodeMs, const std::atomic<bool>& stop)
{
    ClipboardContents contents;
    contents.types = types;
    const QString hint = QString::fromLatin1(kSecretHintType);
    if (types.contains(hint)) {
        const std::optional<QByteArray> bytes = fetch(hint);
        // A hint that cannot be read is taken as meant.
        contents.secret = !bytes || isSecretMark(*bytes);
    }
    static const char* const kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain",
                                             "STRING", "TEXT"};
    for (const char* type : kTextTypes) {
        const QString name = QString::fromLatin1(type);
        if (contents.secret || gaveUp || contents.text || !types.contains(name))
            continue;
        if (const auto bytes = fetch(name))
            contents.text = name == u"STRING" ? QString::fromLatin1(*bytes) : QString::fromUtf8(*bytes);
    }
    const bool hasText = contents.text && !contents.text->isEmpty();
    for (const QString& type : imageTypesInOrder(types)) {
        if (contents.secret || gaveUp || hasText || contents.image)
            break;
        if (const auto bytes = fetch(type))
            contents.image = decodeImageWithin(*bytes, type, decodeMs, stop);
    }
    if (!contents.secret && !gaveUp && !hasText && !contents.image && types.contains(u"text/uri-list"))
        if (const auto bytes = fetch(QStringLiteral("text/uri-list")))
            contents.fileURLs = parseUriList(*bytes);
    return contents;
}

} // namespace ondrel::platform
