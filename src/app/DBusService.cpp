#include "DBusService.h"

#include "HistoryService.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QLoggingCategory>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcDBus, "ondrel.dbus")

namespace ondrel {

QDBusArgument& operator<<(QDBusArgument& argument, const DBusEntry& entry)
{
    argument.beginStructure();
    argument << entry.id << entry.type << entry.preview << entry.timestamp << entry.pinned << entry.app
             << entry.language;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusEntry& entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.type >> entry.preview >> entry.timestamp >> entry.pinned >> entry.app >>
        entry.language;
    argument.endStructure();
    return argument;
}

namespace {

DBusEntry row(const ClipboardItem& item)
{
    const double unixSeconds =
        item.timestamp().secondsSinceReferenceDate() + Timestamp::kReferenceDateUnixSeconds;
    return {item.id().toString(QUuid::WithoutBraces),
            caseName(item.type()),
            commands::listPreview(item),
            qint64(std::llround(unixSeconds * 1000)),
            item.isPinned(),
            item.appName().value_or(QString()),
            item.type() == ClipboardItemType::text ? rawValue(item.detectedLanguage()) : QString()};
}

} // namespace

DBusService::DBusService(HistoryService& service, QObject* parent) : QObject(parent), m_service(service)
{
    qDBusRegisterMetaType<DBusEntry>();
    qDBusRegisterMetaType<QList<DBusEntry>>();
    connect(&m_service, &HistoryService::historyChanged, this, &DBusService::historyChanged);
    connect(&m_service, &HistoryService::pausedChanged, this, [this] {
        const bool paused = isPaused();
        if (!m_bus || paused == m_paused)
            return;
        m_paused = paused;
        propertyChanged(QStringLiteral("Paused"), paused);
    });
}

DBusService::~DBusService()
{
    if (!m_bus)
        return;
    m_bus->unregisterService(kName);
    m_bus->unregisterObject(kPath);
}

bool DBusService::publish(QDBusConnection bus)
{
    if (!bus.isConnected()) {
        qCWarning(lcDBus).noquote()
            << QStringLiteral(
                   "ondrel: no D-Bus session bus; %1 is not offered (the ondrel commands still work)")
                   .arg(kName);
        return false;
    }
    // The object first: whoever sees the name appear finds it there.
    if (!bus.registerObject(kPath, this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties)) {
        qCWarning(lcDBus).noquote() << QStringLiteral("ondrel: could not offer %1 on the session bus: %2")
                                           .arg(kPath, bus.lastError().message());
        return false;
    }
    if (!bus.registerService(kName)) {
        const QString why = bus.lastError().message();
        const QDBusReply<uint> owner = bus.interface()->servicePid(kName);
        qCWarning(lcDBus).noquote()
            << (owner.isValid()
                    ? QStringLiteral("ondrel: %1 is taken on the session bus by process %2; not "
                                     "offered there (the ondrel commands still work)")
                          .arg(kName)
                          .arg(owner.value())
                    : QStringLiteral("ondrel: could not take %1 on the session bus: %2").arg(kName, why));
        bus.unregisterObject(kPath);
        return false;
    }
    m_bus = bus;
    m_paused = isPaused();
    m_count = uint(m_service.countNow());
    return true;
}

bool DBusService::isPaused() const
{
    return m_service.isPaused();
}

void DBusService::setPaused(bool paused)
{
    if (paused)
        m_service.pause(std::nullopt);
    else
        m_service.resume();
}

uint DBusService::count() const
{
    return uint(m_service.count());
}

QList<DBusEntry> DBusService::List()
{
    const QList<ClipboardItem> items = m_service.entries();
    QList<DBusEntry> rows;
    rows.reserve(items.size());
    for (const ClipboardItem& item : items)
        rows.append(row(item));
    return rows;
}

QString DBusService::Get(const QString& ref, QByteArray& data)
{
    Q_UNUSED(data); // sent in the reply made later
    const std::optional<ClipboardItem> item = entry(ref);
    if (!item)
        return {};
    // A saved image is read from disk off this thread: the reply follows.
    m_service.readData(*item, [reply = replyLater(), ref,
                               type = commands::entryMimeType(*item)](std::optional<QByteArray> bytes) {
        if (!bytes)
            return reply({}, QDBusError::Failed,
                         QStringLiteral("the file of entry %1 cannot be read").arg(ref));
        if (bytes->size() > kLargestData)
            return reply({}, QDBusError::LimitsExceeded,
                         QStringLiteral("entry %1 holds %2 MiB, more than a D-Bus message carries (64 MiB); "
                                        "`ondrel get %1` writes it")
                             .arg(ref)
                             .arg(double(bytes->size()) / (1024 * 1024), 0, 'f', 1));
        reply({type, *bytes}, QDBusError::NoError, {});
    });
    return {};
}

void DBusService::Select(const QString& ref)
{
    putOnClipboard(ref, false);
}

void DBusService::Paste(const QString& ref)
{
    putOnClipboard(ref, true);
}

void DBusService::putOnClipboard(const QString& ref, bool paste)
{
    const std::optional<ClipboardItem> item = entry(ref);
    if (!item)
        return;
    // Replied once the entry is on the clipboard, which a caller reads next.
    const HistoryService::Written written = [reply = replyLater()](bool done) {
        if (done)
            reply({}, QDBusError::NoError, {});
        else
            reply({}, QDBusError::Failed, QStringLiteral("could not put the entry on the clipboard"));
    };
    if (!(paste ? m_service.paste(*item, written) : m_service.select(*item, written)))
        written(false);
}

DBusService::Later DBusService::replyLater()
{
    if (!calledFromDBus())
        return [](const QVariantList&, QDBusError::ErrorType, const QString&) {};
    setDelayedReply(true);
    return [bus = connection(), call = message()](const QVariantList& args, QDBusError::ErrorType type,
                                                  const QString& error) {
        bus.send(type == QDBusError::NoError ? call.createReply(args) : call.createErrorReply(type, error));
    };
}

void DBusService::Delete(const QString& ref)
{
    if (const std::optional<ClipboardItem> item = entry(ref))
        m_service.remove(item->id());
}

void DBusService::SetPinned(const QString& ref, bool pinned)
{
    if (const std::optional<ClipboardItem> item = entry(ref))
        m_service.setPinned(item->id(), pinned);
}

QString DBusService::Add(const QString& text)
{
    if (text.isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("nothing to add: the text is empty"));
        return {};
    }
    // A UTF-16 unit is at most three UTF-8 bytes: only a text that long is measured.
    if (text.size() > m_service.entryLimit() / 3 && text.toUtf8().size() > m_service.entryLimit()) {
        sendErrorReply(
            QDBusError::LimitsExceeded,
            QStringLiteral("the text is larger than the %1 MiB limit (setting history/maxEntryBytes)")
                .arg(m_service.entryLimit() >> 20));
        return {};
    }
    const HistoryService::Added added = m_service.addText(text);
    if (!added.copied)
        sendErrorReply(QDBusError::Failed, QStringLiteral("could not put the text on the clipboard"));
    return added.id.toString(QUuid::WithoutBraces);
}

