#include "Cli.h"

#include "DetectedLanguage.h"
#include "EntrySize.h"
#include "Highlighter.h"
#include "HistoryCommands.h"
#include "Json.h"
#include "LanguageDetector.h"
#include "Text.h"
#include "Transformations.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <QStringDecoder>
#include <cerrno>

#include <cstring>
#include <optional>
#include <string>

namespace ondrel::cli {

namespace {

// Input larger than an entry may be is refused rather than read into memory.
constexpr qint64 kMaxInputBytes = platform::kMaxEntryBytes;

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    // A failed write leaves the stream's error flag set; run() reports it.
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

QString usage()
{
    return QStringLiteral("Usage: ondrel [COMMAND [ARGUMENTS]]\n"
                          "\n"
                          "Without a command Ondrel starts in the system tray and records what is\n"
                          "copied; when it runs already, a second start opens its popover.\n"
                          "\n"
                          "Commands on the running Ondrel (N is an entry's number in the popover,\n"
                          "from 1, or its id):\n"
                          "  toggle                   open or close the popover\n") +
           commands::overview() +
           QStringLiteral(
               "list, get and status also work when Ondrel is not running: they read its\n"
               "history file.\n"
               "\n"
               "Commands on a text:\n"
               "  detect [FILE]            print the language guessed for FILE (or standard input)\n"
               "  transform NAME [FILE]    apply a text transformation (see 'ondrel transform --help')\n"
               "  highlight LANGUAGE [FILE]  print the coloured spans of a text as JSON\n"
               "\n"
               "  --version                print the version\n"
               "\n"
               "Run 'ondrel COMMAND --help' for the details of a command. Exit status: 0 on\n"
               "success, 1 when there is no such entry (or a transformation fails), 2 for\n"
               "wrong usage or unreadable input, 3 when Ondrel is not running.\n");
}

const char* const kDetectUsage =
    "Usage: ondrel detect [FILE]\n"
    "\n"
    "Prints the language guessed for the UTF-8 text in FILE, or standard input\n"
    "when FILE is absent or '-': one of swift, javascript, typescript, python,\n"
    "ruby, json, html, css, shell, sql, go, rust, plain.\n"
    "\n"
    "Exit status: 0 on success, 2 when the input cannot be read or is not UTF-8.\n";

const char* const kTransformUsage =
    "Usage: ondrel transform NAME [FILE]\n"
    "\n"
    "Writes the UTF-8 text in FILE (or standard input when FILE is absent or '-')\n"
    "transformed by NAME to standard output, byte for byte, with no newline added.\n"
    "NAME is a shown name (\"snake_case\", \"Base64 Decode\") or a case name\n"
    "(\"snakeCase\", \"base64Decode\"):\n"
    "\n";

const char* const kTransformExit =
    "\n"
    "Exit status: 0 on success, 1 when the transformation fails on this text,\n"
    "2 for an unknown NAME or input that cannot be read or is not UTF-8.\n";

const char* const kHighlightUsage =
    "Usage: ondrel highlight LANGUAGE [FILE]\n"
    "\n"
    "Prints the coloured spans of the UTF-8 text in FILE (or standard input) as a\n"
    "JSON array of {\"start\",\"end\",\"role\",\"color\"}, with offsets in code points;\n"
    "the spans cover the text without gaps. LANGUAGE is one of: %1.\n"
    "\n"
    "Exit status: 0 on success, 2 for an unknown LANGUAGE or input that cannot be\n"
    "read or is not UTF-8.\n";

QString transformationList()
{
    QString list;
    for (Transformation t : kAllTransformations)
        list += QStringLiteral("  %1  (%2)\n").arg(caseName(t).leftJustified(15), rawValue(t));
    return list;
}

QString languageList()
{
    QStringList names;
    for (DetectedLanguage l : kAllLanguages)
        names << rawValue(l);
    return names.join(QStringLiteral(", "));
}

bool wantsHelp(const QStringList& args)
{
    return args.contains(u"--help") || args.contains(u"-h");
}

enum class ReadStatus
{
    ok,
    failed,
    tooLarge
};

ReadStatus readAll(std::FILE* stream, QByteArray& bytes)
{
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        if (bytes.size() + qint64(n) > kMaxInputBytes)
            return ReadStatus::tooLarge;
        bytes.append(buffer, static_cast<qsizetype>(n));
    }
    return std::ferror(stream) ? ReadStatus::failed : ReadStatus::ok;
}

// Reads FILE (or `in`), checks that it is UTF-8; on failure prints one line and returns none.
} // namespace

