#include "HistoryFixture.h"
#include "HistoryListModel.h"
#include "HistoryStore.h"
#include "SettingsKeys.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace ondrel;

namespace {
constexpr int kDefaultLimit = 50; // entries kept while the size is not set
}

namespace {

struct ModelFixture : test::Fixture
{
    HistoryListModel model{state()};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};
    QSignalSpy inserted{&model, &QAbstractItemModel::rowsInserted};
    QSignalSpy removed{&model, &QAbstractItemModel::rowsRemoved};
    QSignalSpy moved{&model, &QAbstractItemModel::rowsMoved};
    QSignalSpy restyled{&model, &QAbstractItemModel::dataChanged};

    // The rows as a view that follows only the signals knows them.
    QList<QUuid> shadow;

    // Rows oldest last, with distinct times so the order is the timestamps'.
    explicit ModelFixture(int count)
    {
        if (count > kDefaultLimit)
            settings.setInteger(keys::maxHistoryItems, count);
        for (int i = count - 1; i >= 0; --i)
            add(QStringLiteral("e%1").arg(i), 1000 - (count - i));
        clearSpies();
        shadow = ids();
        QObject::connect(
            &model, &QAbstractItemModel::rowsRemoved, &model,
            [this](const QModelIndex&, int first, int last) { shadow.remove(first, last - first + 1); });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &model,
                         [this](const QModelIndex&, int first, int last) {
                             for (int k = first; k <= last; ++k)
                                 shadow.insert(k, idAt(k));
                         });
        QObject::connect(&model, &QAbstractItemModel::rowsMoved, &model,
                         [this](const QModelIndex&, int start, int, const QModelIndex&, int row) {
                             shadow.move(start, row > start ? row - 1 : row);
                         });
        QObject::connect(&model, &QAbstractItemModel::modelReset, &model, [this] { shadow = ids(); });
    }
    QList<QUuid> ids() const
    {
        QList<QUuid> out;
        for (const ClipboardItem& item : model.items())
            out << item.id();
        return out;
    }
    void clearSpies()
    {
        for (QSignalSpy* spy : {&resets, &inserted, &removed, &moved, &restyled})
            spy->clear();
    }
    bool rowsMatchStore() const
    {
        if (shadow != ids())
            return false;
        const QList<ClipboardItem> expected = state().filteredItems();
        if (model.rowCount() != expected.size())
            return false;
        for (int i = 0; i < model.rowCount(); ++i)
            if (model.itemAt(i).id() != expected[i].id() ||
                model.itemAt(i).isPinned() != expected[i].isPinned())
                return false;
        return true;
    }
    QUuid idAt(int row) const { return model.itemAt(row).id(); }
};

} // namespace

class TestHistoryListModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void changesAreRowOperations_data();
    void changesAreRowOperations();
    void manyRowsAtOnceIsOneReset();
    void randomChangesKeepTheRowsInStep();
};

void TestHistoryListModel::changesAreRowOperations_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("inserts");
    QTest::addColumn<int>("removes");
    QTest::addColumn<int>("moves");
    QTest::addColumn<bool>("restyled");

    QTest::newRow("capture") << "capture" << 1 << 0 << 0 << false;
    QTest::newRow("delete middle row") << "delete" << 0 << 1 << 0 << false;
    QTest::newRow("pin a row") << "pin" << 0 << 0 << 1 << true;
    QTest::newRow("paste an older row: shown by age, stays") << "paste" << 0 << 0 << 0 << false;
    QTest::newRow("clear unpinned") << "clear" << 0 << 1 << 0 << false;
    QTest::newRow("capture over the cap") << "capture at cap" << 1 << 1 << 0 << false;
    QTest::newRow("narrow search") << "search" << 0 << 2 << 0 << false;
    QTest::newRow("widen search") << "unsearch" << 2 << 0 << 0 << false;
}

void TestHistoryListModel::changesAreRowOperations()
{
    QFETCH(QString, change);
    QFETCH(int, inserts);
    QFETCH(int, removes);
    QFETCH(int, moves);
    QFETCH(bool, restyled);

    ModelFixture f(change == u"capture at cap" ? int(kDefaultLimit) : 6);
    if (change == u"unsearch") {
        f.state().setSearchText(QStringLiteral("e2"));
        f.clearSpies();
    }
    if (change == u"capture" || change == u"capture at cap")
        f.add(QStringLiteral("new"));
    else if (change == u"delete")
        f.store().deleteItem(f.idAt(2));
    else if (change == u"pin")
        f.store().togglePin(f.idAt(4));
    else if (change == u"paste")
        f.paster().copyAndPaste(f.model.itemAt(3));
    else if (change == u"clear")
        f.store().clearUnpinned();
    else if (change == u"unsearch")
        f.state().setSearchText(QString()); // e5, e4, e3 come before e2; e1, e0 after
    else if (change == u"search")
        f.state().setSearchText(QStringLiteral("e1")); // e1 stays; e0, e2... go in two runs

    QVERIFY(f.rowsMatchStore());
    QCOMPARE(f.resets.count(), 0);
    QCOMPARE(f.inserted.count(), inserts);
    QCOMPARE(f.removed.count(), removes);
    QCOMPARE(f.moved.count(), moves);
    QCOMPARE(!f.restyled.isEmpty(), restyled);
}

void TestHistoryListModel::manyRowsAtOnceIsOneReset()
{
    ModelFixture f(200);
    // Every other entry matches: a hundred separate runs of rows go.
    QList<ClipboardItem> items = f.store().items();
    for (qsizetype i = 0; i < items.size(); i += 2)
        items[i] = ClipboardItem::makeText(QStringLiteral("keep %1").arg(i), std::nullopt, std::nullopt,
                                           items[i].timestamp());
    f.store().setItems(items);
    f.clearSpies();
    f.state().setSearchText(QStringLiteral("keep"));
    QCOMPARE(f.resets.count(), 1);
    QCOMPARE(f.removed.count(), 0);
    QCOMPARE(f.model.rowCount(), 100);
    QVERIFY(f.rowsMatchStore());
}

void TestHistoryListModel::randomChangesKeepTheRowsInStep()
{
    ModelFixture f(20);
    f.settings.setInteger(keys::maxHistoryItems, 25);
    QRandomGenerator random(20261206);
    for (int step = 0; step < 400; ++step) {
        const int rows = f.model.rowCount();
        const int row = rows > 0 ? int(random.bounded(rows)) : -1;
        switch (random.bounded(7)) {
        case 0:
        case 1:
            f.add(QStringLiteral("s%1 e%2").arg(step).arg(random.bounded(10)));
            break;
        case 2:
            if (row >= 0)
                f.store().deleteItem(f.idAt(row));
            break;
        case 3:
            if (row >= 0)
                f.store().togglePin(f.idAt(row));
            break;
        case 4:
            if (row >= 0)
                f.paster().copyAndPaste(f.model.itemAt(row));
            f.scheduler.runPending();
            break;
        case 5:
            f.state().setSearchText(random.bounded(2) ? QStringLiteral("e%1").arg(random.bounded(10))
                                                      : QString());
            break;
        case 6:
            if (random.bounded(8) == 0)
                f.store().clearUnpinned();
            break;
        }
        QVERIFY2(f.rowsMatchStore(), qPrintable(QStringLiteral("after step %1").arg(step)));
    }
}

QTEST_MAIN(TestHistoryListModel)
#include "tst_historylistmodel.moc"
