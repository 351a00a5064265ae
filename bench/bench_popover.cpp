// The popover's budgets: first paint with 200 entries, a typed search
// character over 10,000 entries, painting the visible rows, and the switch
// between the light and the dark look while it is open.
#include "BenchText.h"
#include "ClipboardHistory.h"
#include "ManualScheduler.h"
#include "MemoryClipboard.h"
#include "MemoryColorScheme.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "PopoverContent.h"
#include "RecordingPasteTyper.h"
#include "Theme.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <memory>

using namespace ondrel;

namespace {

struct Popover
{
    platform::MemorySettings settings;
    platform::ManualScheduler scheduler;
    platform::MemoryClipboard clipboard;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    platform::MemoryColorScheme colorScheme;
    ThemeManager theme{settings, &colorScheme};
    ClipboardHistory history{{settings, scheduler, clipboard, pasteTyper, focus, nullptr}};
    std::unique_ptr<PopoverContent> view;
    QImage frame{PopoverContent::kWidth * 2, PopoverContent::kHeight * 2,
                 QImage::Format_ARGB32_Premultiplied};

    explicit Popover(const QList<ClipboardItem>& items)
    {
        history.store.setItems(items);
        frame.setDevicePixelRatio(2);
    }
    void create()
    {
        view = std::make_unique<PopoverContent>(history.store, history.state, history.paster, theme,
                                                scheduler, clipboard);
        view->resize(PopoverContent::kWidth, PopoverContent::kHeight);
        view->show();
    }
    // Lays out and paints the whole popover at 2x, as the screen would.
    void paint() { view->render(&frame); }
};

// Texts of a few hundred bytes in many languages, as copied over weeks.
QList<ClipboardItem> history(int count)
{
    static QList<ClipboardItem> cache;
    if (cache.size() < count) {
        cache.clear();
        const double now = Timestamp::now().secondsSinceReferenceDate();
        for (int i = 0; i < count; ++i)
            cache << ClipboardItem::makeText(bench::mixedText(120 + (i * 37) % 400, i + 1),
                                             QStringLiteral("Editor"), std::nullopt,
                                             Timestamp::fromSecondsSinceReferenceDate(now - i * 60));
    }
    return cache.mid(0, count);
}

// Fresh copies: nothing prepared for search or drawing, as after a launch.
QList<ClipboardItem> fresh(const QList<ClipboardItem>& items)
{
    QList<ClipboardItem> out;
    for (const auto& i : items)
        out << ClipboardItem(QUuid::createUuid(), i.type(), i.text(), i.image(), i.fileURLs(), i.timestamp(),
                             i.appName(), i.appIcon(), i.isPinned(), i.detectedLanguage());
    return out;
}

void BM_FirstPaint(benchmark::State& state)
{
    const auto items = history(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto popover = std::make_unique<Popover>(fresh(items));
        state.ResumeTiming();
        popover->create();
        popover->paint();
        state.PauseTiming();
        popover.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstPaint)->Arg(200)->Arg(10000)->Unit(benchmark::kMillisecond);

// One typed character: the filter runs, the list is laid out and painted.
void BM_SearchCharacter(benchmark::State& state)
{
    Popover popover(fresh(history(int(state.range(0)))));
    popover.create();
    popover.paint();
    const QString typed[] = {QStringLiteral("e"), QStringLiteral("")};
    int i = 0;
    for (auto _ : state) {
        popover.history.state.setSearchText(typed[i++ % 2]);
        popover.paint();
    }
    // What was drawn: the rows of the last search, laid out.
    state.counters["rows"] = double(popover.view->list()->model()->rowCount());
    state.counters["scrollRange"] = double(popover.view->list()->verticalScrollBar()->maximum());
}
BENCHMARK(BM_SearchCharacter)->Arg(10000)->Unit(benchmark::kMillisecond);

// The desktop turns dark, or light again, while the popover is open: from
// the portal's change to the whole popover painted in the other look (its
// highlighted previews laid out again in their new colours).
void BM_LookSwitch(benchmark::State& state)
{
    auto items = fresh(history(int(state.range(0))));
    // Code among the text, as in a developer's history.
    for (int i = 0; i < items.size(); i += 3)
        items[i] =
            ClipboardItem::makeText(QStringLiteral("const total = items.reduce((a, b) => a + b, %1);").arg(i),
                                    QStringLiteral("Editor"), std::nullopt, items[i].timestamp());
    Popover popover(items);
    popover.create();
    popover.paint();
    bool dark = false;
    for (auto _ : state) {
        dark = !dark;
        popover.colorScheme.set(dark ? platform::DesktopColorScheme::Preference::dark
                                     : platform::DesktopColorScheme::Preference::light);
        popover.paint();
    }
    if (popover.theme.isDark() != dark)
        state.SkipWithError("the look did not follow the desktop");
}
BENCHMARK(BM_LookSwitch)->Arg(200)->Unit(benchmark::kMillisecond);

// The very first search after launch, when nothing is prepared yet.
void BM_FirstSearchCharacter(benchmark::State& state)
{
    const auto items = history(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto popover = std::make_unique<Popover>(fresh(items));
        popover->create();
        popover->paint();
        state.ResumeTiming();
        popover->history.state.setSearchText(QStringLiteral("e"));
        popover->paint();
        state.PauseTiming();
        popover.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstSearchCharacter)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);

// A frame while scrolling: each frame shows rows not drawn before.
void BM_ScrollFrame(benchmark::State& state)
{
    Popover popover(fresh(history(int(state.range(0)))));
    popover.create();
    popover.paint();
    QScrollBar* bar = popover.view->list()->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue((bar->value() + 400) % std::max(1, bar->maximum()));
        popover.view->list()->viewport()->render(&popover.frame);
    }
}
BENCHMARK(BM_ScrollFrame)->Arg(10000)->Unit(benchmark::kMillisecond);

// A frame without new rows (hover moved the selection).
void BM_RepaintFrame(benchmark::State& state)
{
    Popover popover(fresh(history(int(state.range(0)))));
    popover.create();
    popover.paint();
    int i = 0;
    for (auto _ : state) {
        popover.history.state.setSelectedIndex(i++ % 5);
        popover.view->list()->viewport()->render(&popover.frame);
    }
}
BENCHMARK(BM_RepaintFrame)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
