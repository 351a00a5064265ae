#include "PasteChord.h"
#include "TestSupport.h"

#include <QTest>

using namespace ondrel;

// The chord by window class: X11 gives instance and class, Wayland its app id as both.
class TestPasteChord : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void chords_data();
    void chords();
};

void TestPasteChord::chords_data()
{
    QTest::addColumn<QString>("instance");
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<int>("chord");
    QTest::newRow("editor") << QStringLiteral("gedit") << QStringLiteral("Gedit")
                            << int(platform::PasteChord::ControlV);
    QTest::newRow("xterm") << QStringLiteral("xterm") << QStringLiteral("XTerm")
                           << int(platform::PasteChord::ShiftInsert);
    QTest::newRow("terminal by instance")
        << QStringLiteral("foot") << QStringLiteral("Main") << int(platform::PasteChord::ControlShiftV);
    QTest::newRow("terminal by class") << QStringLiteral("main") << QStringLiteral("org.wezfurlong.wezterm")
                                       << int(platform::PasteChord::ControlShiftV);
    QTest::newRow("terminal in another case") << QStringLiteral("Alacritty") << QStringLiteral("Alacritty")
                                              << int(platform::PasteChord::ControlShiftV);
    // Wayland names windows by app id (given as both), often the desktop id.
    for (const char* appId : {"org.gnome.Terminal", "org.kde.konsole.desktop"})
        QTest::addRow("app id %s", appId) << QString::fromUtf8(appId) << QString::fromUtf8(appId)
                                          << int(platform::PasteChord::ControlShiftV);
    QTest::newRow("app id of an editor")
        << QStringLiteral("org.gnome.TextEditor") << QStringLiteral("org.gnome.TextEditor")
        << int(platform::PasteChord::ControlV);
    QTest::newRow("no app id") << QString() << QString() << int(platform::PasteChord::ControlV);
}

void TestPasteChord::chords()
{
    QFETCH(QString, instance);
    QFETCH(QString, windowClass);
    QFETCH(int, chord);
    QCOMPARE(int(platform::pasteChordFor(instance, windowClass)), chord);
}

QTEST_APPLESS_MAIN(TestPasteChord)
#include "tst_pastechord.moc"
