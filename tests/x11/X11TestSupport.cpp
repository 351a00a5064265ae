#include "X11TestSupport.h"
#include "Xcb.h"

#include <QGuiApplication>
#include <QProcess>
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

namespace {

// A 32-bit property of a window (0 when absent or of another size).
quint32 cardinalProperty(xcb_window_t window, std::string_view name, xcb_atom_t type)
{
    const xcb_atom_t property = platform::xcb::atom(connection(), name);
    if (property == XCB_ATOM_NONE)
        return 0;
    const auto reply = platform::xcb::own(xcb_get_property_reply(
        connection(), xcb_get_property(connection(), 0, window, property, type, 0, 1), nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) != 4)
        return 0;
    return *static_cast<const quint32*>(xcb_get_property_value(reply.get()));
}

} // namespace

quint32 windowPid(xcb_window_t window)
{
    return cardinalProperty(window, "_NET_WM_PID", XCB_ATOM_CARDINAL);
}

quint32 activeWindowPid()
{
    const xcb_window_t window = cardinalProperty(rootWindow(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return window ? windowPid(window) : 0;
}

namespace {

xcb_window_t clipboardOwner()
{
    xcb_connection_t* c = connection();
    static const xcb_atom_t clipboard = platform::xcb::atom(c, "CLIPBOARD");
    const auto reply =
        platform::xcb::own(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr));
    return reply ? reply->owner : xcb_window_t(XCB_NONE);
}

} // namespace

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

bool HungOwner::start(bool answerTargets)
{
    m_process.start(QStringLiteral(HUNG_CLIPBOARD_OWNER),
                    answerTargets ? QStringList{QStringLiteral("--answer-targets")} : QStringList());
    return m_process.waitForStarted() && m_process.waitForReadyRead(5000) &&
           m_process.readLine().trimmed() == "owned";
}

QStringList HungOwner::requests()
{
    m_process.waitForReadyRead(0);
    while (m_process.canReadLine()) {
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("request "))
            m_requests << QString::fromUtf8(line.mid(8));
    }
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

} // namespace ondrel::test
