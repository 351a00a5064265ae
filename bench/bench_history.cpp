#include "BenchText.h"
#include "ClipboardHistory.h"
#include "HistoryFile.h"
#include "ManualScheduler.h"
#include "MemoryClipboard.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "RecordingPasteTyper.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

using namespace ondrel;

namespace {

QList<ClipboardItem> makeItems(int count, qsizetype length, bool mixed)
{
    QList<ClipboardItem> items;
    items.reserve(count);
    const double now = Timestamp::now().secondsSinceReferenceDate();
    for (int i = 0; i < count; ++i) {
        const QString text = mixed ? bench::mixedText(length, i + 1) : bench::plainText(length, i + 1);
        items.append(ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, text, std::nullopt, {},
                                   Timestamp::fromSecondsSinceReferenceDate(now - i),
                                   QStringLiteral("Editor"), std::nullopt, i % 50 == 0,
                                   DetectedLanguage::plain));
    }
    return items;
}

// Fresh copies with empty search caches, as after a launch.
QList<ClipboardItem> fresh(const QList<ClipboardItem>& items)
{
    QList<ClipboardItem> out;
    out.reserve(items.size());
    for (const auto& i : items)
        out.append(ClipboardItem(i.id(), i.type(), i.text(), i.image(), i.fileURLs(), i.timestamp(),
                                 i.appName(), i.appIcon(), i.isPinned(), i.detectedLanguage()));
    return out;
}

struct Store
{
    platform::MemorySettings settings;
    platform::ManualScheduler scheduler;
    platform::MemoryClipboard clipboard;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    ClipboardHistory history{
        ClipboardHistory::Services{settings, scheduler, clipboard, pasteTyper, focus, nullptr}};
};

// Budget: 16 ms over 10,000 entries / 10 MB; 1 ms over 200 entries.
// range(0): entries; range(1): 1 = first search after launch (search forms built), 0 = later searches;
// range(2): 0 = an ASCII letter, 1 = an accented letter (needs the caseless form of non-ASCII entries).
void BM_FilterOneCharacter(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const bool cold = state.range(1) != 0;
    const QList<ClipboardItem> items = makeItems(count, (10 << 20) / 10000, true);
    Store store;
    store.history.store.setItems(items);
    // Rare letters: most entries are scanned to their end.
    const QString query = state.range(2) ? QStringLiteral("É") : QStringLiteral("x");
    store.history.state.setSearchText(query);
    benchmark::DoNotOptimize(store.history.state.filteredItems());
    for (auto _ : state) {
        state.PauseTiming();
        store.history.store.setItems(cold ? fresh(items) : items);
        store.history.state.setSearchText(QString());
        state.ResumeTiming();
        store.history.state.setSearchText(query);
        benchmark::DoNotOptimize(store.history.state.filteredItems());
    }
    state.counters["matches"] = static_cast<double>(store.history.state.filteredItems().size());
}
BENCHMARK(BM_FilterOneCharacter)
    ->Args({10000, 0, 0})
    ->Args({10000, 1, 0})
    ->Args({200, 0, 0})
    ->Args({200, 1, 0})
    ->Args({10000, 0, 1})
    ->Args({10000, 1, 1})
    ->Args({200, 0, 1})
    ->Args({200, 1, 1})
    ->Unit(benchmark::kMillisecond);

// Budget: save 5 ms, load 20 ms (200 entries of 2 KB).
void BM_Save200(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    const QList<ClipboardItem> items = makeItems(200, 2048, true);
    for (auto _ : state)
        file.save(items);
}
BENCHMARK(BM_Save200)->Unit(benchmark::kMillisecond);

// 50 texts of 1 MB, saved once already: the save after one more capture
// (what the writer thread does per copy). Entries keep their encoded
// records, so this is mostly copying 50 MB of bytes to the file.
void BM_SaveAfterCapture50x1MB(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    QList<ClipboardItem> items = makeItems(50, 1 << 20, false);
    file.save(items);
    for (auto _ : state) {
        items.prepend(ClipboardItem::makeText(QStringLiteral("one more")));
        file.save(items);
        items.removeFirst();
    }
}
BENCHMARK(BM_SaveAfterCapture50x1MB)->Unit(benchmark::kMillisecond);

