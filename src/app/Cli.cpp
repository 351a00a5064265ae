#include "Cli.h"

#include "DetectedLanguage.h"
#include "LanguageDetector.h"
#include "Text.h"

#include <QFile>
#include <QString>

#include <optional>
#include <string>

namespace ondrel::cli {

namespace {

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

const char* const kUsage = "Usage: ondrel COMMAND [ARGUMENTS]\n"
                           "\n"
                           "Commands:\n"
                           "  detect [FILE]   print the language guessed for FILE (or standard input)\n"
                           "\n"
                           "Run 'ondrel COMMAND --help' for the details of a command.\n";

const char* const kDetectUsage =
    "Usage: ondrel detect [FILE]\n"
    "\n"
    "Prints the language guessed for the UTF-8 text in FILE, or standard input\n"
    "when FILE is absent or '-': one of swift, javascript, typescript, python,\n"
    "ruby, json, html, css, shell, sql, go, rust, plain.\n"
    "\n"
    "Exit status: 0 on success, 2 when the input cannot be read or is not UTF-8.\n";

std::optional<QByteArray> readAll(std::FILE* stream)
{
    QByteArray bytes;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    if (std::ferror(stream))
        return std::nullopt;
    return bytes;
}

// Reads FILE (or `in`), checks that it is UTF-8; on failure prints one line and returns none.
std::optional<QString> readInput(const QStringList& operands, std::FILE* in, std::FILE* err)
{
    std::optional<QByteArray> bytes;
    const bool fromStdin = operands.isEmpty() || operands.first() == u"-";
    if (fromStdin) {
        bytes = readAll(in);
        if (!bytes) {
            print(err, QStringLiteral("ondrel: cannot read standard input\n"));
            return std::nullopt;
        }
    } else {
        QFile file(operands.first());
        if (!file.open(QIODevice::ReadOnly)) {
            print(err,
                  QStringLiteral("ondrel: cannot read %1: %2\n").arg(operands.first(), file.errorString()));
            return std::nullopt;
        }
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            print(err,
                  QStringLiteral("ondrel: cannot read %1: %2\n").arg(operands.first(), file.errorString()));
            return std::nullopt;
        }
    }
    if (!text::isValidUtf8(std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())))) {
        print(err, QStringLiteral("ondrel: the input is not valid UTF-8\n"));
        return std::nullopt;
    }
    return QString::fromUtf8(*bytes);
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

} // namespace

int run(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err)
{
    if (args.isEmpty() || args.first() == u"--help" || args.first() == u"-h" || args.first() == u"help") {
        std::fputs(kUsage, args.isEmpty() ? err : out);
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    const QString command = args.first();
    const QStringList rest = args.mid(1);
    if (command == u"detect")
        return runDetect(rest, in, out, err);
    print(err, QStringLiteral("ondrel: unknown command '%1'\n").arg(command));
    std::fputs(kUsage, err);
    return kExitUsage;
}

} // namespace ondrel::cli
