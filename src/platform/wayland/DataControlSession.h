#pragma once

// One data-control session (manager, device, offers, our source) for
// either protocol, as the clipboard's worker thread drives it.

#include "DataControl.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

#include <unistd.h>

namespace ondrel::platform::wayland {

using Contents = QList<QPair<QString, QByteArray>>; // MIME type → bytes
// The clipboard, or the primary selection (what is selected with the mouse).
enum class Selection
{
    clipboard,
    primary
};
// Makes the bytes of a type offered with null bytes, when first asked for.
using Maker = std::function<QByteArray(const QString& type)>;

// What the worker needs of a protocol session, whichever protocol it is.
class SessionBase
{
public:
    virtual ~SessionBase() = default;
    virtual void setContents(const Contents& contents, Maker make) = 0;
    // The current offer of `which` and its types; null when it is empty.
    virtual void* currentOffer(Selection which, QStringList* types) = 0;
    virtual void receive(void* offer, const QByteArray& mime, int fd) = 0;
    // A read uses the offer: it is not destroyed until released.
    virtual void hold(void* offer, bool held) = 0;
    // Whether the current selection is our own source.
    virtual bool ownsSelection() const = 0;
};

// The worker's side of a session: what a session reports to.
class SessionOwner
{
public:
    virtual ~SessionOwner() = default;
    virtual void selectionChanged() = 0;
    virtual void primarySelectionChanged() = 0;
    virtual void serve(int fd, QByteArray bytes) = 0;
};

template <class P> class Session final : public SessionBase
{
public:
    Session(SessionOwner& owner, typename P::Manager* manager, wl_seat* seat)
        : m_owner(owner), m_manager(manager), m_device(P::getDevice(manager, seat))
    {
        P::addListener(m_device, &kDeviceListener, this);
    }

    ~Session() override
    {
        if (m_source)
            P::destroySource(m_source);
        for (auto it = m_types.cbegin(); it != m_types.cend(); ++it)
            P::destroyOffer(it.key());
        P::destroyDevice(m_device);
        P::destroyManager(m_manager);
    }

    void setContents(const Contents& contents, Maker make) override
    {
        if (m_source)
            P::destroySource(m_source);
        m_source = nullptr;
        m_contents = contents;
        m_make = std::move(make);
        if (contents.isEmpty()) {
            P::setSelection(m_device, nullptr);
            return;
        }
        m_source = P::createSource(m_manager);
        P::addListener(m_source, &kSourceListener, this);
        for (const auto& [mime, bytes] : contents)
            P::offer(m_source, mime.toUtf8().constData());
        P::setSelection(m_device, m_source);
    }

    void* currentOffer(Selection which, QStringList* types) override
    {
        typename P::Offer* offer = which == Selection::primary ? m_primary : m_current;
        if (!offer)
            return nullptr;
        *types = m_types.value(offer);
        return offer;
    }

    void receive(void* offer, const QByteArray& mime, int fd) override
    {
        P::receive(static_cast<typename P::Offer*>(offer), mime.constData(), fd);
    }

    void hold(void* offer, bool held) override
    {
        auto* o = static_cast<typename P::Offer*>(offer);
        if (held) {
            m_held.insert(o);
            return;
        }
        m_held.remove(o);
        forget(o);
    }

    // The compositor cancels our source before it announces another one.
    bool ownsSelection() const override { return m_source != nullptr; }

private:
    void forget(typename P::Offer* offer)
    {
        if (!offer || offer == m_current || offer == m_primary || m_held.contains(offer) ||
            !m_types.contains(offer))
            return;
        m_types.remove(offer);
        P::destroyOffer(offer);
    }

    static void dataOffer(void* data, typename P::Device*, typename P::Offer* offer)
    {
        auto* self = static_cast<Session*>(data);
        self->m_types.insert(offer, {});
        P::addListener(offer, &kOfferListener, self);
    }
    static void selection(void* data, typename P::Device*, typename P::Offer* offer)
    {
        auto* self = static_cast<Session*>(data);
        typename P::Offer* previous = self->m_current;
        self->m_current = offer;
        if (previous != offer)
            self->forget(previous);
        self->m_owner.selectionChanged();
    }
    static void finished(void*, typename P::Device*) {}
    // The primary selection (middle-click paste), read only when its recording is on.
    static void primarySelection(void* data, typename P::Device*, typename P::Offer* offer)
    {
        auto* self = static_cast<Session*>(data);
        typename P::Offer* previous = self->m_primary;
        self->m_primary = offer;
        if (previous != offer)
            self->forget(previous);
        self->m_owner.primarySelectionChanged();
    }
    static void offerType(void* data, typename P::Offer* offer, const char* mime)
    {
        auto* self = static_cast<Session*>(data);
        if (auto it = self->m_types.find(offer); it != self->m_types.end())
            it->append(QString::fromUtf8(mime));
    }
    static void send(void* data, typename P::Source* source, const char* mime, int32_t fd)
    {
        auto* self = static_cast<Session*>(data);
        if (source != self->m_source) {
            ::close(fd);
            return;
        }
        const QString wanted = QString::fromUtf8(mime);
        for (auto& [type, bytes] : self->m_contents)
            if (type == wanted) {
                // Made here, on the clipboard's own thread, and kept for the next asker.
                if (bytes.isNull() && self->m_make)
                    bytes = self->m_make(type);
                self->m_owner.serve(fd, bytes);
                return;
            }
        ::close(fd);
    }
    static void cancelled(void* data, typename P::Source* source)
    {
        auto* self = static_cast<Session*>(data);
        P::destroySource(source);
        if (source == self->m_source)
            self->m_source = nullptr;
    }

    static constexpr
        typename P::DeviceListener kDeviceListener = {&dataOffer, &selection, &finished, &primarySelection};
    static constexpr typename P::OfferListener kOfferListener = {&offerType};
    static constexpr typename P::SourceListener kSourceListener = {&send, &cancelled};

    SessionOwner& m_owner;
    typename P::Manager* m_manager;
    typename P::Device* m_device;
    typename P::Source* m_source = nullptr;
    Contents m_contents;
    Maker m_make;
    typename P::Offer* m_current = nullptr;
    typename P::Offer* m_primary = nullptr;
    QHash<typename P::Offer*, QStringList> m_types; // every offer alive, with its types
    QSet<typename P::Offer*> m_held;
};

} // namespace ondrel::platform::wayland
