#include "ClipboardData.h"

#include "HtmlText.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QStringDecoder>

#include <algorithm>
#include <chrono>

namespace ondrel::platform {

namespace {

Q_LOGGING_CATEGORY(lcClipboard, "ondrel.clipboard")

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

QStringList imageTypesToOffer(const std::optional<EncodedImage>& encoded)
{
    QStringList types;
    if (encoded && !encoded->bytes.isEmpty())
        types << encoded->type;
    static const bool tiffWriter = QImageWriter::supportedMimeTypes().contains("image/tiff");
    for (const QString& type : {QStringLiteral("image/png"), QStringLiteral("image/tiff")})
        if (!types.contains(type) && (type != u"image/tiff" || tiffWriter))
            types << type;
    return types;
}

QByteArray encodeImage(const QImage& image, const QString& type)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, type.sliced(type.indexOf(u'/') + 1).toLatin1());
    if (!writer.write(image))
        return {};
    return bytes;
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
                qCWarning(lcClipboard).noquote()
                    << QStringLiteral(
                           "ondrel: an image on the clipboard (%1) took too long to decode; not recorded")
                           .arg(type);
            return std::nullopt;
        }
    } else {
        image = decodeRaster(bytes);
    }
    return image.isNull() ? std::nullopt : std::optional<QImage>(std::move(image));
}

QStringList textTypesInOrder(const QStringList& offered)
{
    static const char* const kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain",
                                             "STRING", "TEXT"};
    QStringList types;
    for (const char* type : kTextTypes)
        if (offered.contains(QLatin1StringView(type)))
            types << QString::fromLatin1(type);
    return types;
}

QStringList selectionTypes(const QStringList& offered)
{
    QStringList types = textTypesInOrder(offered);
    if (const QString hint = QString::fromLatin1(kSecretHintType); offered.contains(hint))
        types.prepend(hint);
    return types;
}

QString decodeText(const QByteArray& bytes, const QString& type)
{
    // X11's STRING is ISO 8859-1; every other text type here is UTF-8.
    return type == u"STRING" ? QString::fromLatin1(bytes) : decodeUtf8(bytes);
}

QString decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decode(bytes);
}

ReadPace::ReadPace(int dataMs) : m_data(dataMs), m_start(Clock::now()), m_last(m_start) {}

void ReadPace::progressed(qsizetype bytes)
{
    m_last = Clock::now();
    m_received += bytes;
}

ReadPace::Clock::time_point ReadPace::stallDeadline() const
{
    return m_last + m_data;
}

ReadPace::Clock::time_point ReadPace::paceDeadline() const
{
    // Every byte earns the time it takes at the slowest rate allowed.
    return m_start + m_data +
           std::chrono::microseconds(qint64(m_received) * 1'000'000 / kMinReadBytesPerSecond);
}

