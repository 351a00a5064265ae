#include "WaylandClipboard.h"

#include "ClipboardData.h"

#include <QPointer>

namespace ondrel::platform {

WaylandClipboard::WaylandClipboard(std::unique_ptr<DataControlConnection> clipboard, QObject* parent)
    : QObject(parent), m_clipboard(std::move(clipboard))
{
    m_clipboard->setChangeHandler(this, [this] {
        ++m_changeCount;
        if (m_onChange)
            m_onChange();
    });
}

WaylandClipboard::~WaylandClipboard() = default;

QByteArray WaylandClipboard::data(const QString& mimeType) const
{
    for (const auto& [type, bytes] : m_pending)
        if (type == mimeType)
            return bytes;
    return {};
}

void WaylandClipboard::readContents(QObject* context, std::function<void(ClipboardContents)> done)
{
    QPointer<QObject> guard(context);
    m_clipboard->readContents(
        this,
        [this, guard, done = std::move(done)](ClipboardContents contents) {
            if (!contents.superseded)
                m_last = contents;
            if (guard)
                done(std::move(contents));
        },
        readLimit());
}

void WaylandClipboard::publish(DataControlConnection::Maker make)
{
    m_last = ClipboardContents();
    for (const auto& [type, bytes] : m_pending)
        m_last.types << type;
    m_clipboard->setContents(m_pending, std::move(make));
}

void WaylandClipboard::clearContents()
{
    m_pending.clear();
    publish();
}

bool WaylandClipboard::setString(const QString& text, const QList<ClipboardFormat>& formats)
{
    const QByteArray utf8 = text.toUtf8();
    m_pending = {{QStringLiteral("text/plain;charset=utf-8"), utf8},
                 {QStringLiteral("text/plain"), utf8},
                 {QStringLiteral("UTF8_STRING"), utf8}};
    for (const ClipboardFormat& format : formats)
        m_pending.append({format.type, format.bytes});
    publish();
    m_last.text = text;
    m_last.formats = formats;
    return true;
}

bool WaylandClipboard::setImage(const QImage& image, const std::optional<EncodedImage>& encoded)
{
    if (image.isNull())
        return false;
    // The bytes it came in at once; other types made when a program asks.
    m_pending.clear();
    for (const QString& type : imageTypesToOffer(encoded))
        m_pending.append({type, encoded && type == encoded->type ? encoded->bytes : QByteArray()});
    publish([image](const QString& type) { return encodeImage(image, type); });
    m_last.image = image;
    return true;
}

bool WaylandClipboard::writeFileURLs(const QList<QUrl>& urls)
{
    m_pending.clear();
    for (const ClipboardFormat& format : fileFormats(urls))
        m_pending.append({format.type, format.bytes});
    if (m_pending.isEmpty())
        return false;
    publish();
    m_last.fileURLs = urls;
    return true;
}

WaylandPrimarySelection::WaylandPrimarySelection(DataControlConnection& connection, QObject* parent)
    : QObject(parent), m_connection(connection)
{}

WaylandPrimarySelection::~WaylandPrimarySelection()
{
    m_connection.setPrimaryChangeHandler(nullptr, {});
}

void WaylandPrimarySelection::observeChanges(std::function<void()> fn)
{
    QObject* context = fn ? this : nullptr;
    m_connection.setPrimaryChangeHandler(context, std::move(fn));
}

void WaylandPrimarySelection::readText(QObject* context, qsizetype limit,
                                       std::function<void(ClipboardContents)> done)
{
    m_connection.readPrimaryText(context, std::move(done), limit);
}

} // namespace ondrel::platform
