#include "HistoryClient.h"

#include "Cli.h"
#include "HistoryCommands.h"
#include "HistoryFile.h"
#include "PopoverState.h"
#include "PrivateFiles.h"
#include "SingleInstance.h"

#include <cerrno>
#include <cstring>

namespace ondrel {

namespace {

// The history file, read without touching it: no lock, no repair, nothing
// moved aside. Ids are made afresh at each read.
class FileTarget final : public commands::Target
{
public:
    explicit FileTarget(HistoryFile& file, std::FILE* err) : m_file(file)
    {
        const platform::PrivateRead read = platform::readPrivateFile(file.filePath());
        if (read.missing) // images and files alone are kept beside it
            m_items = PopoverState::ordered(EntryFiles(file.folder()).load({}, false));
        if (read.bytes) {
            if (auto items = HistoryFile::decode(*read.bytes))
                m_items = PopoverState::ordered(EntryFiles(file.folder()).load(std::move(*items), false));
            else
                std::fprintf(err, "ondrel: the history file %s cannot be read\n",
                             qPrintable(file.filePath()));
        } else if (!read.missing) {
            std::fprintf(err, "ondrel: the history file %s cannot be read: %s\n", qPrintable(file.filePath()),
                         qPrintable(read.error));
        }
    }
    QList<ClipboardItem> entries() const override { return m_items; }
    commands::Status status() const override
    {
        commands::Status status;
        status.historyPath = m_file.filePath();
        return status;
    }
    bool canChange() const override { return false; }

private:
    HistoryFile& m_file;
    QList<ClipboardItem> m_items;
};

bool write(std::FILE* stream, const QByteArray& bytes)
{
    return bytes.isEmpty() ||
           std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
}

} // namespace

int runHistoryCommand(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err)
{
    // Wrong usage is told here, before anything is asked of the instance.
    std::optional<commands::Answer> answer = commands::checkUsage(args);
    QByteArray input;
    if (!answer && args.first() == u"add") {
        if (std::optional<QByteArray> text = cli::readInputBytes(args.mid(1), in, err))
            input = std::move(*text);
        else
            return commands::kExitUsage;
    }
    if (!answer) {
        QStringList sent = args;
        if (sent.first() == u"add")
            sent = {QStringLiteral("add"), QStringLiteral("-")}; // the text goes as input, whatever FILE was
        const SingleInstance::CallResult called = SingleInstance::call({sent, input});
        if (called.result)
            answer = commands::Answer{called.answer.code, called.answer.out, called.answer.err};
        else if (called.result.reply != SingleInstance::Reply::NotRunning) {
            std::fprintf(err, "%s\n", qPrintable(called.result.message()));
            return commands::kExitNotRunning;
        }
    }
    if (!answer) {
        // Not running: what only reads is answered from the history file.
        if (!commands::isReadCommand(args.first())) {
            std::fputs("ondrel: Ondrel is not running\n", err);
            return commands::kExitNotRunning;
        }
        HistoryFile file;
        std::fprintf(err, "ondrel: Ondrel is not running; reading %s\n", qPrintable(file.filePath()));
        FileTarget target(file, err);
        answer = commands::runNow(args, {}, target);
    }
    write(err, answer->err);
    errno = 0;
    if (!write(out, answer->out) || std::fflush(out) != 0 || std::ferror(out)) {
        const int error = errno;
        std::fprintf(err, "ondrel: cannot write output: %s\n", error ? std::strerror(error) : "write error");
        return commands::kExitUsage;
    }
    return answer->code;
}

} // namespace ondrel
