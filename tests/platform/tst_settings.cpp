#include "ExcludedApplications.h"
#include "JsonSettings.h"
#include "MemorySettings.h"
#include "SettingsKeys.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace ondrel;

class TestSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void typedAccess_data();
    void typedAccess();
    void fileKeepsTypesAcrossRuns();
    void formerNamesAreAdoptedOnce_data();
    void formerNamesAreAdoptedOnce();
    void corruptFileIsMovedAside_data();
    void corruptFileIsMovedAside();
    void unknownValuesSurviveRewrite();
    void excludedApplications_data();
    void excludedApplications();
};

namespace {
std::unique_ptr<platform::Settings> make(const QString& kind, const QString& path)
{
    if (kind == u"memory")
        return std::make_unique<platform::MemorySettings>();
    return std::make_unique<platform::JsonSettings>(path);
}
} // namespace

void TestSettings::typedAccess_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("memory") << QStringLiteral("memory");
    QTest::newRow("file") << QStringLiteral("file");
}

void TestSettings::typedAccess()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    auto d = make(kind, dir.path() + QStringLiteral("/settings.json"));
    QCOMPARE(d->integer(QStringLiteral("absent")), 0);
    QCOMPARE(d->string(QStringLiteral("absent")), std::nullopt);
    QVERIFY(!d->contains(QStringLiteral("absent")));
    d->setInteger(QStringLiteral("n"), 10);
    d->setString(QStringLiteral("s"), QStringLiteral("Coral"));
    d->setBool(QStringLiteral("b"), true);
    d->setString(QStringLiteral("numeric"), QStringLiteral(" 42 "));
    QCOMPARE(d->integer(QStringLiteral("n")), 10);
    QCOMPARE(d->string(QStringLiteral("n")), std::nullopt);
    QCOMPARE(d->string(QStringLiteral("s")), std::optional<QString>(QStringLiteral("Coral")));
    QCOMPARE(d->integer(QStringLiteral("s")), 0);
    QCOMPARE(d->integer(QStringLiteral("numeric")), 42);
    QVERIFY(d->boolean(QStringLiteral("b")));
    QCOMPARE(d->integer(QStringLiteral("b")), 1);
    QCOMPARE(d->allValues().keys(), (QStringList{QStringLiteral("b"), QStringLiteral("n"),
                                                 QStringLiteral("numeric"), QStringLiteral("s")}));
    d->remove(QStringLiteral("n"));
    QVERIFY(!d->contains(QStringLiteral("n")));
    // A change signal per key, for real changes only.
    int accentChanges = 0;
    QObject context;
    d->observe(QStringLiteral("accentColor"), &context, [&] { ++accentChanges; });
    QSignalSpy all(d.get(), &platform::Settings::valueChanged);
    d->setString(QStringLiteral("accentColor"), QStringLiteral("Grey"));
    d->setString(QStringLiteral("accentColor"), QStringLiteral("Grey")); // same value: no change
    d->setInteger(QStringLiteral("maxHistoryItems"), 20);
    d->remove(QStringLiteral("accentColor"));
    d->remove(QStringLiteral("accentColor")); // already absent
    QCOMPARE(accentChanges, 2);
    QCOMPARE(all.count(), 3);
    QCOMPARE(all.at(1).at(0).toString(), QStringLiteral("maxHistoryItems"));
}

void TestSettings::fileKeepsTypesAcrossRuns()
{
    {
        test::TemporaryHome home;
        QCOMPARE(platform::JsonSettings::defaultFilePath(),
                 home.configHome() + QStringLiteral("/ondrel/settings.json"));
    }
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/ondrel/settings.json");
    const QString shortcut = QStringLiteral(R"({"keyCode":9,"modifiers":768})");
    {
        platform::JsonSettings d(path);
        d.setInteger(keys::maxHistoryItems, 20);
        d.setString(keys::accentColor, QStringLiteral("Coral"));
        d.setBool(keys::automaticallyUpdate, false);
        d.setString(keys::shortcutPrefix + QStringLiteral("togglePopover"), shortcut);
    }
    QCOMPARE(test::unixMode(dir.path() + QStringLiteral("/ondrel")), 0700);
    QCOMPARE(test::unixMode(path), 0600);
    // Groups are objects, so the file reads as it is organised.
    const QByteArray text = test::readFile(path);
    QVERIFY2(text.contains(R"("history":{"maxItems":20})"), text.constData());
    QVERIFY2(text.contains(R"("automaticallyUpdate":false)"), text.constData());
    platform::JsonSettings d(path);
    QCOMPARE(d.value(keys::maxHistoryItems).typeId(), QMetaType::LongLong);
    QCOMPARE(d.value(keys::automaticallyUpdate).typeId(), QMetaType::Bool);
    QCOMPARE(d.value(keys::accentColor).typeId(), QMetaType::QString);
    QCOMPARE(d.string(keys::shortcutPrefix + QStringLiteral("togglePopover")),
             std::optional<QString>(shortcut));
}