// A 1 MB text made into an entry (its compact form; done on a worker
// thread for a capture) and read back (copy-out, the detail view, search).
void BM_MakeLongText1MB(benchmark::State& state)
{
    const QString text = bench::plainText(1 << 20, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, text,
                                               std::nullopt, {}, Timestamp::now(), std::nullopt, std::nullopt,
                                               false, DetectedLanguage::plain));
}
BENCHMARK(BM_MakeLongText1MB)->Unit(benchmark::kMillisecond);

void BM_ReadLongText1MB(benchmark::State& state)
{
    const ClipboardItem item = makeItems(1, 1 << 20, true).first();
    for (auto _ : state)
        benchmark::DoNotOptimize(item.text());
}
BENCHMARK(BM_ReadLongText1MB)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state, int count, qsizetype length)
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    file.save(makeItems(count, length, true));
    for (auto _ : state)
        benchmark::DoNotOptimize(file.load());
}
// Budget: 20 ms.
void BM_Load200(benchmark::State& state)
{
    BM_Load(state, 200, 2048);
}
BENCHMARK(BM_Load200)->Unit(benchmark::kMillisecond);
// Budget: 1 s for a 20 MB file of 20,000 entries.
void BM_Load20000(benchmark::State& state)
{
    BM_Load(state, 20000, 1024);
}
BENCHMARK(BM_Load20000)->Unit(benchmark::kMillisecond)->Iterations(3);

// A screenshot-like picture: flat areas, gradients and lines of "text".
QImage screenshot(int seed)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const bool glyph = (y / 4) % 5 < 3 && ((x * 7 + y * 3 + seed) % 11) < 4 && x % 600 < 500;
            line[x] = glyph ? qRgb(30, 30, 30) : qRgb(240 - y / 20, 240 - x / 40, 250 - seed % 50);
        }
    }
    return image;
}

qint64 pssKiB()
{
    QFile rollup(QStringLiteral("/proc/self/smaps_rollup"));
    if (!rollup.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : rollup.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Budgets: with 100 stored 1920x1080 screenshots, at most 20 ms more than
// without them to load, and 8 MiB more held in memory (pss_MiB: what the
// loaded history adds). range(0): screenshots beside 200 texts.
void BM_LoadWithScreenshots(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    QList<ClipboardItem> items = makeItems(200, 2048, true);
    for (int i = 0; i < state.range(0); ++i)
        items.insert(i * 3, ClipboardItem::makeImage(screenshot(i)));
    file.save(items);
    items.clear();
    ::malloc_trim(0);
    const qint64 before = pssKiB();
    const QList<ClipboardItem> held = file.load();
    state.counters["pss_MiB"] = double(pssKiB() - before) / 1024;
    for (auto _ : state)
        benchmark::DoNotOptimize(file.load());
}
BENCHMARK(BM_LoadWithScreenshots)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

// Budget: a copy-out of a stored 4K PNG entry leaves the GUI thread within
// 5 ms (its reading and decoding, BM_Decode4K, run on a worker).
void BM_CopyOutStored4K(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    QImage image = screenshot(1).scaled(3840, 2160);
    file.save({ClipboardItem::makeImage(image)});
    const ClipboardItem stored = file.load().first();
    Store store;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.history.paster.copy(stored));
    if (!stored.storedImage())
        state.SkipWithError("not stored");
}
BENCHMARK(BM_CopyOutStored4K)->Unit(benchmark::kMicrosecond)->Iterations(20);

void BM_Decode4K(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryFile file(dir.path());
    file.save({ClipboardItem::makeImage(screenshot(1).scaled(3840, 2160))});
    const ClipboardItem stored = file.load().first();
    for (auto _ : state)
        benchmark::DoNotOptimize(QImage::fromData(stored.imageBytes()->bytes));
}
BENCHMARK(BM_Decode4K)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    // Work handed back from workers needs an application object.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