void DBusService::Clear(bool withPinned)
{
    m_service.clear(withPinned);
}

void DBusService::Toggle()
{
    m_service.toggle();
}

std::optional<ClipboardItem> DBusService::entry(const QString& ref)
{
    // The command line's lookup and its words, without its prefix.
    auto found = commands::lookUpEntry(m_service.entries(), ref);
    if (auto* item = std::get_if<ClipboardItem>(&found))
        return *item;
    const commands::Answer& why = std::get<commands::Answer>(found);
    sendErrorReply(why.code == commands::kExitUsage ? QDBusError::errorString(QDBusError::InvalidArgs)
                                                    : kNoSuchEntry,
                   QString::fromUtf8(why.err).mid(int(qstrlen("ondrel: "))).trimmed());
    return std::nullopt;
}

void DBusService::historyChanged()
{
    // A clear or a burst of copies is one announcement.
    if (!m_bus || std::exchange(m_announcing, true))
        return;
    QTimer::singleShot(0, this, &DBusService::announce);
}

void DBusService::announce()
{
    m_announcing = false;
    if (const uint now = uint(m_service.countNow()); now != m_count) {
        m_count = now;
        propertyChanged(QStringLiteral("Count"), now);
    }
    Q_EMIT HistoryChanged();
}

void DBusService::propertyChanged(const QString& name, const QVariant& value)
{
    QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kInterface << QVariantMap{{name, value}} << QStringList();
    m_bus->send(signal);
}

} // namespace ondrel
