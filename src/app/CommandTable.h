#pragma once

// The history commands: their arguments, options and help texts.

#include <QString>

#include <array>
#include <vector>

namespace ondrel::commands {

struct Option
{
    const char* name;
    bool takesValue;
};

struct Command
{
    const char* name;
    bool reads; // answered from the history file when the program does not run
    int minArgs;
    int maxArgs;
    std::vector<Option> options;
    const char* help;
};

extern const std::array<Command, 12> kCommands;
// The help's closing paragraph.
extern const char* const kExitCodes;
// The command named `name`; none when there is no such command.
const Command* findCommand(const QString& name);

} // namespace ondrel::commands
