#include "Cli.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondrel"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    // The tray application joins here once it exists; until then every
    // invocation is a command-line tool (no command prints the usage).
    return ondrel::cli::run(args, stdin, stdout, stderr);
}
