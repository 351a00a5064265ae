#include "HistoryCommands.h"

#include "CommandTable.h"

#include "ClipboardData.h"
#include "Json.h"
#include "Text.h"
#include "TextSearch.h"

#include <QDateTime>
#include <QHash>
#include <QUuid>

#include <algorithm>
#include <array>
#include <variant>
#include <vector>

namespace ondrel::commands {

namespace {

struct Parsed
{
    const Command* command = nullptr;
    QStringList positional;
    QHash<QString, QString> options;
    bool help = false;
};

// A user's word echoed in an error, cut so that a huge argument stays a line.
QString quoted(const QString& word)
{
    return u'\'' + (word.size() > 40 ? word.left(40) + u'…' : word) + u'\'';
}

Answer usageError(const QString& message, const Command* command = nullptr)
{
    QString text = QStringLiteral("ondrel: ") + message + u'\n';
    if (command)
        text += QStringLiteral("Run 'ondrel %1 --help' for its usage.\n").arg(QLatin1String(command->name));
    return {kExitUsage, {}, text.toUtf8()};
}

std::variant<Parsed, Answer> parse(const QStringList& args)
{
    Parsed parsed;
    parsed.command = args.isEmpty() ? nullptr : findCommand(args.first());
    if (!parsed.command)
        return usageError(QStringLiteral("unknown command %1").arg(quoted(args.value(0))));
    const Command& command = *parsed.command;
    bool optionsEnd = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnd || !arg.startsWith(u"--") || arg == u"-") {
            parsed.positional << arg;
            continue;
        }
        if (arg == u"--") {
            optionsEnd = true;
            continue;
        }
        if (arg == u"--help") {
            parsed.help = true;
            return parsed;
        }
        const qsizetype equals = arg.indexOf(u'=');
        const QString name = equals < 0 ? arg : arg.left(equals);
        const auto option = std::find_if(command.options.begin(), command.options.end(),
                                         [&name](const Option& o) { return name == QLatin1String(o.name); });
        if (option == command.options.end())
            return usageError(
                QStringLiteral("%1 has no option %2").arg(QLatin1String(command.name), quoted(name)),
                &command);
        if (!option->takesValue && equals >= 0)
            return usageError(QStringLiteral("%1 takes no value").arg(name), &command);
        QString value;
        if (option->takesValue) {
            if (equals >= 0)
                value = arg.mid(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return usageError(QStringLiteral("%1 needs a value").arg(name), &command);
        }
        parsed.options.insert(name, value);
    }
    if (parsed.positional.size() < command.minArgs)
        return usageError(QStringLiteral("%1 needs an entry's number or id").arg(QLatin1String(command.name)),
                          &command);
    if (parsed.positional.size() > command.maxArgs)
        return usageError(QStringLiteral("unexpected argument %1").arg(quoted(parsed.positional.last())),
                          &command);
    if (parsed.options.contains(QStringLiteral("--limit"))) {
        bool ok = false;
        const int limit = parsed.options.value(QStringLiteral("--limit")).toInt(&ok);
        if (!ok || limit < 0)
            return usageError(QStringLiteral("--limit needs a number of entries, not %1")
                                  .arg(quoted(parsed.options.value(QStringLiteral("--limit")))),
                              &command);
    }
    if (parsed.options.contains(QStringLiteral("--for")) &&
        !parseDuration(parsed.options.value(QStringLiteral("--for"))))
        return usageError(
            QStringLiteral("--for needs a duration such as 90s, 5m or 1h30m (at most 30 days), not %1")
                .arg(quoted(parsed.options.value(QStringLiteral("--for")))),
            &command);
    return parsed;
}

Answer list(const Parsed& parsed, const QList<ClipboardItem>& items)
{
    std::vector<qsizetype> rows;
    const QString search = parsed.options.value(QStringLiteral("--search"));
    const std::optional<text::SearchQuery> query =
        search.isEmpty() ? std::nullopt : std::optional(text::SearchQuery(search));
    const qsizetype limit = parsed.options.contains(QStringLiteral("--limit"))
                                ? parsed.options.value(QStringLiteral("--limit")).toInt()
                                : items.size();
    for (qsizetype i = 0; i < items.size() && qsizetype(rows.size()) < limit; ++i)
        if (!query || items[i].matches(*query))
            rows.push_back(i);
    if (parsed.options.contains(QStringLiteral("--json")))
        return {kExitOk, listJson(items, rows), {}};
    const char end = parsed.options.contains(QStringLiteral("--null")) ? '\0' : '\n';
    QByteArray out;
    for (qsizetype row : rows)
        out += QByteArray::number(row + 1) + '\t' + listPreview(items.at(row)).toUtf8() + end;
    return {kExitOk, out, {}};
}

Answer status(const Parsed& parsed, const Status& s, const QList<ClipboardItem>& items)
{
    return {kExitOk, statusText(s, items, parsed.options.contains(QStringLiteral("--json"))), {}};
}

} // namespace

