#pragma once

#include "ClipboardItem.h"
#include "EntrySize.h"
#include "Timestamp.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace ondrel::commands {

// Exit codes of the history commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoEntry = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotRunning = 3;

// What a command answered.
struct Answer
{
    int code = kExitOk;
    QByteArray out;
    QByteArray err;
};

// What `status` tells.
struct Status
{
    bool running = false;
    bool paused = false;
    std::optional<Timestamp> pausedUntil; // a timed pause's end
    QString hotkey;                       // empty: none
    QString desktop;                      // "X11", "Wayland" or "headless"; empty when not running
    QString historyPath;
};

// What the commands act on: the running instance's history, or the history
// file read alone, which only the reading commands may use.
class Target
{
public:
    virtual ~Target() = default;
    // The entries in the popover's order: pinned first, then newest first.
    virtual QList<ClipboardItem> entries() const = 0;
    virtual Status status() const = 0;
    virtual bool canChange() const = 0;
    // Told whether the entry reached the clipboard.
    using Written = std::function<void(bool)>;
    // Puts the entry on the clipboard: false when nothing can be written;
    // else `written` is told, once known, whether it got there (a saved
    // image is read from disk first).
    virtual bool select(const ClipboardItem&, Written /*written*/) { return false; }
    // The same, then types the paste keys into the focused window.
    virtual bool paste(const ClipboardItem&, Written /*written*/) { return false; }
    // The entry's data as `get` writes it (see entryData), given to `done`;
    // a saved image may be read off the GUI thread, nothing when unreadable.
    virtual void readData(const ClipboardItem& item, std::function<void(std::optional<QByteArray>)> done);
    // Whether the keys of the last paste could reach another program.
    virtual bool canPaste() const { return true; }
    virtual void remove(const QUuid&) {}
    virtual void setPinned(const QUuid&, bool) {}
    // Records a text as if copied, and puts it on the clipboard.
    virtual bool add(const QString&) { return false; }
    // Removes the unpinned entries, or every one.
    virtual void clear(bool /*withPinned*/) {}
    virtual void pause(std::optional<std::chrono::seconds>) {}
    // The most bytes a text may have to be added.
    virtual qsizetype entryLimit() const { return platform::kMaxEntryBytes; }
    virtual void resume() {}
};

// The commands on the history, and which of them only read.
bool isHistoryCommand(const QString& name);
bool isReadCommand(const QString& name);

// The lines of `ondrel --help` naming the history commands.
QString overview();

// Checks a command line without running it: nothing when it is well formed,
// else the usage answer (its help for --help, exit 0).
std::optional<Answer> checkUsage(const QStringList& args);

// Runs a history command line on `target`. `input` is the text of `add`,
// read by the caller. Most commands answer at once; `select`, `paste` and
// `get` of a saved image once its file has been read.
using Reply = std::function<void(Answer)>;
void run(const QStringList& args, const QByteArray& input, Target& target, Reply reply);
// The same on a target that answers every command at once (the history
// file read alone).
Answer runNow(const QStringList& args, const QByteArray& input, Target& target);

// The entry with this number in `items` (1-based) or this id.
std::optional<ClipboardItem> findEntry(const QList<ClipboardItem>& items, const QString& ref);
// The same, or why there is none: exit 1 and "ondrel: no entry ..." when
// nothing has that number or id, exit 2 when `ref` is neither.
std::variant<ClipboardItem, Answer> lookUpEntry(const QList<ClipboardItem>& items, const QString& ref);

// "5m", "90s", "1h30m", "2d", or plain seconds; nothing for anything else,
// zero, or more than 30 days.
std::optional<std::chrono::seconds> parseDuration(QStringView text);

// A row as `list` shows it: on one line, newlines and tabs as ⏎ and ⇥,
// other control characters as their pictures, cut at 200 characters;
// images and files by a label ("[image 1920×1080 png]", "[file] a.txt").
QString listPreview(const ClipboardItem& item);
// The entry's data as `get` writes it: the text's UTF-8, the image's own
// bytes, the files' paths one per line.
QByteArray entryData(const ClipboardItem& item);
// The MIME type of that data.
QString entryMimeType(const ClipboardItem& item);

// `list --json` of the entries at `rows` (positions in `items`).
QByteArray listJson(const QList<ClipboardItem>& items, const std::vector<qsizetype>& rows);
// What `status` prints, as lines or as JSON.
QByteArray statusText(const Status& status, const QList<ClipboardItem>& items, bool json);

} // namespace ondrel::commands
