#include "BenchText.h"
#include "LanguageDetector.h"

#include <benchmark/benchmark.h>

using namespace ondrel;

namespace {

constexpr qsizetype kMB = 1 << 20;

void run(benchmark::State& state, const QString& text, std::optional<DetectedLanguage> expected)
{
    if (expected && detectLanguage(text) != *expected) {
        state.SkipWithError("the input does not reach the intended step");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(detectLanguage(text));
    state.SetBytesProcessed(state.iterations() * text.size());
    state.counters["MB"] = static_cast<double>(text.size()) / kMB;
}

// Budget: 50 ms per MB for text that reaches the last step.
void BM_DetectPlain(benchmark::State& state)
{
    run(state, bench::plainText(state.range(0) * kMB), DetectedLanguage::plain);
}
BENCHMARK(BM_DetectPlain)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

QString repeatTo(const QString& unit, qsizetype length)
{
    QString text;
    text.reserve(length + unit.size());
    while (text.size() < length)
        text += unit;
    text.truncate(length);
    return text;
}

// Budget: no input up to 1 MB over 50 ms, adversarial ones included.
void BM_DetectOpenBraces(benchmark::State& state)
{
    run(state, repeatTo(QStringLiteral("rule {\n  key: value;\n"), kMB), DetectedLanguage::plain);
}
BENCHMARK(BM_DetectOpenBraces)->Unit(benchmark::kMillisecond);

void BM_DetectOpenBracesClosedAtEnd(benchmark::State& state)
{
    run(state, repeatTo(QStringLiteral("rule {\n  key: value;\n"), kMB - 1) + u'}', DetectedLanguage::css);
}
BENCHMARK(BM_DetectOpenBracesClosedAtEnd)->Unit(benchmark::kMillisecond);

void BM_DetectWordsAndBraces(benchmark::State& state)
{
    run(state, repeatTo(QStringLiteral("a{b "), kMB - 1) + u'}', std::nullopt);
}
BENCHMARK(BM_DetectWordsAndBraces)->Unit(benchmark::kMillisecond);

void BM_DetectOpenTags(benchmark::State& state)
{
    run(state, repeatTo(QStringLiteral("<a "), kMB - 1) + u'>', std::nullopt);
}
BENCHMARK(BM_DetectOpenTags)->Unit(benchmark::kMillisecond);

void BM_DetectDeepBrackets(benchmark::State& state)
{
    run(state, QString(kMB / 2, u'[') + QString(kMB / 2, u']'), std::nullopt);
}
BENCHMARK(BM_DetectDeepBrackets)->Unit(benchmark::kMillisecond);

void BM_DetectLongJson(benchmark::State& state)
{
    QString text = QStringLiteral("[");
    while (text.size() < kMB)
        text +=
            QStringLiteral("{\"id\": 12345, \"name\": \"entry\", \"tags\": [\"a\", \"b\"], \"ok\": true},");
    text += QStringLiteral("null]");
    run(state, text, DetectedLanguage::json);
}
BENCHMARK(BM_DetectLongJson)->Unit(benchmark::kMillisecond);

void BM_DetectSpaces(benchmark::State& state)
{
    run(state, QStringLiteral("import") + QString(kMB, u' '), std::nullopt);
}
BENCHMARK(BM_DetectSpaces)->Unit(benchmark::kMillisecond);

void BM_DetectShebangLine(benchmark::State& state)
{
    run(state, QStringLiteral("#!") + repeatTo(QStringLiteral("/x"), kMB), std::nullopt);
}
BENCHMARK(BM_DetectShebangLine)->Unit(benchmark::kMillisecond);

// A capture of everyday size that runs every step.
void BM_DetectSmall(benchmark::State& state)
{
    run(state, bench::plainText(state.range(0)), DetectedLanguage::plain);
}
BENCHMARK(BM_DetectSmall)->Arg(100)->Arg(2000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
