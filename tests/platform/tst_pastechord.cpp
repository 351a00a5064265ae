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
    QTest::newRow("browser") << QStringLiteral("Navigator") << QStringLiteral("firefox")
                             << int(platform::PasteChord::ControlV);
    QTest::newRow("xterm") << QStringLiteral("xterm") << QStringLiteral("XTerm")
                           << int(platform::PasteChord::ShiftInsert);
    QTest::newRow("uxterm") << QStringLiteral("uxterm") << QStringLiteral("UXTerm")
                            << int(platform::PasteChord::ShiftInsert);
    const char* const terminals[][2] = {
        {"gnome-terminal-server", "Gnome-terminal"},
        {"konsole", "konsole"},
        {"xfce4-terminal", "Xfce4-terminal"},
        {"tilix", "Tilix"},
        {"terminator", "Terminator"},
        {"kitty", "kitty"},
        {"Alacritty", "Alacritty"},
        {"org.wezfurlong.wezterm", "org.wezfurlong.wezterm"},
        {"foot", "foot"},
        {"urxvt", "URxvt"},
        {"st-256color", "st-256color"},
    };
    for (const auto& t : terminals)
        QTest::newRow(t[0]) << QString::fromLatin1(t[0]) << QString::fromLatin1(t[1])
                            << int(platform::PasteChord::ControlShiftV);
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
