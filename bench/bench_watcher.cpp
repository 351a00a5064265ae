#include "BenchText.h"
#include "ClipboardHistory.h"
#include "HistoryFile.h"
#include "ManualScheduler.h"
#include "MemoryClipboard.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "RecordingPasteTyper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace ondrel;

namespace {

struct Watched
{
    QTemporaryDir dir;
    platform::MemorySettings settings;
    platform::ManualScheduler scheduler;
    platform::MemoryClipboard clipboard;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    HistoryFile file{dir.path()};
    ClipboardHistory history{{settings, scheduler, clipboard, pasteTyper, focus, &file}};
};

// Budget: 2 µs for a poll that finds nothing new.
void BM_IdlePoll(benchmark::State& state)
{
    Watched w;
    QList<ClipboardItem> items;
    for (int i = 0; i < 50; ++i)
        items << ClipboardItem::makeText(QString::number(i));
    w.history.store.setItems(items);
    w.history.watcher.startMonitoring();
    for (auto _ : state)
        w.history.watcher.checkClipboard();
}
BENCHMARK(BM_IdlePoll);

// Budget: from the poll that sees a copy to its entry saved: 100 ms for
// 1 MB, 1 s for 10 MB; the popover keeps answering. Prose that runs every
// detection step. The time is the whole latency; "gui_ms" is the longest
// stretch the GUI thread was busy (the poll, then the insertion and save).
void BM_CaptureAndSave(benchmark::State& state)
{
    Watched w;
    w.history.watcher.startMonitoring();
    const QString base = bench::plainText(state.range(0) << 20);
    int n = 0;
    double longest = 0;
    for (auto _ : state) {
        w.history.store.clearUnpinned(); // each copy lands in a history of everyday size
        for (int i = 0; i < 20; ++i)
            w.history.store.addItem(ClipboardItem::makeText(bench::plainText(2000, unsigned(i + 1))));
        w.scheduler.runPending();
        w.clipboard.setString(base + QString::number(n++)); // a new text each time
        QElapsedTimer total;
        total.start();
        QElapsedTimer busy;
        busy.start();
        w.history.watcher.checkClipboard();
        longest = std::max(longest, busy.nsecsElapsed() / 1e6);
        while (w.history.watcher.pendingCaptureCount() > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        busy.restart();
        w.scheduler.runPending(); // insertion, cap and save
        longest = std::max(longest, busy.nsecsElapsed() / 1e6);
        state.SetIterationTime(total.nsecsElapsed() / 1e9);
    }
    state.counters["gui_ms"] = longest;
    if (w.history.store.items().size() != 21 || w.history.store.items().first().text()->size() < base.size())
        state.SkipWithError("the copy was not recorded");
}
BENCHMARK(BM_CaptureAndSave)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // worker threads report back through the event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
