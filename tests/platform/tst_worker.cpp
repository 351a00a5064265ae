#include "TestSupport.h"
#include "Worker.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <semaphore>

using namespace ondrel;

class TestWorker : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void tasksRunInOrderOffTheGuiThread();
    void resultsReachOnlyALiveReceiverOnTheGuiThread();
    void destructionRunsWhatIsQueuedAndJoins();
    void destructionStopsALongTask();
};

void TestWorker::tasksRunInOrderOffTheGuiThread()
{
    platform::Worker worker("test");
    std::vector<int> order;
    std::atomic<bool> offGui = true;
    for (int i = 0; i < 5; ++i)
        worker.post([&, i] {
            order.push_back(i);
            offGui = offGui && QThread::currentThread() != QCoreApplication::instance()->thread() &&
                     worker.isCurrentThread();
        });
    worker.waitIdle();
    QCOMPARE(order, (std::vector<int>{0, 1, 2, 3, 4}));
    QVERIFY(offGui);
    QVERIFY(!worker.isCurrentThread());
}

void TestWorker::resultsReachOnlyALiveReceiverOnTheGuiThread()
{
    platform::Worker worker("test");
    auto receiver = std::make_unique<QObject>();
    std::binary_semaphore release(0);
    bool called = false;
    // The work finishes only after its receiver is gone: the result must not
    // reach it, and reading the receiver happens on the GUI thread only.
    worker.run(
        receiver.get(), [&] { return release.acquire(), 1; }, [&](int) { called = true; });
    receiver.reset();
    release.release();
    worker.waitIdle();
    QObject later;
    std::optional<int> got;
    QThread* ranOn = nullptr;
    worker.run(
        &later, [] { return 42; },
        [&](int v) {
            got = v;
            ranOn = QThread::currentThread();
        });
    QTRY_VERIFY(got); // results arrive in order: the dropped one came first
    QCOMPARE(*got, 42);
    QCOMPARE(ranOn, QCoreApplication::instance()->thread());
    QVERIFY(!called);
}

void TestWorker::destructionRunsWhatIsQueuedAndJoins()
{
    auto ran = std::make_shared<std::atomic<int>>(0);
    {
        platform::Worker worker("test");
        for (int i = 0; i < 3; ++i)
            worker.post([ran] {
                QThread::msleep(10);
                ++*ran;
            });
    }
    QCOMPARE(ran->load(), 3); // nothing queued is lost, and nothing runs after
}

void TestWorker::destructionStopsALongTask()
{
    std::atomic<bool> sawStop = false;
    std::binary_semaphore started(0);
    std::mutex mutex;
    std::condition_variable cv;
    bool woken = false;
    {
        platform::Worker worker("test");
        worker.setWakeUp([&] {
            std::lock_guard lock(mutex);
            woken = true;
            cv.notify_all();
        });
        worker.post([&] {
            started.release();
            std::unique_lock lock(mutex);
            // Waits on its own condition, as a poll on a socket would.
            cv.wait(lock, [&] { return woken; });
            sawStop = worker.stopping();
        });
        started.acquire();
    }
    QVERIFY(sawStop);
}

QTEST_GUILESS_MAIN(TestWorker)
#include "tst_worker.moc"
