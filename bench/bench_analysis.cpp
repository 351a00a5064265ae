#include "BenchText.h"
#include "Highlighter.h"
#include "Transformations.h"

#include <QRandomGenerator>

#include <benchmark/benchmark.h>

using namespace ondrel;

namespace {

constexpr qsizetype kMB = 1 << 20;

const char* const kSamples[] = {
    "import SwiftUI\n\nstruct ContentView: View {\n    @State private var count = 0\n    var body: some View "
    "{ Text(\"Hi\") }\n}",
    "const add = (a, b) => a + b; // sum\nfunction greet(name) { console.log(`Hello ${name}`); return 42; }",
    "interface User { name: string; age: number }\nconst u: User = { name: 'Ada', age: 36 }; export default "
    "u;",
    "def greet(name):\n    \"\"\"Say hi.\"\"\"\n    return f'Hello {name}'  # comment\n\nif __name__ == "
    "'__main__': greet('x')",
    "class Greeter\n  attr_reader :name\n  def initialize(name)\n    @name = name\n  end\n  def greet? = "
    "puts \"hi\"\nend",
    "{\"name\": \"Ondrel\", \"version\": 1.25, \"tags\": [\"clipboard\", \"history\"], \"enabled\": true, "
    "\"n\": null}",
    "<div class=\"card\" id='main'><!-- note --><a href=\"https://example.com\">Link</a><br/></div>",
    ".card { border-radius: 12px; color: #ff00aa; margin: 0 auto; } #main { padding: 2em; font: 'Mono'; }",
    "#!/bin/bash\nfor f in *.txt; do\n  echo \"${f}\" 'x' $HOME 42\ndone\nexport PATH=$PATH:/opt",
    "SELECT u.name, COUNT(*) AS n FROM users u WHERE u.age > 21 AND name LIKE 'A%' GROUP BY u.name -- x",
    "package main\n\nfunc (s *Server) Start() error {\n\tx := `raw` // c\n\treturn fmt.Errorf(\"%d\", 1)\n}",
    "fn main() {\n    let mut v: Vec<u32> = Vec::new();\n    println!(\"{}\", v.len()); // done\n    "
    "Some(1)\n}",
};

QString preview(const char* sample)
{
    // What a row shows: the first 100 characters and "...".
    return QString::fromUtf8(sample).left(100) + QStringLiteral("...");
}

// Budget: 20 µs per call on a 103-character preview.
void BM_Highlight(benchmark::State& state)
{
    const auto language = kAllLanguages[static_cast<std::size_t>(state.range(0))];
    const QString text =
        preview(kSamples[std::min<std::size_t>(static_cast<std::size_t>(state.range(0)), 11)]);
    state.SetLabel(rawValue(language).toStdString());
    for (auto _ : state)
        benchmark::DoNotOptimize(highlight(text, language));
}
BENCHMARK(BM_Highlight)->DenseRange(0, 12)->Unit(benchmark::kMicrosecond);

QString jsonDocument(qsizetype size)
{
    QString text = QStringLiteral("{\"items\":[");
    QRandomGenerator rng(3);
    for (int i = 0; text.size() < size; ++i)
        text += QStringLiteral(
                    "{\"id\":%1,\"name\":\"entry é %2\",\"score\":%3,\"tags\":[\"a\",\"b/c\"],\"ok\":true},")
                    .arg(i)
                    .arg(rng.generate())
                    .arg(rng.generateDouble());
    text += QStringLiteral("null],\"z\":{\"k\":\"v\"}}");
    return text;
}

QString fiftyCharacterLines(qsizetype size)
{
    QString text;
    text.reserve(size + 64);
    QRandomGenerator rng(5);
    while (text.size() < size) {
        text += bench::plainText(50, rng.generate());
        text += u'\n';
    }
    return text;
}

// Budget: 50 ms per 1 MB input (sortLines 100 ms).
void BM_Transform(benchmark::State& state)
{
    const Transformation t = kAllTransformations[static_cast<std::size_t>(state.range(0))];
    QString input;
    switch (category(t)) {
    case TransformationCategory::json:
        input = t == Transformation::jsonUnescape ? *apply(Transformation::jsonEscape, bench::mixedText(kMB))
                                                  : jsonDocument(kMB);
        if (t == Transformation::jsonEscape)
            input = bench::mixedText(kMB);
        break;
    case TransformationCategory::lines:
        input = fiftyCharacterLines(kMB);
        break;
    default:
        input = bench::mixedText(kMB);
        if (t == Transformation::base64Decode)
            input = *apply(Transformation::base64Encode, input);
        if (t == Transformation::urlDecode)
            input = *apply(Transformation::urlEncode, input);
        break;
    }
    state.SetLabel(caseName(t).toStdString());
    if (!apply(t, input)) {
        state.SkipWithError("the transformation failed on its input");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(apply(t, input));
    state.counters["MB"] = static_cast<double>(input.size()) / kMB;
}
BENCHMARK(BM_Transform)->DenseRange(0, 19)->Unit(benchmark::kMillisecond);

// Must fail cleanly (or succeed), never crash.
void BM_PrettifyDeep(benchmark::State& state)
{
    const QString deep = QString(100000, u'[') + QString(100000, u']');
    for (auto _ : state)
        benchmark::DoNotOptimize(apply(Transformation::jsonPrettify, deep));
}
BENCHMARK(BM_PrettifyDeep)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
