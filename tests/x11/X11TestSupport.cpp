#include "X11TestSupport.h"
#include "TestSupport.h"
#include "Xcb.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>

namespace ondrel::test {

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow()
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
}

quint32 activeWindowPid()
{
    return xdotool(QStringLiteral("getactivewindow getwindowpid")).value_or(QString()).toUInt();
}

std::optional<QString> xdotool(const QString& words, const QString& display)
{
    return runProgram(QStringLiteral("xdotool"), words.split(u' '), display);
}

xcb_window_t clipboardOwner()
{
    xcb_connection_t* c = connection();
    static const xcb_atom_t clipboard = platform::xcb::atom(c, "CLIPBOARD");
    const auto reply =
        platform::xcb::own(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr));
    return reply ? reply->owner : xcb_window_t(XCB_NONE);
}

void offer(const QByteArray& bytes, const QString& type)
{
    // xclip takes the clipboard in the background after it returns; a test
    // must not read before that (the last owner going away is a change too).
    const xcb_window_t before = clipboardOwner();
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-t"), type, QStringLiteral("-i")});
    QVERIFY(xclip.waitForStarted());
    xclip.write(bytes);
    xclip.closeWriteChannel();
    QVERIFY(xclip.waitForFinished(5000));
    QVERIFY(QTest::qWaitFor(
        [&] {
            const xcb_window_t now = clipboardOwner();
            return now != XCB_NONE && now != before;
        },
        5000));
}

QByteArray readBack(const QString& type)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-t"), type, QStringLiteral("-o")});
    if (!QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 5000))
        return "timed out";
    return xclip.readAllStandardOutput();
}

HungOwner::~HungOwner()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool HungOwner::start(const QString& mode)
{
    m_process.start(QStringLiteral(HUNG_CLIPBOARD_OWNER), mode.isEmpty() ? QStringList() : QStringList{mode});
    return m_process.waitForStarted() && waitFor("owned");
}

void HungOwner::collect()
{
    while (m_process.canReadLine()) {
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("request "))
            m_requests << QString::fromUtf8(line.mid(8));
        m_lines << line;
    }
}

bool HungOwner::waitFor(const QByteArray& line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        collect();
        for (qsizetype i = 0; i < m_lines.size(); ++i)
            if (m_lines.at(i) == line) {
                m_lines.remove(0, i + 1);
                return true;
            }
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
}

QStringList HungOwner::requests()
{
    m_process.waitForReadyRead(0);
    collect();
    return m_requests;
}

QByteArray heavySvg(int side, int circles, int radius)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + QByteArray::number(side) +
                     "\" height=\"" + QByteArray::number(side) + "\">\n";
    for (int i = 0; i < circles; ++i) {
        svg += "<circle cx=\"" + QByteArray::number(side / 2) + "\" cy=\"" + QByteArray::number(side / 2) +
               "\" r=\"" + QByteArray::number(radius + i % 50) + "\" fill=\"none\" stroke=\"#" +
               QByteArray::number(0x100000 + i * 37 % 0xefffff, 16) +
               "\" stroke-width=\"3\" stroke-dasharray=\"1,1\"/>\n";
    }
    return svg + "</svg>\n";
}

bool isActiveWindow(qint64 pid)
{
    return activeWindowPid() == quint32(pid);
}

QString popoverWindow(const QString& display)
{
    return xdotool(QStringLiteral("search --onlyvisible --name ^Ondrel$"), display)
        .value_or(QString())
        .section(u'\n', 0, 0);
}

QString trayIconWindow(qint64 pid, const QString& display)
{
    const QStringList windows = xdotool(QStringLiteral("search --onlyvisible --pid %1").arg(pid), display)
                                    .value_or(QString())
                                    .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& w : windows)
        // The tray's height; a program at twice the scale asks for a wider one.
        if (xdotool(QStringLiteral("getwindowgeometry ") + w, display)
                .value_or(QString())
                .contains(QRegularExpression(QStringLiteral("Geometry: \\d+x22\\b"))))
            return w;
    return {};
}

} // namespace ondrel::test
