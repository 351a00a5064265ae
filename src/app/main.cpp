#include "Cli.h"
#include "HistoryClient.h"
#include "HistoryCommands.h"
#include "SingleInstance.h"
#include "TrayApp.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A standard stream that is closed would be taken by the next file or
// socket opened, and output or input would go there instead: it gets
// /dev/null opened the wrong way round, so that using it fails as a
// closed one should.
void holdClosedStreams()
{
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            const int held = ::open("/dev/null", (fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
            if (held >= 0 && held != fd) {
                ::dup2(held, fd);
                ::close(held);
            }
        }
}

} // namespace

int main(int argc, char* argv[])
{
    // Without a command: the tray application.
    if (argc < 2)
        return ondrel::runTrayApp(argc, argv);
    holdClosedStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondrel"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args == QStringList{QStringLiteral("toggle")}) {
        const auto result = ondrel::SingleInstance::send(QStringLiteral("toggle"));
        if (result)
            return 0;
        std::fprintf(stderr, "%s\n", qPrintable(result.message()));
        return 1;
    }
    if (args == QStringList{QStringLiteral("--version")}) {
        std::printf("ondrel %s\n", ONDREL_VERSION);
        return 0;
    }
    const int code = ondrel::commands::isHistoryCommand(args.first())
                         ? ondrel::runHistoryCommand(args, stdin, stdout, stderr)
                         : ondrel::cli::run(args, stdin, stdout, stderr);
    // What is still buffered is written at the close; a failure there counts too.
    if (std::fclose(stdout) != 0 && code == ondrel::cli::kExitOk) {
        std::fprintf(stderr, "ondrel: cannot write output: %s\n", std::strerror(errno));
        return ondrel::cli::kExitUsage;
    }
    return code;
}
