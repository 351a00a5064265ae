#include "ManualScheduler.h"
#include "QtScheduler.h"
#include "TestSupport.h"

#include <QTest>

using namespace ondrel;

class TestScheduler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }

    void manualRunsInTimeOrder();
    void manualRepeatsUntilInvalidated();
    void qtQueueRunsLaterAndRepeats();
};

void TestScheduler::manualRunsInTimeOrder()
{
    platform::ManualScheduler q;
    QStringList log;
    QObject ctx;
    q.postAfter(0.2, &ctx, [&] { log << QStringLiteral("0.2"); });
    q.postAfter(0.1, &ctx, [&] { log << QStringLiteral("0.1"); });
    q.post(&ctx, [&] { log << QStringLiteral("now-1"); });
    q.post(&ctx, [&] { log << QStringLiteral("now-2"); });
    QVERIFY(log.isEmpty());
    q.runPending();
    QCOMPARE(log, (QStringList{QStringLiteral("now-1"), QStringLiteral("now-2")}));
    q.advance(0.15);
    QCOMPARE(log.size(), 3);
    QCOMPARE(q.now(), 0.15);
    q.advance(0.05);
    QCOMPARE(log.last(), QStringLiteral("0.2"));
    QCOMPARE(q.pendingCount(), std::size_t(0));
    // Tasks posted by a task run in the same advance when due; those of a
    // context gone never run.
    log.clear();
    q.postAfter(0.1, &ctx, [&] {
        log << QStringLiteral("outer");
        q.post(&ctx, [&] { log << QStringLiteral("inner"); });
        q.postAfter(0.1, &ctx, [&] { log << QStringLiteral("later"); });
    });
    {
        QObject gone;
        q.post(&gone, [&] { log << QStringLiteral("gone"); });
        q.postAfter(0.1, &gone, [&] { log << QStringLiteral("gone"); });
    }
    q.advance(0.1);
    QCOMPARE(log, (QStringList{QStringLiteral("outer"), QStringLiteral("inner")}));
    q.advance(0.1);
    QCOMPARE(log.last(), QStringLiteral("later"));
}

void TestScheduler::manualRepeatsUntilInvalidated()
{
    platform::ManualScheduler q;
    QObject ctx;
    int ticks = 0;
    auto timer = q.scheduleRepeating(0.5, &ctx, [&] { ++ticks; });
    q.advance(0.49);
    QCOMPARE(ticks, 0);
    q.advance(1.01);
    QCOMPARE(ticks, 3);
    timer->stop();
    QVERIFY(!timer->isValid());
    q.advance(5);
    QCOMPARE(ticks, 3);
    auto dropped = q.scheduleRepeating(0.5, &ctx, [&] { ++ticks; });
    dropped.reset();
    q.advance(5);
    QCOMPARE(ticks, 3);
}

void TestScheduler::qtQueueRunsLaterAndRepeats()
{
    platform::QtScheduler q;
    QObject ctx;
    bool ran = false;
    q.post(&ctx, [&] { ran = true; });
    QVERIFY(!ran); // never inline
    QTRY_VERIFY(ran);
    bool late = false;
    q.postAfter(0.05, &ctx, [&] { late = true; });
    QTRY_VERIFY(late);
    int ticks = 0;
    auto timer = q.scheduleRepeating(0.01, &ctx, [&] { ++ticks; });
    QTRY_VERIFY(ticks >= 3);
    timer->stop();
    const int stopped = ticks;
    // A task due after several periods has run: a running timer would have ticked by then.
    bool later = false;
    q.postAfter(0.05, &ctx, [&] { later = true; });
    QTRY_VERIFY(later);
    QCOMPARE(ticks, stopped);
    // Tasks run in order: one of a dead context would have run before the next.
    auto dying = std::make_unique<QObject>();
    bool dead = false;
    q.post(dying.get(), [&] { dead = true; });
    dying.reset();
    bool next = false;
    q.post(&ctx, [&] { next = true; });
    QTRY_VERIFY(next);
    QVERIFY(!dead);
}

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
