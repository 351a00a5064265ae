// The look on a desktop that prefers dark, then switches to light while the
// program runs: the real portal with its GTK backend reads the setting from
// dconf, as on GNOME (scripts/with-x11 --portal).
#include "AppProcess.h"
#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

using namespace ondrel;

namespace {

// The user switches the desktop's style, as GNOME's settings do.
bool setColorScheme(const QString& scheme)
{
    return test::runProgram(QStringLiteral("gsettings"),
                            {QStringLiteral("set"), QStringLiteral("org.gnome.desktop.interface"),
                             QStringLiteral("color-scheme"), scheme})
        .has_value();
}

// How light the popover is as the X server shows it: the mean grey of its
// pixels, 0 to 255 (-1 while it is not on screen).
int popoverLightness()
{
    const QString window = test::popoverWindow();
    if (window.isEmpty())
        return -1;
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window.toULongLong()).toImage();
    if (shot.isNull())
        return -1;
    qint64 sum = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            sum += qGray(shot.pixel(x, y));
    return int(sum / (qint64(shot.width()) * shot.height()));
}

} // namespace

class TestX11Look : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void followsTheDesktopsColorScheme();
};

void TestX11Look::followsTheDesktopsColorScheme()
{
    QVERIFY2(qEnvironmentVariable("XDG_CURRENT_DESKTOP") == u"GNOME", "run inside scripts/with-x11 --portal");
    QVERIFY(setColorScheme(QStringLiteral("prefer-dark")));
    test::AppProcess app(QStringLiteral(ONDREL_BINARY));
    QVERIFY(app.start());
    // The portal's answer comes after start-up, which did not wait for it.
    QVERIFY(app.said(QStringLiteral("trace look-dark ")));
    QVERIFY(app.toggle());
    QVERIFY(app.said(QStringLiteral("trace popover-painted ")));
    const int dark = popoverLightness();
    QVERIFY2(dark >= 0 && dark < 80, qPrintable(QString::number(dark)));

    // Switched while the popover is open: it turns light where it stands.
    QVERIFY(setColorScheme(QStringLiteral("prefer-light")));
    QVERIFY(app.said(QStringLiteral("trace look-light ")));
    QTRY_VERIFY_WITH_TIMEOUT(popoverLightness() > 180, 5000);
    QVERIFY(!test::popoverWindow().isEmpty());

    const QStringList said = app.unexpectedLines({});
    QVERIFY2(said.isEmpty(), qPrintable(said.join(u'\n')));
}

QTEST_MAIN(TestX11Look)
#include "tst_x11look.moc"