std::variant<ClipboardItem, Answer> lookUpEntry(const QList<ClipboardItem>& items, const QString& ref)
{
    const bool digits =
        !ref.isEmpty() && std::all_of(ref.begin(), ref.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const auto noEntry = [&] {
        const QString held =
            items.size() == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(items.size());
        return Answer{
            kExitNoEntry,
            {},
            QStringLiteral("ondrel: no entry %1 (the history has %2)\n").arg(quoted(ref), held).toUtf8()};
    };
    if (digits) {
        bool ok = false;
        const qlonglong n = ref.size() <= 18 ? ref.toLongLong(&ok) : 0;
        if (!ok || n < 1 || n > items.size())
            return noEntry();
        return items.at(qsizetype(n - 1));
    }
    const QUuid id = QUuid::fromString(ref);
    if (id.isNull())
        return usageError(QStringLiteral("%1 is neither an entry's number nor its id").arg(quoted(ref)));
    const auto it =
        std::find_if(items.begin(), items.end(), [&id](const ClipboardItem& i) { return i.id() == id; });
    if (it == items.end())
        return noEntry();
    return *it;
}

std::optional<ClipboardItem> findEntry(const QList<ClipboardItem>& items, const QString& ref)
{
    auto found = lookUpEntry(items, ref);
    if (auto* item = std::get_if<ClipboardItem>(&found))
        return *item;
    return std::nullopt;
}

bool isHistoryCommand(const QString& name)
{
    return findCommand(name) != nullptr;
}

bool isReadCommand(const QString& name)
{
    const Command* command = findCommand(name);
    return command && command->reads;
}

QString overview()
{
    return QStringLiteral("  list [--json] [--null] [--limit K] [--search TEXT]\n"
                          "                           print the history, one numbered entry per line\n"
                          "  get [--type] N           write entry N (number or id) to standard output\n"
                          "  select N                 put entry N on the clipboard\n"
                          "  paste N                  put entry N on the clipboard and paste it\n"
                          "  delete N                 remove entry N\n"
                          "  pin N, unpin N           pin or unpin entry N\n"
                          "  add [FILE|-]             add a text and put it on the clipboard\n"
                          "  clear [--all]            remove the unpinned entries (--all: every one)\n"
                          "  pause [--for DURATION]   stop recording copies (until resume, or for 5m...)\n"
                          "  resume                   record copies again\n"
                          "  status [--json]          whether Ondrel runs, is paused, and more\n");
}

std::optional<Answer> checkUsage(const QStringList& args)
{
    auto parsed = parse(args);
    if (auto* answer = std::get_if<Answer>(&parsed))
        return *answer;
    const Parsed& p = std::get<Parsed>(parsed);
    if (p.help)
        return Answer{kExitOk, QByteArray(p.command->help) + kExitCodes, {}};
    return std::nullopt;
}

namespace {

Answer runAtOnce(const Parsed& parsed, const QByteArray& input, Target& target)
{
    const QString name = QLatin1String(parsed.command->name);
    if (!parsed.command->reads && !target.canChange())
        return {kExitNotRunning, {}, "ondrel: Ondrel is not running\n"};
    if (name == u"add") {
        if (!text::isValidUtf8(std::string_view(input.constData(), size_t(input.size()))))
            return usageError(QStringLiteral("the text to add is not UTF-8"));
        if (input.isEmpty())
            return usageError(QStringLiteral("nothing to add: the text is empty"));
        if (input.size() > target.entryLimit())
            return usageError(QStringLiteral("the text is larger than the %1 MiB limit (setting "
                                             "history/maxEntryBytes); not added")
                                  .arg(target.entryLimit() >> 20));
        return target.add(platform::decodeUtf8(input))
                   ? Answer{}
                   : Answer{kExitNoEntry, {}, "ondrel: could not put the text on the clipboard\n"};
    }
    if (name == u"clear") {
        target.clear(parsed.options.contains(QStringLiteral("--all")));
        return {};
    }
    if (name == u"pause") {
        const QString duration = parsed.options.value(QStringLiteral("--for"));
        target.pause(duration.isEmpty() ? std::nullopt : parseDuration(duration));
        return {};
    }
    if (name == u"resume") {
        target.resume();
        return {};
    }
    const QList<ClipboardItem> items = target.entries();
    if (name == u"list")
        return list(parsed, items);
    if (name == u"status")
        return status(parsed, target.status(), items);
    auto found = lookUpEntry(items, parsed.positional.first());
    if (auto* answer = std::get_if<Answer>(&found))
        return *answer;
    const ClipboardItem& item = std::get<ClipboardItem>(found);
    if (name == u"get")
        return parsed.options.contains(QStringLiteral("--type"))
                   ? Answer{kExitOk, entryMimeType(item).toUtf8() + '\n', {}}
                   : Answer{kExitOk, entryData(item), {}};
    if (name == u"delete")
        target.remove(item.id());
    else
        target.setPinned(item.id(), name == u"pin");
    return {};
}

} // namespace

void Target::readData(const ClipboardItem& item, std::function<void(std::optional<QByteArray>)> done)
{
    done(entryData(item));
}

void run(const QStringList& args, const QByteArray& input, Target& target, Reply reply)
{
    if (std::optional<Answer> answer = checkUsage(args))
        return reply(*answer);
    const Parsed parsed = std::get<Parsed>(parse(args));
    const QString name = QLatin1String(parsed.command->name);
    // What may wait for the disk, in the running program; the rest answers here.
    const bool writes = name == u"select" || name == u"paste";
    if (!target.canChange() ||
        !(writes || (name == u"get" && !parsed.options.contains(QStringLiteral("--type")))))
        return reply(runAtOnce(parsed, input, target));
    auto found = lookUpEntry(target.entries(), parsed.positional.first());
    if (auto* answer = std::get_if<Answer>(&found))
        return reply(*answer);
    const ClipboardItem& item = std::get<ClipboardItem>(found);
    if (!writes) {
        target.readData(item, [reply](std::optional<QByteArray> data) {
            reply(data ? Answer{kExitOk, std::move(*data), {}}
                       : Answer{kExitNoEntry, {}, "ondrel: the entry's file cannot be read\n"});
        });
        return;
    }
    // Answered once the entry is on the clipboard: a script reads it next.
    const bool paste = name == u"paste";
    const Target::Written written = [reply, paste, on = &target](bool done) {
        if (!done)
            return reply(Answer{kExitNoEntry, {}, "ondrel: could not put the entry on the clipboard\n"});
        // Asked once the paste has found its window.
        if (paste && !on->canPaste())
            return reply(Answer{kExitOk,
                                {},
                                "ondrel: no keys can be typed into another program here; the entry is "
                                "on the clipboard, paste it by hand\n"});
        reply({});
    };
    if (!(paste ? target.paste(item, written) : target.select(item, written)))
        written(false);
}

Answer runNow(const QStringList& args, const QByteArray& input, Target& target)
{
    std::optional<Answer> answered;
    run(args, input, target, [&answered](Answer answer) { answered = std::move(answer); });
    return answered ? std::move(*answered)
                    : Answer{kExitNotRunning, {}, "ondrel: the command did not answer at once\n"};
}

} // namespace ondrel::commands
