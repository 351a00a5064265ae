#include "FormerFolders.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

using namespace ondrel;
using Outcome = platform::FolderMove::Outcome;

// What sits at a place before the move.
enum class Place
{
    nothing,
    folder,
    file,
    foreignFolder
};
Q_DECLARE_METATYPE(Place)

class TestFormerFolders : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void moves_data();
    void moves();
    void startUpTakesOverBothFolders();
};

namespace {
void make(Place place, const QString& path, const QByteArray& content)
{
    switch (place) {
    case Place::nothing:
        return;
    case Place::file:
        QVERIFY(test::writeFile(path, content));
        return;
    case Place::folder:
    case Place::foreignFolder:
        QVERIFY(QDir().mkpath(path));
        QVERIFY(test::writeFile(path + QStringLiteral("/history.json"), content));
        if (place == Place::foreignFolder)
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 4242, 4242), 0);
        return;
    }
}

QByteArray history(const QString& folder)
{
    return test::readFile(folder + QStringLiteral("/history.json"));
}
} // namespace

void TestFormerFolders::moves_data()
{
    QTest::addColumn<Place>("old");
    QTest::addColumn<Place>("current");
    // Errors the first and the second rename give (0: the real rename).
    QTest::addColumn<int>("firstError");
    QTest::addColumn<int>("secondError");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QByteArray>("newHistory");
    QTest::addColumn<bool>("oldStays");

    QTest::newRow("nothing there") << Place::nothing << Place::nothing << 0 << 0 << Outcome::nothingToMove
                                   << QByteArray() << false;
    QTest::newRow("old only") << Place::folder << Place::nothing << 0 << 0 << Outcome::moved
                              << QByteArray("old") << false;
    QTest::newRow("new only") << Place::nothing << Place::folder << 0 << 0 << Outcome::nothingToMove
                              << QByteArray("new") << false;
    QTest::newRow("both") << Place::folder << Place::folder << 0 << 0 << Outcome::keptBoth
                          << QByteArray("new") << true;
    QTest::newRow("old is no folder")
        << Place::file << Place::nothing << 0 << 0 << Outcome::failed << QByteArray() << true;
    QTest::newRow("old not readable here")
        << Place::folder << Place::nothing << EACCES << 0 << Outcome::failed << QByteArray() << true;
    QTest::newRow("another start moved it first")
        << Place::folder << Place::nothing << EEXIST << 0 << Outcome::keptBoth << QByteArray() << true;
    QTest::newRow("across file systems")
        << Place::folder << Place::nothing << EXDEV << 0 << Outcome::copied << QByteArray("old") << true;
    QTest::newRow("across file systems, last step refused")
        << Place::folder << Place::nothing << EXDEV << EACCES << Outcome::failed << QByteArray() << true;
    if (test::runningAsRoot())
        QTest::newRow("old of another user")
            << Place::foreignFolder << Place::nothing << 0 << 0 << Outcome::failed << QByteArray() << true;
}

void TestFormerFolders::moves()
{
    QFETCH(Place, old);
    QFETCH(Place, current);
    QFETCH(int, firstError);
    QFETCH(int, secondError);
    QFETCH(Outcome, outcome);
    QFETCH(QByteArray, newHistory);
    QFETCH(bool, oldStays);

    QTemporaryDir dir;
    const QString from = dir.path() + QStringLiteral("/Brisol");
    const QString to = dir.path() + QStringLiteral("/ondrel");
    make(old, from, "old");
    make(current, to, "new");
    int calls = 0;
    const auto rename = [&](const QByteArray& a, const QByteArray& b) {
        const int error = ++calls == 1 ? firstError : secondError;
        if (error)
            return error;
        return ::rename(a.constData(), b.constData()) == 0 ? 0 : errno;
    };

    const platform::FolderMove move = platform::moveFormerFolder(from, to, rename);
    QCOMPARE(move.outcome, outcome);
    QCOMPARE(move.message.isEmpty(), outcome == Outcome::nothingToMove || outcome == Outcome::keptBoth);
    QCOMPARE(history(to), newHistory);
    if (newHistory.isEmpty())
        QVERIFY(!QFileInfo::exists(to));
    QCOMPARE(QFileInfo::exists(from), oldStays);
    if (old == Place::folder && oldStays)
        QCOMPARE(history(from), QByteArray("old")); // untouched, whatever happened
    if (outcome == Outcome::copied)
        QCOMPARE(test::unixMode(to + QStringLiteral("/history.json")), 0600);
    // A copy cut off leaves nothing behind.
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.partial-*")}, QDir::AllEntries | QDir::Hidden),
             QStringList());
}

void TestFormerFolders::startUpTakesOverBothFolders()
{
    test::TemporaryHome home;
    QVERIFY(QDir().mkpath(home.dataHome() + QStringLiteral("/Brisol")));
    QVERIFY(test::writeFile(home.dataHome() + QStringLiteral("/Brisol/history.json"), "[]"));
    QVERIFY(QDir().mkpath(home.configHome() + QStringLiteral("/Brisol")));
    QVERIFY(test::writeFile(home.configHome() + QStringLiteral("/Brisol/defaults.json"), "{}"));
    QTest::ignoreMessage(QtInfoMsg,
                         QRegularExpression(QStringLiteral("^Moved .*/data/Brisol to .*/data/ondrel$")));
    QTest::ignoreMessage(QtInfoMsg,
                         QRegularExpression(QStringLiteral("^Moved .*/config/Brisol to .*/config/ondrel$")));
    QTest::ignoreMessage(QtInfoMsg,
                         QRegularExpression(QStringLiteral("^Renamed .*defaults.json to .*settings.json$")));
    platform::adoptFormerFolders();
    QCOMPARE(test::readFile(home.dataHome() + QStringLiteral("/ondrel/history.json")), QByteArray("[]"));
    QCOMPARE(test::readFile(home.configHome() + QStringLiteral("/ondrel/settings.json")), QByteArray("{}"));
    // Once only: a second start finds nothing to take over.
    platform::adoptFormerFolders();
}

QTEST_GUILESS_MAIN(TestFormerFolders)
#include "tst_formerfolders.moc"
