#pragma once

#include "Clipboard.h"
#include "ClipboardData.h" // ClipboardReadBudgets

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>

namespace ondrel::platform {

namespace wayland {
enum class Selection;
}

// The Wayland clipboard as a clipboard manager sees it, through the
// compositor's data-control protocol (ext-data-control-v1, else
// wlr-data-control-unstable-v1), over a connection and a thread of its own:
// the compositor tells of every new selection, offers are read through
// pipes with the same budgets as on X11 (a source that never writes costs
// the main thread nothing), and our own contents are served from that
// thread. Without data control isAvailable() is false.
class DataControlConnection final
{
public:
    using Budgets = ClipboardReadBudgets;
    using Contents = QList<QPair<QString, QByteArray>>; // MIME type → bytes
    // Makes the bytes of a type offered with null bytes, on the clipboard's
    // thread, when a program first asks for that type.
    using Maker = std::function<QByteArray(const QString& type)>;

    // Connects to the compositor named by WAYLAND_DISPLAY.
    explicit DataControlConnection(Budgets budgets = {});
    ~DataControlConnection();
    DataControlConnection(const DataControlConnection&) = delete;
    DataControlConnection& operator=(const DataControlConnection&) = delete;

    bool isAvailable() const;
    // The protocol in use ("ext-data-control-v1", ...); empty when none.
    QString protocolName() const;

    // Runs `changed` on the main thread after every new selection (ours too)
    // while `context` lives.
    void setChangeHandler(QObject* context, std::function<void()> changed);
    // Reads what a capture needs from the current selection: the secret
    // hint, else text, else an image, else a URL list; not past `limit`
    // bytes of one type.
    void readContents(QObject* context, std::function<void(ClipboardContents)> done,
                      qsizetype limit = kMaxEntryBytes);
    // The same of the primary selection (what is selected with the mouse,
    // which a middle click pastes), read only for its text: the secret hint
    // and the text types (selectionTypes). It is never kept nor written.
    void setPrimaryChangeHandler(QObject* context, std::function<void()> changed);
    void readPrimaryText(QObject* context, std::function<void(ClipboardContents)> done,
                         qsizetype limit = kMaxEntryBytes);
    // Makes `contents` the selection, served by us until another client
    // takes it. Empty contents empty the clipboard.
    void setContents(Contents contents, Maker make = {});
    // While on, a clipboard left empty by the program whose selection was
    // read last (it quit) is given that selection's contents again, as
    // read (text, image or URL list), and neither the empty moment nor our
    // offer counts as a change. Contents marked secret, our own, and those
    // larger than kMaxKeptBytes are not kept.
    void setKeepContents(bool keep);
    static constexpr qsizetype kMaxKeptBytes = qsizetype(32) << 20;

private:
    void read(wayland::Selection which, QObject* context, std::function<void(ClipboardContents)> done,
              qsizetype limit);
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace ondrel::platform
