#include "ManualMainQueue.h"
#include "QtMainQueue.h"
#include "TestSupport.h"

#include <QTest>

using namespace ondrel;

class TestMainQueue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void manualRunsInTimeOrder();
    void manualRepeatsUntilInvalidated();
    void manualDropsTasksOfDeadContext();
    void manualRunsTasksScheduledWhileRunning();
    void qtQueueRunsLaterAndRepeats();
};

void TestMainQueue::manualRunsInTimeOrder()
{
    platform::ManualMainQueue q;
    QStringList log;
    QObject ctx;
    q.asyncAfter(0.2, &ctx, [&] { log << QStringLiteral("0.2"); });
    q.asyncAfter(0.1, &ctx, [&] { log << QStringLiteral("0.1"); });
    q.async(&ctx, [&] { log << QStringLiteral("now-1"); });
    q.async(&ctx, [&] { log << QStringLiteral("now-2"); });
    QVERIFY(log.isEmpty());
    q.runPending();
    QCOMPARE(log, (QStringList{QStringLiteral("now-1"), QStringLiteral("now-2")}));
    q.advance(0.15);
    QCOMPARE(log.size(), 3);
    QCOMPARE(q.now(), 0.15);
    q.advance(0.05);
    QCOMPARE(log.last(), QStringLiteral("0.2"));
    QCOMPARE(q.pendingCount(), std::size_t(0));
}

void TestMainQueue::manualRepeatsUntilInvalidated()
{
    platform::ManualMainQueue q;
    QObject ctx;
    int ticks = 0;
    auto timer = q.scheduleRepeating(0.5, &ctx, [&] { ++ticks; });
    q.advance(0.49);
    QCOMPARE(ticks, 0);
    q.advance(1.01);
    QCOMPARE(ticks, 3);
    timer->invalidate();
    QVERIFY(!timer->isValid());
    q.advance(5);
    QCOMPARE(ticks, 3);
    auto dropped = q.scheduleRepeating(0.5, &ctx, [&] { ++ticks; });
    dropped.reset();
    q.advance(5);
    QCOMPARE(ticks, 3);
}

void TestMainQueue::manualDropsTasksOfDeadContext()
{
    platform::ManualMainQueue q;
    int runs = 0;
    {
        QObject ctx;
        q.async(&ctx, [&] { ++runs; });
        q.asyncAfter(1, &ctx, [&] { ++runs; });
    }
    q.advance(2);
    QCOMPARE(runs, 0);
}

void TestMainQueue::manualRunsTasksScheduledWhileRunning()
{
    platform::ManualMainQueue q;
    QObject ctx;
    QStringList log;
    q.asyncAfter(0.1, &ctx, [&] {
        log << QStringLiteral("outer");
        q.async(&ctx, [&] { log << QStringLiteral("inner"); });
        q.asyncAfter(0.1, &ctx, [&] { log << QStringLiteral("later"); });
    });
    q.advance(0.1);
    QCOMPARE(log, (QStringList{QStringLiteral("outer"), QStringLiteral("inner")}));
    q.advance(0.1);
    QCOMPARE(log.last(), QStringLiteral("later"));
}

void TestMainQueue::qtQueueRunsLaterAndRepeats()
{
    platform::QtMainQueue q;
    QObject ctx;
    bool ran = false;
    q.async(&ctx, [&] { ran = true; });
    QVERIFY(!ran); // never inline
    QTRY_VERIFY(ran);
    bool late = false;
    q.asyncAfter(0.05, &ctx, [&] { late = true; });
    QTRY_VERIFY(late);
    int ticks = 0;
    auto timer = q.scheduleRepeating(0.01, &ctx, [&] { ++ticks; });
    QTRY_VERIFY(ticks >= 3);
    timer->invalidate();
    const int stopped = ticks;
    QTest::qWait(50);
    QCOMPARE(ticks, stopped);
    {
        auto ctx2 = std::make_unique<QObject>();
        bool dead = false;
        q.async(ctx2.get(), [&] { dead = true; });
        ctx2.reset();
        QTest::qWait(20);
        QVERIFY(!dead);
    }
}

QTEST_GUILESS_MAIN(TestMainQueue)
#include "tst_mainqueue.moc"