void TestSettings::formerNamesAreAdoptedOnce_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("update feed") << QByteArray(R"({"SUFeedURL":"https://example.org/feed.xml"})")
                                 << keys::feedURL << QVariant(QStringLiteral("https://example.org/feed.xml"));
    QTest::newRow("history size") << QByteArray(R"({"maxHistoryItems":100})") << keys::maxHistoryItems
                                  << QVariant(qlonglong(100));
    QTest::newRow("popover hotkey") << QByteArray(R"({"KeyboardShortcuts_toggleBrisol":"{}"})")
                                    << QStringLiteral("hotkeys/togglePopover")
                                    << QVariant(QStringLiteral("{}"));
    QTest::newRow("other hotkey") << QByteArray(R"({"KeyboardShortcuts_other":false})")
                                  << QStringLiteral("hotkeys/other") << QVariant(false);
    QTest::newRow("both: the new one wins")
        << QByteArray(R"({"accentColor":"Sky","appearance":{"accentColor":"Coral"}})") << keys::accentColor
        << QVariant(QStringLiteral("Coral"));
}

void TestSettings::formerNamesAreAdoptedOnce()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QVariant, expected);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/settings.json");
    QVERIFY(test::writeFile(path, file));
    {
        platform::JsonSettings d(path);
        QCOMPARE(d.value(key), expected);
    }
    // Written under the new name only, and read the same way again.
    QVERIFY(!test::readFile(path).contains("KeyboardShortcuts_"));
    platform::JsonSettings again(path);
    QCOMPARE(again.allValues().keys(), QStringList{key});
    QCOMPARE(again.value(key), expected);
}

void TestSettings::corruptFileIsMovedAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not json") << QByteArray("maxHistoryItems=3");
    QTest::newRow("array") << QByteArray("[1,2]");
    QTest::newRow("truncated") << QByteArray(R"({"maxHistoryItems":)");
}

void TestSettings::corruptFileIsMovedAside()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/settings.json");
    QVERIFY(test::writeFile(path, content));
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression(QStringLiteral(
                          "^Settings file .* could not be read; moved it to .*settings\\.json\\.corrupt-")));
    platform::JsonSettings d(path);
    QVERIFY(d.allValues().isEmpty());
    d.setInteger(keys::maxHistoryItems, 7);
    const QStringList copies = QDir(dir.path()).entryList({QStringLiteral("settings.json.corrupt-*")});
    QCOMPARE(copies.size(), 1);
    QCOMPARE(test::readFile(dir.path() + u'/' + copies.first()), content);
    QVERIFY(test::readFile(path).contains(R"("maxItems":7)"));
}

void TestSettings::unknownValuesSurviveRewrite()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/settings.json");
    QVERIFY(test::writeFile(
        path,
        R"({"updates":{"lastCheckTime":812345678.5},"list":[1,"a",{"k":null}],"big":123456789012345678901234})"));
    platform::JsonSettings d(path);
    d.setBool(keys::automaticallyUpdate, true);
    const QByteArray text = test::readFile(path);
    QVERIFY2(text.contains(R"("lastCheckTime":812345678.5)"), text.constData());
    QVERIFY2(text.contains(R"("list":[1,"a",{"k":null}])"), text.constData());
    QVERIFY2(text.contains(R"("updates":{"automaticallyUpdate":true,"lastCheckTime":812345678.5})"),
             text.constData());
}

void TestSettings::excludedApplications_data()
{
    // The list as the file holds it (edited by hand, maybe), what it reads
    // as, and the list once "firefox" was added and "KeePassXC" removed.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("read");
    QTest::addColumn<QStringList>("changed");
    const QString keepass = QStringLiteral("KeePassXC");
    const QString firefox = QStringLiteral("firefox");
    QTest::newRow("absent") << QByteArray("{}") << QStringList{} << QStringList{firefox};
    QTest::newRow("ids") << QByteArray(
                                R"({"history":{"excludedApplications":["KeePassXC","org.gnome.Terminal"]}})")
                         << QStringList{keepass, QStringLiteral("org.gnome.Terminal")}
                         << QStringList{QStringLiteral("org.gnome.Terminal"), firefox};
    QTest::newRow("case: once, first spelling")
        << QByteArray(R"({"history":{"excludedApplications":["keepassxc","KEEPASSXC","Terminal"]}})")
        << QStringList{QStringLiteral("keepassxc"), QStringLiteral("Terminal")}
        << QStringList{QStringLiteral("Terminal"), firefox};
    QTest::newRow("junk members left out")
        << QByteArray(
               R"({"history":{"excludedApplications":[" KeePassXC ","",3,null,true,["x"],{"a":"b"}]}})")
        << QStringList{keepass} << QStringList{firefox};
    QTest::newRow("one string") << QByteArray(R"({"history":{"excludedApplications":"KeePassXC"}})")
                                << QStringList{keepass} << QStringList{firefox};
    QTest::newRow("not a list") << QByteArray(R"({"history":{"excludedApplications":42}})") << QStringList{}
                                << QStringList{firefox};
}

void TestSettings::excludedApplications()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, read);
    QFETCH(QStringList, changed);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/settings.json");
    QVERIFY(test::writeFile(path, file));
    platform::JsonSettings d(path);
    QCOMPARE(exclusions::list(d), read);
    QVERIFY(exclusions::add(d, QStringLiteral(" firefox ")));
    QVERIFY(!exclusions::add(d, QStringLiteral("FireFox")));
    exclusions::remove(d, QStringLiteral("keepassxc"));
    // Kept as a list of strings in the file, read back the same.
    QCOMPARE(exclusions::list(platform::JsonSettings(path)), changed);
    QVERIFY(test::readFile(path).contains(R"("excludedApplications":[)"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
