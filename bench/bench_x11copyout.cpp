// Images on the X11 clipboard, 1920 × 1080 and 3840 × 2160 (PNG, as
// screenshot tools copy them), and what each costs the GUI thread:
// - BM_CopyOutImage*: a new image entry put back, the time until the watcher
//   has looked at that write;
// - BM_CaptureImage4K: another program copies one, until its entry is saved
//   (image, thumbnail, index); longest_stall_ms is the longest the GUI
//   thread's event loop stood still meanwhile (budget 16 ms), gui_cpu_ms
//   the processor time the GUI thread used in all;
// - BM_CopyOutStoredImage4K: that saved entry (read from disk) put back,
//   until the copy it makes is saved in turn (budget: the GUI thread
//   free again within 5 ms), then read whole by another program
//   (read_stall_ms: Qt sends it from the GUI thread).
// On two processors the stalls include waiting for one while the workers
// decode and encode: gui_cpu_ms is the GUI thread's own part.
// Run inside scripts/with-x11 (a private X server), release build, e.g.
//   scripts/with-x11 build/release/bench/bench_x11copyout
#include "HistoryFile.h"
#include "LiveStore.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "X11Clipboard.h"
#include "X11TestSupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <functional>

using namespace ondrel;

namespace {

// Something like a screenshot of a photo: gradients under fine noise, so
// that encoding costs what it costs on real images.
QImage photo(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(30, 90, 160));
    gradient.setColorAt(1, QColor(230, 180, 60));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] ^= random.bounded(16u) * 0x010101u;
    }
    return image;
}

void copyOut(benchmark::State& state, QSize size)
{
    platform::X11Clipboard board(QGuiApplication::clipboard());
    test::LiveStore store(board);
    // Recorded the way every copy is: another program offers it, the watcher reads it.
    test::offer(test::encodedImage(photo(size)), QStringLiteral("image/png"));
    QElapsedTimer waited;
    waited.start();
    while (store.history.store.items().isEmpty() && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (store.history.store.items().isEmpty()) {
        state.SkipWithError("the image was not recorded (run inside scripts/with-x11)");
        return;
    }
    const ClipboardItem item = store.history.store.items().first();
    ClipboardWatcher& watcher = store.history.watcher;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        store.history.paster.copyAndPaste(item);
        // The watcher looks at our own write too, on this thread.
        while (watcher.lastChangeCount() != board.changeCount() || watcher.isReading())
            QCoreApplication::processEvents();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

void BM_CopyOutImage1080p(benchmark::State& state)
{
    copyOut(state, QSize(1920, 1080));
}
BENCHMARK(BM_CopyOutImage1080p)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_CopyOutImage4K(benchmark::State& state)
{
    copyOut(state, QSize(3840, 2160));
}
BENCHMARK(BM_CopyOutImage4K)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// Runs the event loop until `done`, for 20 s at most. The loop sleeps
// between events as the program's does: a loop that spins would lose the
// processor to the workers, and the stalls measured would be its own.
bool waitUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(2);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// A history kept in a folder of its own, on the real clipboard, with one
// saved 4K screenshot captured from another program.
struct SavedScreenshot
{
    SavedScreenshot() : file(folder.path()), store(board, nullptr, nullptr, nullptr, &file)
    {
        store.history.store.waitForLoad();
        QFile png(folder.filePath(QStringLiteral("shot.png")));
        if (png.open(QIODevice::WriteOnly))
            png.write(test::encodedImage(photo(QSize(3840, 2160))));
    }
    // Another program copies the screenshot (xclip reads it from a file:
    // nothing of this process is busy writing it); true once it is saved.
    bool capture()
    {
        const qsizetype before = store.history.store.items().size();
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                     QStringLiteral("image/png"), QStringLiteral("-i"),
                     folder.filePath(QStringLiteral("shot.png"))});
        return waitForSaved(before, &xclip);
    }
    // Whether the history gained an entry, saved (with its thumbnail) within 20 s.
    bool waitForSaved(qsizetype before, const QProcess* copying = nullptr)
    {
        return waitUntil([&] {
            const QList<ClipboardItem>& items = store.history.store.items();
            return (!copying || copying->state() == QProcess::NotRunning) && items.size() > before &&
                   items.first().storedImage() && store.history.store.isSaved(items.first().id());
        });
    }
    // What another program reads of the clipboard as a PNG; it writes it to
    // a file, so that this process spends no time on its bytes until then.
    QByteArray readBack()
    {
        const QString path = folder.filePath(QStringLiteral("read.png"));
        QProcess xclip;
        xclip.setStandardOutputFile(path);
        xclip.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                     QStringLiteral("image/png"), QStringLiteral("-o")});
        if (!waitUntil([&] { return xclip.state() == QProcess::NotRunning; }))
            return {};
        QFile read(path);
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    }

    QTemporaryDir folder;
    platform::X11Clipboard board{QGuiApplication::clipboard()};
    HistoryFile file;
    test::LiveStore store;
};

void BM_CaptureImage4K(benchmark::State& state)
{
    SavedScreenshot shot;
    double longest = 0;
    double cpu = 0;
    for (auto _ : state) {
        bench::StallMeter meter;
        QElapsedTimer timer;
        timer.start();
        if (!shot.capture()) {
            state.SkipWithError("the screenshot was not recorded and saved (run inside scripts/with-x11)");
            return;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        longest = std::max(longest, meter.longestMs());
        cpu = std::max(cpu, meter.cpuMs());
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["gui_cpu_ms"] = cpu;
}
BENCHMARK(BM_CaptureImage4K)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_CopyOutStoredImage4K(benchmark::State& state)
{
    SavedScreenshot shot;
    if (!shot.capture()) {
        state.SkipWithError("the screenshot was not recorded and saved (run inside scripts/with-x11)");
        return;
    }
    const ClipboardItem item = shot.store.history.store.items().first();
    const QByteArray expected = item.imageBytes().value_or(platform::EncodedImage{}).bytes;
    double longest = 0;
    double cpu = 0;
    double longestRead = 0;
    for (auto _ : state) {
        const qsizetype entries = shot.store.history.store.items().size();
        bench::StallMeter meter;
        QElapsedTimer timer;
        timer.start();
        shot.store.history.paster.copyAndPaste(item);
        // Done once the image is on the clipboard and, copied again, is an
        // entry saved in its turn.
        if (!shot.waitForSaved(entries)) {
            state.SkipWithError("the image was not put back");
            return;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        longest = std::max(longest, meter.longestMs());
        cpu = std::max(cpu, meter.cpuMs());
        // Then another program reads it whole: Qt sends it on this thread.
        bench::StallMeter reading;
        if (shot.readBack() != expected) {
            state.SkipWithError("the image read back differs");
            return;
        }
        longestRead = std::max(longestRead, reading.longestMs());
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["gui_cpu_ms"] = cpu;
    state.counters["read_stall_ms"] = longestRead;
}
BENCHMARK(BM_CopyOutStoredImage4K)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
