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

// Reads a selection (CLIPBOARD unless told otherwise) from other programs on a thread of its own,
// over its own X connection, so that an owner that answers slowly or never
// costs the main thread nothing. Each wait has a budget: the list of types
// must come within `targetsMs`, each piece of data at the pace ReadPace
// sets for `dataMs`, and an image must decode within `decodeMs`. An owner
// that left the list of types unanswered is not asked again for the same
// change. A read is given up as soon as the clipboard changes again.
class X11ClipboardReader final
{
public:
    using Budgets = ClipboardReadBudgets;
    // Every data type the owner offers with its bytes (meta targets left out).
    struct AllData
    {
        bool secret = false;
        // False when the owner did not answer or offered nothing.
        bool complete = false;
        QList<QPair<QString, QByteArray>> data;
    };

    // Connects to `display` (the DISPLAY form) to read `selection`; see isConnected().
    explicit X11ClipboardReader(const QByteArray& display, Budgets budgets = {},
                                const char* selection = "CLIPBOARD");
    ~X11ClipboardReader();
    X11ClipboardReader(const X11ClipboardReader&) = delete;
    X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

    bool isConnected() const;

    // `generation` names the clipboard change being read (the clipboard's
    // change count); the callbacks run on the main thread while `context` lives.
    // A read during which the clipboard gets a new owner ends at once and
    // gives nothing (ClipboardContents::superseded); one that offers more
    // than `limit` bytes of a type is not read past it.
    void readContents(qint64 generation, QObject* context, std::function<void(ClipboardContents)> done,
                      qsizetype limit = kMaxEntryBytes);
    // The same, but only the secret hint and text (selectionTypes).
    void readText(qint64 generation, QObject* context, std::function<void(ClipboardContents)> done,
                  qsizetype limit = kMaxEntryBytes);
    void readAll(qint64 generation, QObject* context, std::function<void(AllData)> done);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace ondrel::platform
