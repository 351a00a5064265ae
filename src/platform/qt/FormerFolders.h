#pragma once

#include <QString>

#include <functional>

// Earlier versions kept the history and the settings under another name
// ($XDG_DATA_HOME/Brisol, $XDG_CONFIG_HOME/Brisol/defaults.json). They are
// taken over once, at start-up, by the one running instance.
namespace ondrel::platform {

struct FolderMove
{
    enum class Outcome
    {
        nothingToMove, // no former folder
        keptBoth,      // the new folder exists already: neither is touched
        moved,         // renamed in one step
        copied,        // on another file system: copied whole, the former one left in place
        failed         // both as they were; `message` says why
    };
    Outcome outcome = Outcome::nothingToMove;
    QString message; // one console line, empty when there is nothing to say
};

// Moves the folder `from` to `to` when `from` is a folder of ours and `to`
// does not exist. The new folder appears whole or not at all: a copy is
// made beside it and renamed into place. `rename` is renameat2-like
// (RENAME_NOREPLACE) and answers 0 or an errno; tests pass one that fails.
using RenameFn = std::function<int(const QByteArray& from, const QByteArray& to)>;
FolderMove moveFormerFolder(const QString& from, const QString& to, const RenameFn& rename = {});

// Takes over both former folders under the standard locations and renames
// the settings file; prints one line for each thing done or refused.
void adoptFormerFolders();

} // namespace ondrel::platform
