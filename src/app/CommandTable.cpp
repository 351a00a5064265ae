#include "CommandTable.h"

#include <algorithm>

namespace ondrel::commands {

const std::array<Command, 12> kCommands{{
    {"list",
     true,
     0,
     0,
     {{"--json", false}, {"--null", false}, {"--limit", true}, {"--search", true}},
     "Usage: ondrel list [--json] [--null] [--limit K] [--search TEXT]\n"
     "\n"
     "Prints the history in the popover's order, one entry per line: its number,\n"
     "a tab, and its text on one line (newlines as ⏎, tabs as ⇥, cut at 200\n"
     "characters). --null ends each entry with NUL instead (fzf --read0, rofi -sep).\n"
     "--json prints an array of {n, id, type, text or name, app, timestamp, pinned,\n"
     "language}. --search keeps the entries whose text or application contains\n"
     "TEXT; they keep their numbers.\n"},
    {"get",
     true,
     1,
     1,
     {{"--type", false}},
     "Usage: ondrel get [--type] N\n"
     "\n"
     "Writes entry N (its number in the popover, or its id) to standard output:\n"
     "a text byte for byte with no newline added, an image's own bytes, files as\n"
     "their paths one per line. --type prints the data's MIME type instead.\n"},
    {"select", false, 1, 1, {}, "Usage: ondrel select N\n\nPuts entry N on the clipboard.\n"},
    {"paste",
     false,
     1,
     1,
     {},
     "Usage: ondrel paste N\n\nPuts entry N on the clipboard and pastes it into the focused window.\n"},
    {"delete", false, 1, 1, {}, "Usage: ondrel delete N\n\nRemoves entry N from the history.\n"},
    {"pin",
     false,
     1,
     1,
     {},
     "Usage: ondrel pin N\n\nPins entry N: it stays at the top and is never dropped.\n"},
    {"unpin", false, 1, 1, {}, "Usage: ondrel unpin N\n\nUnpins entry N.\n"},
    {"add",
     false,
     0,
     1,
     {},
     "Usage: ondrel add [FILE|-]\n"
     "\n"
     "Adds the UTF-8 text in FILE (or standard input) to the history as if it\n"
     "had been copied, and puts it on the clipboard.\n"},
    {"clear",
     false,
     0,
     0,
     {{"--all", false}},
     "Usage: ondrel clear [--all]\n\nRemoves the unpinned entries; with --all, the pinned ones too.\n"},
    {"pause",
     false,
     0,
     0,
     {{"--for", true}},
     "Usage: ondrel pause [--for DURATION]\n"
     "\n"
     "Stops recording copies until `ondrel resume`, or for DURATION (90s, 5m,\n"
     "1h30m, 2d). A pause ends when Ondrel quits.\n"},
    {"resume", false, 0, 0, {}, "Usage: ondrel resume\n\nRecords copies again.\n"},
    {"status",
     true,
     0,
     0,
     {{"--json", false}},
     "Usage: ondrel status [--json]\n"
     "\n"
     "Tells whether Ondrel runs, whether recording is paused, how many entries the\n"
     "history holds, the hotkey, the desktop and where the history is kept.\n"},
}};

const char* const kExitCodes = "\nExit status: 0 on success, 1 when there is no such entry, 2 for wrong\n"
                               "usage or unreadable input, 3 when Ondrel is not running.\n";

const Command* findCommand(const QString& name)
{
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [&name](const Command& c) { return name == QLatin1String(c.name); });
    return it == kCommands.end() ? nullptr : &*it;
}

} // namespace ondrel::commands
