#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

#include <optional>

namespace ondrel {

class ClipboardItem;
class HistoryService;

// One row of List(), in the order of its D-Bus structure (sssxbss).
struct DBusEntry
{
    QString id;       // without braces
    QString type;     // "text", "image" or "file"
    QString preview;  // the row as `ondrel list` shows it
    qint64 timestamp; // milliseconds since the Unix epoch
    bool pinned;
    QString app;      // empty when unknown
    QString language; // empty for images and files
};

// The running instance's history on the session bus, for programs that
// speak D-Bus rather than run `ondrel` (password managers that clear the
// history, desktop widgets, scripts in other languages). Everything goes
// through the HistoryService, so the bus and the command line act alike.
// docs/dbus.md describes the interface.
class DBusService final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.ondrel.Ondrel1")
    // Written out to name every argument; what Qt would make of the slots
    // leaves results unnamed and carries its own type names.
    Q_CLASSINFO("D-Bus Introspection", "  <interface name=\"io.github.ondrel.Ondrel1\">\n"
                                       "    <method name=\"List\">\n"
                                       "      <arg name=\"entries\" type=\"a(sssxbss)\" direction=\"out\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"Get\">\n"
                                       "      <arg name=\"ref\" type=\"s\" direction=\"in\"/>\n"
                                       "      <arg name=\"mimeType\" type=\"s\" direction=\"out\"/>\n"
                                       "      <arg name=\"data\" type=\"ay\" direction=\"out\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"Select\">\n"
                                       "      <arg name=\"ref\" type=\"s\" direction=\"in\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"Paste\">\n"
                                       "      <arg name=\"ref\" type=\"s\" direction=\"in\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"Delete\">\n"
                                       "      <arg name=\"ref\" type=\"s\" direction=\"in\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"SetPinned\">\n"
                                       "      <arg name=\"ref\" type=\"s\" direction=\"in\"/>\n"
                                       "      <arg name=\"pinned\" type=\"b\" direction=\"in\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"Add\">\n"
                                       "      <arg name=\"text\" type=\"s\" direction=\"in\"/>\n"
                                       "      <arg name=\"id\" type=\"s\" direction=\"out\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"Clear\">\n"
                                       "      <arg name=\"withPinned\" type=\"b\" direction=\"in\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"Toggle\"/>\n"
                                       "    <signal name=\"HistoryChanged\"/>\n"
                                       "    <property name=\"Paused\" type=\"b\" access=\"readwrite\"/>\n"
                                       "    <property name=\"Count\" type=\"u\" access=\"read\"/>\n"
                                       "  </interface>\n")
    Q_PROPERTY(bool Paused READ isPaused WRITE setPaused)
    Q_PROPERTY(uint Count READ count)

public:
    static inline const QString kName = QStringLiteral("io.github.ondrel.Ondrel");
    static inline const QString kPath = QStringLiteral("/io/github/ondrel/Ondrel");
    static inline const QString kInterface = QStringLiteral("io.github.ondrel.Ondrel1");
    static inline const QString kNoSuchEntry = QStringLiteral("io.github.ondrel.Ondrel1.Error.NoSuchEntry");
    // An array of bytes in a D-Bus message holds at most 64 MiB; libdbus
    // aborts the program asked to send more.
    static constexpr qsizetype kLargestData = qsizetype(64) * 1024 * 1024;

    explicit DBusService(HistoryService& service, QObject* parent = nullptr);
    ~DBusService() override;

    // Offers the history on `bus` under kName. Without a bus, or when
    // another program holds the name, says so in one console line and
    // returns false: the command line still reaches the history.
    bool publish(QDBusConnection bus);

    bool isPaused() const;
    void setPaused(bool paused);
    uint count() const;

public Q_SLOTS:
    QList<ondrel::DBusEntry> List();
    QString Get(const QString& ref, QByteArray& data);
    void Select(const QString& ref);
    void Paste(const QString& ref);
    void Delete(const QString& ref);
    void SetPinned(const QString& ref, bool pinned);
    QString Add(const QString& text);
    void Clear(bool withPinned);
    void Toggle();

Q_SIGNALS:
    // Entries came, went, moved or were pinned; once per turn of the event
    // loop however many changes it made.
    void HistoryChanged();

private:
    // The entry `ref` names; when none, the error has been replied.
    std::optional<ClipboardItem> entry(const QString& ref);
    // Replies to the call being handled later: with these arguments, or
    // with an error when one is given.
    using Later =
        std::function<void(const QVariantList& args, QDBusError::ErrorType type, const QString& error)>;
    Later replyLater();
    void putOnClipboard(const QString& ref, bool paste);
    void historyChanged();
    void announce();
    void propertyChanged(const QString& name, const QVariant& value);

    HistoryService& m_service;
    std::optional<QDBusConnection> m_bus; // once published
    bool m_announcing = false;
    bool m_paused = false;
    uint m_count = 0;
};

} // namespace ondrel

Q_DECLARE_METATYPE(ondrel::DBusEntry)
