#include "TestSupport.h"
#include "XdgAutostart.h"

#include <QDir>
#include <QTest>

using namespace ondrel;

class TestAutostart : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void registerAndUnregister();
    void unwritableFolderIsAnError();
};

void TestAutostart::registerAndUnregister()
{
    test::TemporaryHome home;
    platform::XdgAutostart item(QStringLiteral("/opt/My Apps/ondrel"));
    QCOMPARE(item.entryPath(), home.configHome() + QStringLiteral("/autostart/ondrel.desktop"));
    QVERIFY(!item.isEnabled());
    QCOMPARE(item.enable(), std::nullopt);
    QVERIFY(item.isEnabled());
    const QByteArray entry = test::readFile(item.entryPath());
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY(entry.contains("\nExec=\"/opt/My Apps/ondrel\"\n"));
    QCOMPARE(item.disable(), std::nullopt);
    QVERIFY(!item.isEnabled());
    QCOMPARE(item.disable(), std::nullopt); // nothing to remove is fine
    // An entry switched off in the desktop's settings is off.
    QVERIFY(test::writeFile(item.entryPath(), "[Desktop Entry]\nExec=ondrel\nHidden=true\n"));
    QVERIFY(!item.isEnabled());
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
