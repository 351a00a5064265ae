#include "WaylandClipboard.h"

#include <QBuffer>
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
    m_clipboard->readContents(this, [this, guard, done = std::move(done)](ClipboardContents contents) {
        m_last = contents;
        if (guard)
            done(std::move(contents));
    });
}

void WaylandClipboard::publish()
{
    m_last = ClipboardContents();
    for (const auto& [type, bytes] : m_pending)
        m_last.types << type;
    m_clipboard->setContents(m_pending);
}

void WaylandClipboard::clearContents()
{
    m_pending.clear();
    publish();
}

bool WaylandClipboard::setString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    m_pending = {{QStringLiteral("text/plain;charset=utf-8"), utf8},
                 {QStringLiteral("text/plain"), utf8},
                 {QStringLiteral("UTF8_STRING"), utf8}};
    publish();
    m_last.text = text;
    return true;
}

bool WaylandClipboard::setImageData(const QByteArray& tiff)
{
    const QImage image = QImage::fromData(tiff);
    if (image.isNull())
        return false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;
    // PNG for the many applications that paste nothing else, TIFF as given.
    m_pending = {{QStringLiteral("image/png"), png}, {QStringLiteral("image/tiff"), tiff}};
    publish();
    m_last.image = image;
    return true;
}

bool WaylandClipboard::writeFileURL(const QUrl& url)
{
    if (!url.isValid())
        return false;
    const QByteArray encoded = url.toEncoded();
    m_pending = {{QStringLiteral("text/uri-list"), encoded + "\r\n"},
                 // What GNOME-style file managers read to paste a copied file.
                 {QStringLiteral("x-special/gnome-copied-files"), "copy\n" + encoded}};
    publish();
    m_last.fileURLs = QList<QUrl>{url};
    return true;
}

} // namespace ondrel::platform
