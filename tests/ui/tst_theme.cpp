#include "Fonts.h"
#include "MemorySettings.h"
#include "SettingsKeys.h"
#include "TestSupport.h"
#include "Theme.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

using namespace ondrel;

class TestTheme : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void palettes();
    void storedAccent_data();
    void storedAccent();
    void changesAreAnnounced();
    void animatedChangeEasesInAndOut();
    void faces_data();
    void faces();
    void fallbacks();
};

void TestTheme::palettes()
{
    // Tints for the cards behind ink, the accent for what stands out.
    for (AccentColor accent : kAllAccentColors) {
        const AccentPalette p = palette(accent);
        QCOMPARE(p.surface, QColor(Qt::white));
        QVERIFY2(p.faint.lightnessF() > p.soft.lightnessF() && p.soft.lightnessF() > p.light.lightnessF() &&
                     p.light.lightnessF() > p.accent.lightnessF(),
                 qPrintable(rawValue(accent)));
    }
}

void TestTheme::storedAccent_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
    QTest::addColumn<QString>("raw");
    QTest::addColumn<int>("accent");
    QTest::newRow("nothing stored") << QVariant() << QStringLiteral("Coral") << int(AccentColor::coral);
    QTest::newRow("mint") << QVariant(QStringLiteral("Mint")) << QStringLiteral("Mint")
                          << int(AccentColor::mint);
    QTest::newRow("other case") << QVariant(QStringLiteral("mint")) << QStringLiteral("mint")
                                << int(AccentColor::coral);
    QTest::newRow("unknown") << QVariant(QStringLiteral("Teal")) << QStringLiteral("Teal")
                             << int(AccentColor::coral);
    QTest::newRow("not a string") << QVariant(qlonglong(3)) << QStringLiteral("Coral")
                                  << int(AccentColor::coral);
}

void TestTheme::storedAccent()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, raw);
    QFETCH(int, accent);
    platform::MemorySettings settings;
    if (stored.isValid())
        settings.setValue(keys::accentColor, stored);
    ThemeManager theme(settings);
    QCOMPARE(theme.accentColorRaw(), raw);
    QCOMPARE(int(theme.accentColor()), accent);
    QCOMPARE(theme.palette().accent, palette(AccentColor(accent)).accent);
    // An unknown stored value is read as coral, never rewritten.
    QCOMPARE(settings.value(keys::accentColor), stored);
}

void TestTheme::changesAreAnnounced()
{
    platform::MemorySettings settings;
    ThemeManager theme(settings);
    QSignalSpy changed(&theme, &ThemeManager::accentColorChanged);
    theme.setAccentColorRaw(QStringLiteral("Sky"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(settings.string(keys::accentColor), std::optional<QString>(QStringLiteral("Sky")));
    settings.setString(keys::accentColor, QStringLiteral("Butter")); // changed elsewhere
    QCOMPARE(changed.count(), 2);
    QCOMPARE(theme.accentColor(), AccentColor::butter);
}

void TestTheme::animatedChangeEasesInAndOut()
{
    platform::MemorySettings settings;
    ThemeManager theme(settings);
    const AccentPalette coral = palette(AccentColor::coral);
    const AccentPalette sky = palette(AccentColor::sky);
    QSignalSpy changed(&theme, &ThemeManager::accentColorChanged);
    theme.setAccentColorRawAnimated(QStringLiteral("Sky"));
    // Stored at once; the colours start where they were.
    QCOMPARE(settings.string(keys::accentColor), std::optional<QString>(QStringLiteral("Sky")));
    QCOMPARE(theme.accentColor(), AccentColor::sky);
    QCOMPARE(theme.palette().accent, coral.accent);
    QCOMPARE(theme.transition()->duration(), 200);
    const auto share = [&] { // how far the accent has moved, 0 to 1
        return (theme.palette().accent.redF() - coral.accent.redF()) /
               (sky.accent.redF() - coral.accent.redF());
    };
    theme.transition()->pause();
    theme.transition()->setCurrentTime(50); // a quarter of the time: slower than linear
    QVERIFY2(share() > 0.01 && share() < 0.2, qPrintable(QString::number(share())));
    theme.transition()->setCurrentTime(100); // half way: half way
    QVERIFY2(qAbs(share() - 0.5) < 0.02, qPrintable(QString::number(share())));
    theme.transition()->setCurrentTime(150); // three quarters: faster than linear
    QVERIFY2(share() > 0.8 && share() < 0.99, qPrintable(QString::number(share())));
    const qsizetype steps = changed.count();
    theme.transition()->resume();
    QTRY_VERIFY(theme.transition()->state() == QAbstractAnimation::Stopped);
    QVERIFY(changed.count() > steps);
    const AccentPalette end = theme.palette();
    QCOMPARE(end.accent, sky.accent);
    QCOMPARE(end.light, sky.light);
    QCOMPARE(end.soft, sky.soft);
    // The same accent again changes nothing.
    theme.setAccentColorRawAnimated(QStringLiteral("Sky"));
    QCOMPARE(theme.transition()->state(), QAbstractAnimation::Stopped);
}

void TestTheme::faces_data()
{
    // The face each weight asks for, of the monospaced and the display family.
    QTest::addColumn<int>("weight");
    QTest::addColumn<int>("mono");
    QTest::addColumn<int>("display");
    QTest::newRow("bold") << int(FontWeight::bold) << int(QFont::Bold) << int(QFont::Bold);
    QTest::newRow("semibold") << int(FontWeight::semibold) << int(QFont::Medium) << int(QFont::DemiBold);
    QTest::newRow("medium") << int(FontWeight::medium) << int(QFont::Medium) << int(QFont::Medium);
    QTest::newRow("heavy is regular") << int(FontWeight::heavy) << int(QFont::Normal) << int(QFont::Normal);
    QTest::newRow("regular") << int(FontWeight::regular) << int(QFont::Normal) << int(QFont::Normal);
}

void TestTheme::faces()
{
    QFETCH(int, weight);
    QFETCH(int, mono);
    QFETCH(int, display);
    const QFont font = detail::monoFont(12, FontWeight(weight), true);
    QCOMPARE(font.family(), kMonoFamily);
    QCOMPARE(int(font.weight()), mono);
    QCOMPARE(font.pixelSize(), 12);
    QVERIFY(font.styleStrategy() & QFont::PreferNoShaping);
    QCOMPARE(int(detail::displayFont(14, FontWeight(weight), true).weight()), display);
    // The bundled family is found and each face resolves to itself.
    const QFontInfo info(displayFont(14, FontWeight(weight)));
    QCOMPARE(info.family(), kDisplayFamily);
    QCOMPARE(info.weight(), display);
}

void TestTheme::fallbacks()
{
    const QFont mono = detail::monoFont(12, FontWeight::bold, false);
    QCOMPARE(mono.weight(), QFont::Bold);
    QCOMPARE(mono.pixelSize(), 12);
    QVERIFY(QFontInfo(mono).fixedPitch());
    // The package our install script brings is found.
    QVERIFY(QFontDatabase::hasFamily(kMonoFamily));
    QCOMPARE(QFontInfo(monoFont(11, FontWeight::regular)).family(), kMonoFamily);
    const QFont display = detail::displayFont(14, FontWeight::heavy, false);
    QCOMPARE(display.family(), QGuiApplication::font().family());
    QCOMPARE(display.weight(), QFont::ExtraBold);
    QCOMPARE(display.pixelSize(), 14);
}

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