int ReadPace::msLeft() const
{
    const auto left = std::min(stallDeadline(), paceDeadline()) - Clock::now();
    return int(std::max<qint64>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

OfferedData::Status ReadPace::overStatus() const
{
    return paceDeadline() < stallDeadline() ? OfferedData::Status::tooSlow : OfferedData::Status::timedOut;
}

bool appendWithinLimit(QByteArray& bytes, const char* data, qsizetype n, qsizetype limit)
{
    constexpr qsizetype kGrowthStep = qsizetype(16) << 20;
    limit = std::min(limit, kMaxEntryBytes);
    if (n > limit - bytes.size())
        return false;
    const qsizetype needed = bytes.size() + n;
    if (needed > bytes.capacity())
        bytes.reserve(std::min(limit, std::max(needed, bytes.size() + std::min(bytes.size(), kGrowthStep))));
    bytes.append(data, n);
    return true;
}

void sayOwnerDoesNotAnswer()
{
    qCWarning(lcClipboard).noquote()
        << "ondrel: the program that owns the clipboard does not answer; its copy is not recorded";
}

void sayTooSlow()
{
    qCWarning(lcClipboard).noquote()
        << "ondrel: the program that owns the clipboard sends its data too slowly; its copy is not recorded";
}

void sayTooLarge(const QString& type)
{
    qCWarning(lcClipboard).noquote()
        << QStringLiteral("ondrel: the clipboard's %1 data is larger than %2 MiB; not recorded")
               .arg(type)
               .arg(kMaxEntryBytes >> 20);
}

void sayFormatLeftOut(const QString& type)
{
    qCWarning(lcClipboard).noquote()
        << QStringLiteral(
               "ondrel: the clipboard's %1 data is larger than %2 MiB; the text is recorded without it")
               .arg(type)
               .arg(kMaxFormatBytes >> 20);
}

void saySuperseded()
{
    qCWarning(lcClipboard).noquote()
        << "ondrel: a newer copy came while the clipboard was being read; the older one is not recorded";
}

QStringList richTextTypesIn(const QStringList& offered)
{
    static const char* const kRichTypes[] = {"text/html", "text/rtf", "application/rtf", "text/richtext"};
    QStringList types;
    for (const char* type : kRichTypes)
        if (offered.contains(QLatin1StringView(type)))
            types << QString::fromLatin1(type);
    return types;
}

ClipboardContents readOffered(const QStringList& types, const OfferedFetch& fetch, int decodeMs,
                              const std::atomic<bool>& stop)
{
    ClipboardContents contents;
    contents.types = types;
    bool gaveUp = false;
    // Once the owner went silent or gave too much, nothing more is asked:
    // each further request would only wait out its budget again.
    const auto request = [&](const QString& type) -> std::optional<QByteArray> {
        if (gaveUp)
            return std::nullopt;
        OfferedData data = fetch(type, kMaxEntryBytes);
        switch (data.status) {
        case OfferedData::Status::ok:
            return std::move(data.bytes);
        case OfferedData::Status::timedOut:
            sayOwnerDoesNotAnswer();
            gaveUp = true;
            break;
        case OfferedData::Status::tooSlow:
            sayTooSlow();
            gaveUp = true;
            break;
        case OfferedData::Status::tooLarge:
            contents.tooLargeType = type; // said by the capture, which knows whose limit it was
            gaveUp = true;
            break;
        case OfferedData::Status::superseded:
            saySuperseded();
            contents.superseded = true;
            gaveUp = true;
            break;
        case OfferedData::Status::stopped:
            gaveUp = true;
            break;
        case OfferedData::Status::failed:
            break;
        }
        return std::nullopt;
    };

    const QString hint = QString::fromLatin1(kSecretHintType);
    if (types.contains(hint)) {
        const std::optional<QByteArray> bytes = request(hint);
        // A hint that cannot be read is taken as meant: better one copy missed than a password kept.
        if (!bytes || isSecretMark(*bytes)) {
            contents.secret = true;
            return contents;
        }
    }
    // Files copied in a file manager come with their paths as text: they
    // are recorded as files. A copied link stays the text it is offered as.
    if (types.contains(u"text/uri-list") && !textTypesInOrder(types).isEmpty()) {
        if (const std::optional<QByteArray> bytes = request(QStringLiteral("text/uri-list"));
            bytes && areFiles(parseUriList(*bytes))) {
            contents.fileURLs = parseUriList(*bytes);
            return contents;
        }
        if (gaveUp)
            return contents;
    }
    // The rich-text forms of a text, each within its own limit: one too
    // large, or not given, leaves the text recorded without it.
    const auto keepRichForms = [&](const QString& taken) {
        for (const QString& type : richTextTypesIn(types)) {
            if (type == taken)
                continue;
            OfferedData data = fetch(type, kMaxFormatBytes);
            switch (data.status) {
            case OfferedData::Status::ok:
                if (!data.bytes.isEmpty())
                    contents.formats.append({type, std::move(data.bytes)});
                break;
            case OfferedData::Status::tooLarge:
                sayFormatLeftOut(type);
                break;
            case OfferedData::Status::superseded:
                saySuperseded();
                contents.superseded = true;
                return;
            case OfferedData::Status::timedOut:
            case OfferedData::Status::tooSlow:
            case OfferedData::Status::stopped:
                return; // the owner was asked enough: the text is what it gave
            case OfferedData::Status::failed:
                break;
            }
        }
    };
    for (const QString& type : textTypesInOrder(types)) {
        if (const std::optional<QByteArray> bytes = request(type)) {
            contents.text = decodeText(*bytes, type);
            break;
        }
    }
    // An empty text is no text: the image or URLs beside it are recorded.
    if (!gaveUp && contents.text && !contents.text->isEmpty())
        keepRichForms({});
    if (gaveUp || (contents.text && !contents.text->isEmpty()))
        return contents;
    for (const QString& type : imageTypesInOrder(types)) {
        const std::optional<QByteArray> bytes = request(type);
        if (gaveUp)
            return contents;
        if (bytes && !bytes->isEmpty() &&
            (contents.image = decodeImageWithin(*bytes, type, decodeMs, stop))) {
            contents.imageData = EncodedImage{type, *bytes};
            return contents;
        }
    }
    // HTML alone (a page's selection copied as markup only) is recorded as
    // the text it shows.
    const QString html = QStringLiteral("text/html");
    if (types.contains(html)) {
        if (const std::optional<QByteArray> bytes = request(html))
            if (QString text = htmlToText(*bytes); !text.isEmpty()) {
                contents.text = std::move(text);
                if (bytes->size() <= kMaxFormatBytes)
                    contents.formats.append({html, *bytes});
                else
                    sayFormatLeftOut(html);
                keepRichForms(html);
                return contents;
            }
        if (gaveUp)
            return contents;
    }
    if (types.contains(u"text/uri-list"))
        if (const std::optional<QByteArray> bytes = request(QStringLiteral("text/uri-list")))
            contents.fileURLs = parseUriList(*bytes);
    return contents;
}

} // namespace ondrel::platform
