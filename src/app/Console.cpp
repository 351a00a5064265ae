#include "Console.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstring>

namespace ondrel {

namespace {

QtMessageHandler g_qtFormat = nullptr;

void printOurs(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && context.category && std::strncmp(context.category, "ondrel.", 7) == 0) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    g_qtFormat(type, context, message);
}

} // namespace

void installConsoleFormat()
{
    g_qtFormat = qInstallMessageHandler(printOurs);
}

} // namespace ondrel