std::optional<QByteArray> readInputBytes(const QStringList& operands, std::FILE* in, std::FILE* err)
{
    QByteArray bytes;
    const bool fromStdin = operands.isEmpty() || operands.first() == u"-";
    const QString name = fromStdin ? QStringLiteral("standard input") : operands.first();
    ReadStatus status = ReadStatus::failed;
    if (fromStdin) {
        status = readAll(in, bytes);
    } else {
        std::FILE* file = std::fopen(QFile::encodeName(name).constData(), "rb");
        if (!file) {
            print(err, QStringLiteral("ondrel: cannot read %1: %2\n")
                           .arg(name, QString::fromLocal8Bit(std::strerror(errno))));
            return std::nullopt;
        }
        status = readAll(file, bytes);
        const int error = errno;
        std::fclose(file);
        errno = error;
    }
    if (status == ReadStatus::tooLarge) {
        print(err, QStringLiteral("ondrel: %1 is larger than %2 MiB; not read\n")
                       .arg(name)
                       .arg(kMaxInputBytes >> 20));
        return std::nullopt;
    }
    if (status == ReadStatus::failed) {
        print(err, QStringLiteral("ondrel: cannot read %1: %2\n")
                       .arg(name, QString::fromLocal8Bit(std::strerror(errno))));
        return std::nullopt;
    }
    if (!text::isValidUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
        print(err, QStringLiteral("ondrel: the input is not valid UTF-8\n"));
        return std::nullopt;
    }
    return bytes;
}

