#include "MemoryUserDefaults.h"
#include "SettingsUserDefaults.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace ondrel;

class TestUserDefaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void typedAccess_data();
    void typedAccess();
    void changeSignalPerKey_data();
    void changeSignalPerKey();
    void fileKeepsTypesAcrossRuns();
    void fileIsPrivate();
    void defaultPathFollowsXdg();
    void corruptFileIsMovedAside_data();
    void corruptFileIsMovedAside();
    void unknownValuesSurviveRewrite();
};

namespace {
std::unique_ptr<platform::UserDefaults> make(const QString& kind, const QString& path)
{
    if (kind == u"memory")
        return std::make_unique<platform::MemoryUserDefaults>();
    return std::make_unique<platform::SettingsUserDefaults>(path);
}
} // namespace

void TestUserDefaults::typedAccess_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("memory") << QStringLiteral("memory");
    QTest::newRow("file") << QStringLiteral("file");
}

void TestUserDefaults::typedAccess()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    auto d = make(kind, dir.path() + QStringLiteral("/defaults.json"));
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
    QCOMPARE(d->dictionaryRepresentation().keys(),
             (QStringList{QStringLiteral("b"), QStringLiteral("n"), QStringLiteral("numeric"),
                          QStringLiteral("s")}));
    d->removeObject(QStringLiteral("n"));
    QVERIFY(!d->contains(QStringLiteral("n")));
}

void TestUserDefaults::changeSignalPerKey_data()
{
    typedAccess_data();
}

void TestUserDefaults::changeSignalPerKey()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    auto d = make(kind, dir.path() + QStringLiteral("/defaults.json"));
    int accentChanges = 0;
    QObject context;
    d->observe(QStringLiteral("accentColor"), &context, [&] { ++accentChanges; });
    QSignalSpy all(d.get(), &platform::UserDefaults::valueChanged);
    d->setString(QStringLiteral("accentColor"), QStringLiteral("Grey"));
    d->setString(QStringLiteral("accentColor"), QStringLiteral("Grey")); // same value: no change
    d->setInteger(QStringLiteral("maxHistoryItems"), 20);
    d->removeObject(QStringLiteral("accentColor"));
    d->removeObject(QStringLiteral("accentColor")); // already absent
    QCOMPARE(accentChanges, 2);
    QCOMPARE(all.count(), 3);
    QCOMPARE(all.at(1).at(0).toString(), QStringLiteral("maxHistoryItems"));
}

void TestUserDefaults::fileKeepsTypesAcrossRuns()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Brisol/defaults.json");
    {
        platform::SettingsUserDefaults d(path);
        d.setInteger(QStringLiteral("maxHistoryItems"), 20);
        d.setString(QStringLiteral("accentColor"), QStringLiteral("Coral"));
        d.setBool(QStringLiteral("SUAutomaticallyUpdate"), false);
        d.setString(QStringLiteral("KeyboardShortcuts_toggleBrisol"),
                    QStringLiteral(R"({"carbonKeyCode":9,"carbonModifiers":768})"));
    }
    const QByteArray text = test::readFile(path);
    QVERIFY(text.contains(R"("maxHistoryItems":20)"));
    QVERIFY(text.contains(R"("SUAutomaticallyUpdate":false)"));
    platform::SettingsUserDefaults d(path);
    QCOMPARE(d.object(QStringLiteral("maxHistoryItems")).typeId(), QMetaType::LongLong);
    QCOMPARE(d.object(QStringLiteral("SUAutomaticallyUpdate")).typeId(), QMetaType::Bool);
    QCOMPARE(d.object(QStringLiteral("accentColor")).typeId(), QMetaType::QString);
    QCOMPARE(d.string(QStringLiteral("KeyboardShortcuts_toggleBrisol")),
             std::optional<QString>(QStringLiteral(R"({"carbonKeyCode":9,"carbonModifiers":768})")));
}

void TestUserDefaults::fileIsPrivate()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/Brisol");
    platform::SettingsUserDefaults d(folder + QStringLiteral("/defaults.json"));
    d.setInteger(QStringLiteral("maxHistoryItems"), 5);
    QCOMPARE(test::unixMode(folder), 0700);
    QCOMPARE(test::unixMode(d.filePath()), 0600);
}

void TestUserDefaults::defaultPathFollowsXdg()
{
    test::TemporaryHome home;
    QCOMPARE(platform::SettingsUserDefaults::defaultFilePath(),
             home.configHome() + QStringLiteral("/Brisol/defaults.json"));
}

void TestUserDefaults::corruptFileIsMovedAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not json") << QByteArray("maxHistoryItems=3");
    QTest::newRow("array") << QByteArray("[1,2]");
    QTest::newRow("truncated") << QByteArray(R"({"maxHistoryItems":)");
}

void TestUserDefaults::corruptFileIsMovedAside()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/defaults.json");
    QVERIFY(test::writeFile(path, content));
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression(QStringLiteral(
                          "^Settings file .* could not be read; moved it to .*defaults\\.json\\.corrupt-")));
    platform::SettingsUserDefaults d(path);
    QVERIFY(d.dictionaryRepresentation().isEmpty());
    d.setInteger(QStringLiteral("maxHistoryItems"), 7);
    const QStringList copies = QDir(dir.path()).entryList({QStringLiteral("defaults.json.corrupt-*")});
    QCOMPARE(copies.size(), 1);
    QCOMPARE(test::readFile(dir.path() + u'/' + copies.first()), content);
    QVERIFY(test::readFile(path).contains(R"("maxHistoryItems":7)"));
}

void TestUserDefaults::unknownValuesSurviveRewrite()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/defaults.json");
    QVERIFY(test::writeFile(
        path, R"({"SULastCheckTime":812345678.5,"list":[1,"a",{"k":null}],"big":123456789012345678901234})"));
    platform::SettingsUserDefaults d(path);
    d.setBool(QStringLiteral("SUAutomaticallyUpdate"), true);
    const QByteArray text = test::readFile(path);
    QVERIFY2(text.contains(R"("SULastCheckTime":812345678.5)"), text.constData());
    QVERIFY2(text.contains(R"("list":[1,"a",{"k":null}])"), text.constData());
    QVERIFY2(text.contains(R"("SUAutomaticallyUpdate":true)"), text.constData());
}

QTEST_GUILESS_MAIN(TestUserDefaults)
#include "tst_userdefaults.moc"
