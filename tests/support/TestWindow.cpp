#include "TestWindow.h"

#include "TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QTest>
#include <QTimer>

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
    // Its Wayland app_id.
    QGuiApplication::setDesktopFileName(
        qEnvironmentVariable("ONDREL_TEST_WINDOW_APP_ID", QStringLiteral("ondrel-test-window")));
    PasteWindow window;
    // Keys sent before Qt has taken the focus in are dropped: say when it has.
    QObject::connect(&window, &QWindow::activeChanged, [&window] {
        if (window.isActive()) {
            std::puts("active");
            std::fflush(stdout);
        }
    });
    window.setTitle(QString::fromUtf8(argv[2]));
    window.setIcon(QIcon(QPixmap::fromImage(filledImage(QSize(16, 16), Qt::blue))));
    window.resize(360, 140);
    window.show();
    window.requestActivate();
    return app.exec();
}

TestWindow::~TestWindow()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool TestWindow::start(const QString& title, const std::function<bool(qint64 pid)>& shownActive)
{
    m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--test-window"), title});
    if (!m_process.waitForStarted())
        return false;
    if (shownActive && !QTest::qWaitFor([&] { return shownActive(m_process.processId()); }, 10000))
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

} // namespace ondrel::test
