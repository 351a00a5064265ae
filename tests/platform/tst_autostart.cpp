#include "TestSupport.h"
#include "XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

using namespace ondrel;

class TestAutostart : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void registerAndUnregister_data();
    void registerAndUnregister();
    void formerEntryIsReplacedOnce_data();
    void formerEntryIsReplacedOnce();
    void unwritableFolderIsAnError();
};

namespace {
const QString kEntryName = QStringLiteral("/io.github.ondrel.Ondrel.desktop");
}

void TestAutostart::registerAndUnregister_data()
{
    QTest::addColumn<QByteArray>("installed");
    QTest::addColumn<QByteArray>("expected");
    // What a distribution changed in the installed entry holds at login too.
    QTest::newRow("installed") << QByteArray("[Desktop Entry]\nName=Ondrel\nExec=ondrel\nX-Patched=yes\n")
                               << QByteArray("\nX-Patched=yes\n");
    // Run from the build folder: the entry built into the program.
    QTest::newRow("not installed") << QByteArray() << QByteArray("\nIcon=io.github.ondrel.Ondrel\n");
}

void TestAutostart::registerAndUnregister()
{
    QFETCH(QByteArray, installed);
    QFETCH(QByteArray, expected);
    test::TemporaryHome home;
    // Nothing the machine has installed takes part.
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", (home.path() + QStringLiteral("/none")).toUtf8());
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_DIRS", dataDirs); });
    QVERIFY(QDir().mkpath(home.dataHome() + QStringLiteral("/applications")));
    if (!installed.isEmpty())
        QVERIFY(test::writeFile(home.dataHome() + QStringLiteral("/applications") + kEntryName, installed));
    platform::XdgAutostart item(QStringLiteral("/opt/My Apps/ondrel"));
    QCOMPARE(item.entryPath(), home.configHome() + QStringLiteral("/autostart") + kEntryName);
    QVERIFY(!item.isEnabled());
    QCOMPARE(item.enable(), std::nullopt);
    QVERIFY(item.isEnabled());
    const QByteArray entry = test::readFile(item.entryPath());
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY(entry.contains("\nExec=\"/opt/My Apps/ondrel\"\n"));
    QVERIFY(!entry.contains("\nExec=ondrel"));
    QVERIFY(entry.contains(expected));
    QCOMPARE(item.disable(), std::nullopt);
    QVERIFY(!item.isEnabled());
    QCOMPARE(item.disable(), std::nullopt); // nothing to remove is fine
    // An entry switched off in the desktop's settings is off.
    QVERIFY(test::writeFile(item.entryPath(), "[Desktop Entry]\nExec=ondrel\nHidden=true\n"));
    QVERIFY(!item.isEnabled());
}

void TestAutostart::formerEntryIsReplacedOnce_data()
{
    QTest::addColumn<QByteArray>("former");
    QTest::addColumn<bool>("newOneExists");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("on") << QByteArray("[Desktop Entry]\nExec=ondrel\n") << false << true;
    QTest::newRow("switched off") << QByteArray("[Desktop Entry]\nExec=ondrel\nHidden=true\n") << false
                                  << false;
    // The new entry, switched off since, is not switched back on.
    QTest::newRow("new one too") << QByteArray("[Desktop Entry]\nExec=ondrel\n") << true << false;
    QTest::newRow("none") << QByteArray() << false << false;
}

void TestAutostart::formerEntryIsReplacedOnce()
{
    QFETCH(QByteArray, former);
    QFETCH(bool, newOneExists);
    QFETCH(bool, enabled);
    test::TemporaryHome home;
    const QString formerPath = home.configHome() + QStringLiteral("/autostart/ondrel.desktop");
    QVERIFY(QDir().mkpath(home.configHome() + QStringLiteral("/autostart")));
    if (!former.isEmpty())
        QVERIFY(test::writeFile(formerPath, former));
    platform::XdgAutostart item(QStringLiteral("/usr/bin/ondrel"));
    if (newOneExists)
        QVERIFY(test::writeFile(item.entryPath(), "[Desktop Entry]\nExec=ondrel\nHidden=true\n"));
    QCOMPARE(item.adoptFormerEntry(), std::nullopt);
    QVERIFY(!QFile::exists(formerPath));
    QCOMPARE(item.isEnabled(), enabled);
    QCOMPARE(QFile::exists(item.entryPath()), enabled || newOneExists);
    if (enabled)
        QVERIFY(test::readFile(item.entryPath()).contains("\nExec=\"/usr/bin/ondrel\"\n"));
}

void TestAutostart::unwritableFolderIsAnError()
{
    // A plain file where the autostart folder should be: an error for root
    // too. (A folder without write permission fails the same step.)
    test::TemporaryHome home;
    QVERIFY(QDir().mkpath(home.configHome()));
    QVERIFY(test::writeFile(home.configHome() + QStringLiteral("/autostart"), "not a folder"));
    platform::XdgAutostart item(QStringLiteral("ondrel"));
    const auto error = item.enable();
    QVERIFY(error);
    QVERIFY(!error->isEmpty());
    QVERIFY(!item.isEnabled());
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
