#include "TestWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QRasterWindow>

#include <cstdio>
#include <cstring>

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
        update();
        std::printf("%s %s\n", chord, text.toUtf8().constData());
        std::fflush(stdout);
    }

private:
    QString m_pasted;
};

QImage blueIcon()
{
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::blue);
    return icon;
}

} // namespace

int runTestWindowIfAsked(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "--test-window") != 0)
        return -1;
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondrel-test-window"));
    PasteWindow window;
    window.setTitle(QString::fromUtf8(argv[2]));
    window.setIcon(QIcon(QPixmap::fromImage(blueIcon())));
    window.resize(360, 140);
    window.show();
    window.requestActivate();
    return app.exec();
}

} // namespace ondrel::test
