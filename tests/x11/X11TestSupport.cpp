#include "X11TestSupport.h"
#include "TestSupport.h"
#include "Xcb.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QTest>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace ondrel::test {

namespace {

class PasteWindow final : public QRasterWindow
{
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect area(QPoint(0, 0), size());
        painter.fillRect(area, Qt::white);
        painter.drawText(area.adjusted(8, 8, -8, -8), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                         QStringLiteral("Pasted:\n") + m_pasted);
        // A paste is reported once it is on screen (after this paint is
        // flushed), so a screenshot taken then shows it.
        if (!m_unreported.isEmpty())
            QTimer::singleShot(0, this, [lines = std::exchange(m_unreported, {})] {
                for (const QByteArray& line : lines)
                    std::printf("%s\n", line.constData());
                std::fflush(stdout);
            });
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                                 Qt::AltModifier | Qt::MetaModifier);
        const char* chord = nullptr;
        if (event->key() == Qt::Key_V && mods == Qt::ControlModifier)
            chord = "ctrl+v";
        else if (event->key() == Qt::Key_V && mods == (Qt::ControlModifier | Qt::ShiftModifier))
            chord = "ctrl+shift+v";
        else if (event->key() == Qt::Key_Insert && mods == Qt::ShiftModifier)
            chord = "shift+insert";
        else if (event->key() == Qt::Key_V)
            chord = "v-with-other-modifiers";
        if (!chord)
            return;
        const QString text = QGuiApplication::clipboard()->text();
        m_pasted += QString::fromLatin1(chord) + QStringLiteral(": ") + text + u'\n';
        m_unreported << QByteArray(chord) + ' ' + text.toUtf8();
        update();
    }

    void keyReleaseEvent(QKeyEvent* event) override
    {
        // A key that never comes up repeats in the window.
        if (event->key() == Qt::Key_V && !event->isAutoRepeat()) {
            m_unreported << "released v";
            update();
        }
    }

private:
    QString m_pasted;
    QList<QByteArray> m_unreported;
};

} // namespace

int runTestWindowIfAsked(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "--test-window") != 0)
        return -1;
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondrel-test-window"));
    QGuiApplication::setDesktopFileName(QStringLiteral("ondrel-test-window")); // its Wayland app_id
    PasteWindow window;
    // Keys sent before Qt has taken the focus in are dropped: say when it has.
    QObject::connect(&window, &QWindow::activeChanged, [&window] {
        if (window.isActive()) {
            std::puts("active");
            std::fflush(stdout);
        }
    });
    window.setTitle(QString::fromUtf8(argv[2]));
    window.setIcon(QIcon(QPixmap::fromImage(test::filledImage(QSize(16, 16), Qt::blue))));
    window.resize(360, 140);
    window.show();
    window.requestActivate();
    return app.exec();
}

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
    return runProgram(QStringLiteral("xdotool"),
                      {QStringLiteral("getactivewindow"), QStringLiteral("getwindowpid")})
        .value_or(QString())
        .toUInt();
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

TestWindow::~TestWindow()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool TestWindow::start(const QString& title)
{
    m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--test-window"), title});
    if (!m_process.waitForStarted())
        return false;
    // Its own window: the one of the test before has the same class. (On
    // Wayland no program sees another's process; its "active" line tells.)
    if (connection() &&
        !QTest::qWaitFor([&] { return activeWindowPid() == quint32(m_process.processId()); }, 10000))
        return false;
    bool active = false;
    return QTest::qWaitFor(
        [&] {
            while (!active && m_process.canReadLine())
                active = QString::fromUtf8(m_process.readLine()).trimmed() == u"active";
            return active;
        },
        10000);
}

QString TestWindow::waitForPaste(bool releases)
{
    // The event loop keeps running: the window may read the clipboard from us.
    for (;;) {
        if (!QTest::qWaitFor([&] { return m_process.canReadLine(); }, 5000))
            return QStringLiteral("(nothing pasted)");
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        // Regaining the focus is reported too.
        if (line != u"active" && (releases || line != u"released v"))
            return line;
    }
}

std::optional<QString> runProgram(const QString& program, const QStringList& arguments,
                                  const QString& display)
{
    QProcess process;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        process.setProcessEnvironment(env);
    }
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString popoverWindow(const QString& display)
{
    const QStringList search = {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                QStringLiteral("--name"), QStringLiteral("^Ondrel$")};
    return runProgram(QStringLiteral("xdotool"), search, display).value_or(QString()).section(u'\n', 0, 0);
}

QString trayIconWindow(qint64 pid, const QString& display)
{
    const QStringList windows = runProgram(QStringLiteral("xdotool"),
                                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--pid"), QString::number(pid)},
                                           display)
                                    .value_or(QString())
                                    .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& w : windows)
        if (runProgram(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), w}, display)
                .value_or(QString())
                .contains(u"22x22"))
            return w;
    return {};
}

} // namespace ondrel::test