namespace {

std::optional<QString> readInput(const QStringList& operands, std::FILE* in, std::FILE* err)
{
    const std::optional<QByteArray> bytes = readInputBytes(operands, in, err);
    if (!bytes)
        return std::nullopt;
    // Byte for byte: a leading byte-order mark is part of the text.
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return QString(decode(*bytes));
}

QString failureReason(Transformation t, const QString& input)
{
    switch (t) {
    case Transformation::base64Decode:
        return QStringLiteral("the text is not padded Base64 of UTF-8 text");
    case Transformation::urlDecode:
        return QStringLiteral(
            "the text has a '%' without two hexadecimal digits, or does not decode to UTF-8");
    case Transformation::jsonPrettify:
    case Transformation::jsonMinify:
        if (json::nestsTooDeep(input.toStdString()))
            return QStringLiteral("the JSON nests deeper than %1 levels").arg(json::kMaxDepth);
        return QStringLiteral("the text is not a JSON object or array");
    default:
        return QStringLiteral("the text cannot be written as UTF-8");
    }
}

int runDetect(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err)
{
    if (args.contains(u"--help") || args.contains(u"-h")) {
        std::fputs(kDetectUsage, out);
        return kExitOk;
    }
    if (args.size() > 1 || (!args.isEmpty() && args.first().startsWith(u'-') && args.first() != u"-")) {
        std::fputs(kDetectUsage, err);
        return kExitUsage;
    }
    const auto input = readInput(args, in, err);
    if (!input)
        return kExitUsage;
    print(out, rawValue(detectLanguage(QStringView(*input))) + u'\n');
    return kExitOk;
}

int runTransform(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err)
{
    if (wantsHelp(args)) {
        print(out,
              QString::fromUtf8(kTransformUsage) + transformationList() + QString::fromUtf8(kTransformExit));
        return kExitOk;
    }
    if (args.isEmpty() || args.size() > 2) {
        print(err,
              QString::fromUtf8(kTransformUsage) + transformationList() + QString::fromUtf8(kTransformExit));
        return kExitUsage;
    }
    std::optional<Transformation> transformation = transformationFromRawValue(args.first());
    for (Transformation t : kAllTransformations)
        if (!transformation && caseName(t) == args.first())
            transformation = t;
    if (!transformation) {
        print(err, QStringLiteral("ondrel: unknown transformation '%1'; the transformations are:\n")
                           .arg(args.first()) +
                       transformationList());
        return kExitUsage;
    }
    const auto input = readInput(args.mid(1), in, err);
    if (!input)
        return kExitUsage;
    const auto result = apply(*transformation, *input);
    if (!result) {
        print(err, QStringLiteral("ondrel: %1 failed: %2\n")
                       .arg(rawValue(*transformation), failureReason(*transformation, *input)));
        return kExitFailure;
    }
    print(out, *result);
    return kExitOk;
}

int runHighlight(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err)
{
    const QString usage = QString::fromUtf8(kHighlightUsage).arg(languageList());
    if (wantsHelp(args)) {
        print(out, usage);
        return kExitOk;
    }
    if (args.isEmpty() || args.size() > 2) {
        print(err, usage);
        return kExitUsage;
    }
    const auto language = languageFromRawValue(args.first());
    if (!language) {
        print(err, QStringLiteral("ondrel: unknown language '%1'; the languages are: %2\n")
                       .arg(args.first(), languageList()));
        return kExitUsage;
    }
    const auto input = readInput(args.mid(1), in, err);
    if (!input)
        return kExitUsage;
    // Offsets in code points: count them while walking the UTF-16 spans.
    std::string json = "[";
    qsizetype codePoints = 0;
    qsizetype unit = 0;
    const QString& text = *input;
    bool first = true;
    for (const HighlightSpan& span : highlight(text, *language)) {
        const qsizetype start = codePoints;
        for (; unit < span.end; ++unit)
            if (!text[unit].isLowSurrogate() || unit == 0 || !text[unit - 1].isHighSurrogate())
                ++codePoints;
        json += first ? "" : ",";
        first = false;
        json += "{\"start\":" + std::to_string(start) + ",\"end\":" + std::to_string(codePoints) +
                ",\"role\":\"" + roleName(span.role).toStdString() + "\",\"color\":\"" +
                hexName(highlightColor(span.role)).toStdString() + "\"}";
    }
    json += "]\n";
    std::fwrite(json.data(), 1, json.size(), out);
    return kExitOk;
}

int dispatch(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err)
{
    if (args.isEmpty() || args.first() == u"--help" || args.first() == u"-h" || args.first() == u"help") {
        print(args.isEmpty() ? err : out, usage());
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    const QString command = args.first();
    const QStringList rest = args.mid(1);
    if (command == u"detect")
        return runDetect(rest, in, out, err);
    if (command == u"transform")
        return runTransform(rest, in, out, err);
    if (command == u"highlight")
        return runHighlight(rest, in, out, err);
    print(err, QStringLiteral("ondrel: unknown command '%1'\n").arg(command) + usage());
    return kExitUsage;
}

} // namespace

int run(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err)
{
    errno = 0;
    const int code = dispatch(args, in, out, err);
    // Output that did not arrive is a failure, whatever the command did: a
    // full disk or a closed pipe must not look like success.
    const bool flushed = std::fflush(out) == 0;
    if (!flushed || std::ferror(out)) {
        const int error = errno;
        print(err,
              QStringLiteral("ondrel: cannot write output: %1\n")
                  .arg(error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("write error")));
        return kExitUsage;
    }
    return code;
}

} // namespace ondrel::cli
