#include "BrisolApp.h"
#include "Cli.h"
#include "SingleInstance.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // Without a command: the tray application.
    if (argc < 2)
        return ondrel::runBrisolApp(argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondrel"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args == QStringList{QStringLiteral("toggle")}) {
        if (ondrel::SingleInstance::send(QStringLiteral("toggle")))
            return 0;
        std::fputs("ondrel: Ondrel is not running (start it with `ondrel`)\n", stderr);
        return 1;
    }
    return ondrel::cli::run(args, stdin, stdout, stderr);
}
