#include "X11Clipboard.h"

#include "ClipboardData.h"
#include "Xcb.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

#include <xcb/xfixes.h>

namespace ondrel::platform {

namespace {

bool isTextType(const QString& type)
{
    return type == u"text/plain" || type.startsWith(u"text/plain;");
}

// The types of an image made on the encoding worker, as each is done.
struct MadeTypes
{
    std::mutex mutex;
    std::condition_variable done;
    QHash<QString, QByteArray> bytes;
    QStringList pending;
    std::atomic<bool> wanted = true; // false once the clipboard holds something else
};

// An image on offer: the bytes it came in are there from the start; the
// other types are made on a worker and, when a program asks for one before
// it is done, waited for (Qt answers selection requests on the GUI thread).
class ImageMimeData final : public QMimeData
{
public:
    ImageMimeData(QStringList types, std::shared_ptr<MadeTypes> made)
        : m_types(std::move(types)), m_made(std::move(made))
    {}
    ~ImageMimeData() override { m_made->wanted = false; }
    QStringList formats() const override { return m_types; }
    bool hasFormat(const QString& type) const override { return m_types.contains(type); }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override
    {
        std::unique_lock lock(m_made->mutex);
        m_made->done.wait(lock, [&] { return !m_made->pending.contains(type); });
        return m_made->bytes.value(type);
    }

private:
    QStringList m_types;
    std::shared_ptr<MadeTypes> m_made;
};

} // namespace

X11Clipboard::X11Clipboard(QClipboard* clipboard, QObject* parent, X11ClipboardReader::Budgets budgets)
    : QObject(parent), m_clipboard(clipboard),
      m_reader(std::make_unique<X11ClipboardReader>(qgetenv("DISPLAY"), budgets))
{
    connect(m_clipboard, &QClipboard::dataChanged, this, [this] {
        if (!m_adopting)
            changed();
    });
    // An owner quitting without a successor empties the clipboard; a read
    // may come too late to see that (a clipboard manager took over by
    // then), but the event itself tells.
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11)
        return;
    const xcb_query_extension_reply_t* fixes = xcb_get_extension_data(x11->connection(), &xcb_xfixes_id);
    if (!fixes || !fixes->present)
        return;
    m_selectionNotify = uint8_t(fixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
    m_clipboardAtom = xcb::atom(x11->connection(), "CLIPBOARD");
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Clipboard::~X11Clipboard()
{
    if (m_selectionNotify && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11Clipboard::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_selectionNotify)
        return false;
    const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
    if (notify->selection == m_clipboardAtom && notify->owner == XCB_NONE)
        m_ownerLeft = true;

    return false; // Qt, which asked for these events, counts the change
}

void X11Clipboard::readContents(QObject* context, std::function<void(ClipboardContents)> done)
{
    auto answer = [ownerLeft = std::exchange(m_ownerLeft, false),
                   done = std::move(done)](ClipboardContents contents) {
        contents.ownerLeft = contents.ownerLeft || ownerLeft;
        done(std::move(contents));
    };
    // Our own contents are at hand; asking ourselves through the server
    // would need this thread to answer.
    if (m_clipboard->ownsClipboard() || !m_reader->isConnected()) {
        // An image we offer is known as it is: decoding it again, or waiting
        // for the types still being made, would hold this thread.
        if (m_ownImage.data && m_ownImage.data.data() == current()) {
            answer(m_ownImage.contents);
            return;
        }
        Clipboard::readContents(context, std::move(answer));
        return;
    }
    m_reader->readContents(m_changeCount, context, std::move(answer), readLimit());
}

void X11Clipboard::readAll(QObject* context, std::function<void(X11ClipboardReader::AllData)> done)
{
    if (!m_clipboard->ownsClipboard() && m_reader->isConnected()) {
        m_reader->readAll(m_changeCount, context, std::move(done));
        return;
    }
    X11ClipboardReader::AllData all;
    if (const QMimeData* source = current()) {
        const QString hint = QString::fromLatin1(kSecretHintType);
        all.secret = source->formats().contains(hint) && isSecretMark(source->data(hint));
        for (const QString& format : source->formats()) {
            if (!all.secret && !isMetaTarget(format))
                all.data.append({format, source->data(format)});
        }
        all.complete = !all.secret && !all.data.isEmpty();
    }
    done(all);
}

void X11Clipboard::changed()
{
    ++m_changeCount;
    if (m_onChange)
        m_onChange();
}

const QMimeData* X11Clipboard::current() const
{
    return m_clipboard->mimeData(QClipboard::Clipboard);
}

std::optional<QString> X11Clipboard::string() const
{
    const QMimeData* data = current();
    // Qt also reports a URL list as text; only a real text type counts.
    if (!data)
        return std::nullopt;
    const QStringList formats = data->formats();
    if (std::none_of(formats.cbegin(), formats.cend(), isTextType))
        return std::nullopt;
    return data->text();
}

std::optional<QImage> X11Clipboard::image() const
{
    const QMimeData* data = current();
    if (!data)
        return std::nullopt;
    // Any image type another program offers (PNG, TIFF, BMP, JPEG, ...),
    // decoded by its own bytes rather than Qt's conversion table.
    for (const QString& format : data->formats()) {
        if (!format.startsWith(u"image/"))
            continue;
        const QImage image = QImage::fromData(data->data(format));
        if (!image.isNull())
            return image;
    }
    return std::nullopt;
}

std::optional<QList<QUrl>> X11Clipboard::fileURLs() const
{
    const QMimeData* data = current();
    if (!data || !data->hasUrls())
        return std::nullopt;
    return data->urls();
}

QStringList X11Clipboard::types() const
{
    const QMimeData* data = current();
    if (!data)
        return {};
    QStringList formats = data->formats();
    formats.removeAll(QStringLiteral("TARGETS"));
    return formats;
}

QByteArray X11Clipboard::data(const QString& mimeType) const
{
    const QMimeData* data = current();
    return data ? data->data(mimeType) : QByteArray();
}

void X11Clipboard::publish(QMimeData* data, OwnImage own)
{
    OwnImage previous = std::exchange(m_ownImage, std::move(own));
    m_clipboard->setMimeData(data, QClipboard::Clipboard);
    // Qt deleted the mime data it replaced; what an image held is given
    // back on the worker, as giving back a 4K picture's pages takes
    // milliseconds.
    if (previous.made)
        m_encoder.post([previous = std::move(previous)] {});
    // Counted here too: whether Qt reports our own change at once is its business.
    changed();
}

void X11Clipboard::adopt(QMimeData* data)
{
    // Qt reports our own ownership change once, synchronously, inside setMimeData.
    m_adopting = true;
    m_clipboard->setMimeData(data, QClipboard::Clipboard);
    m_adopting = false;
}

void X11Clipboard::clearContents()
{
    publish(new QMimeData);
}

bool X11Clipboard::setString(const QString& text, const QList<ClipboardFormat>& formats)
{
    auto* data = new QMimeData;
    data->setText(text);
    for (const ClipboardFormat& format : formats)
        data->setData(format.type, format.bytes);
    publish(data);
    return true;
}

bool X11Clipboard::setImage(const QImage& image, const std::optional<EncodedImage>& encoded)
{
    if (image.isNull())
        return false;
    const QStringList types = imageTypesToOffer(encoded);
    auto made = std::make_shared<MadeTypes>();
    for (const QString& type : types)
        if (encoded && type == encoded->type)
            made->bytes.insert(type, encoded->bytes);
        else
            made->pending << type;
    m_encoder.post([made, image, worker = &m_encoder] {
        while (true) {
            QString type;
            {
                std::lock_guard lock(made->mutex);
                if (made->pending.isEmpty())
                    return;
                type = made->pending.first();
            }
            // Nobody can ask for what the clipboard no longer holds; at quit
            // nothing is made (an asker is told there is nothing).
            const QByteArray bytes =
                made->wanted && !worker->stopping() ? encodeImage(image, type) : QByteArray();
            std::lock_guard lock(made->mutex);
            made->bytes.insert(type, bytes);
            made->pending.removeFirst();
            made->done.notify_all();
        }
    });
    OwnImage own{new ImageMimeData(types, made), {}, made};
    own.contents.types = types;
    own.contents.image = image;
    own.contents.imageData = encoded;
    QMimeData* data = own.data;
    publish(data, std::move(own));
    return true;
}

bool X11Clipboard::writeFileURLs(const QList<QUrl>& urls)
{
    const QList<ClipboardFormat> formats = fileFormats(urls);
    if (formats.isEmpty())
        return false;
    auto* data = new QMimeData;
    for (const ClipboardFormat& format : formats)
        data->setData(format.type, format.bytes);
    publish(data);
    return true;
}

} // namespace ondrel::platform
