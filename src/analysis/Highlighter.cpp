#include "Highlighter.h"

#include "Regex.h"

#include <QByteArray>

#include <array>
#include <vector>

namespace ondrel {

namespace {

using analysis::Regex;

constexpr std::array<HighlightColor, 9> kColors = {{
    {24, 24, 27},  // base
    {123, 0, 201}, // keyword
    {0, 104, 168}, // type
    {196, 26, 22}, // string
    {28, 125, 28}, // number
    {92, 99, 112}, // comment
    {194, 107, 0}, // function
    {0, 51, 179},  // variable
    {0, 51, 179},  // property
}};

constexpr std::array<const char16_t*, 9> kRoleNames = {
    u"base", u"keyword", u"type", u"string", u"number", u"comment", u"function", u"variable", u"property",
};

struct Rule
{
    const char* pattern;
    ColorRole role;
};

// Patterns that recur in several languages.
#define DOUBLE_QUOTED R"("[^"\\]*(?:\\.[^"\\]*)*")"
#define SINGLE_QUOTED R"('[^'\\]*(?:\\.[^'\\]*)*')"
#define NUMBER R"(\b\d+\.?\d*\b)"
#define CALL R"(\b\w+(?=\s*\())"

using R = ColorRole;

const std::vector<Rule> kSwift = {
    {R"(//.*$)", R::comment},
    {R"(/\*[\s\S]*?\*/)", R::comment},
    {DOUBLE_QUOTED, R::string},
    {R"(\b(func|var|let|if|else|guard|return|import|struct|class|enum|protocol|extension|private|public|internal|)"
     R"(fileprivate|static|final|override|mutating|throws|throw|try|catch|async|await|actor|some|any|where|in|for|)"
     R"(while|repeat|switch|case|default|break|continue|fallthrough|defer|do|self|Self|super|nil|true|false|init|)"
     R"(deinit|get|set|willSet|didSet|lazy|weak|unowned|inout|associatedtype|typealias|subscript|convenience|)"
     R"(required|optional|dynamic|indirect|nonisolated|isolated)\b)",
     R::keyword},
    {R"(\b(Int|String|Bool|Double|Float|Array|Dictionary|Set|Optional|Result|Error|Void|Any|AnyObject|Never|some|)"
     R"(View|State|Binding|Published|ObservableObject|EnvironmentObject)\b)",
     R::type},
    {R"(@\w+)", R::keyword},
    {NUMBER, R::number},
    {CALL, R::function},
};

const std::vector<Rule> kScript = {
    {R"(//.*$)", R::comment},
    {R"(/\*[\s\S]*?\*/)", R::comment},
    {DOUBLE_QUOTED, R::string},
    {SINGLE_QUOTED, R::string},
    {R"(`[^`]*`)", R::string},
    {R"(\b(const|let|var|function|return|if|else|for|while|do|switch|case|default|break|continue|throw|try|catch|)"
     R"(finally|new|delete|typeof|instanceof|in|of|class|extends|constructor|super|this|static|get|set|async|await|)"
     R"(yield|import|export|from|as|default)\b)",
     R::keyword},
    {R"(\b(string|number|boolean|any|void|never|unknown|null|undefined|object|symbol|bigint)\b)", R::type},
    {R"(\b(true|false|null|undefined|NaN|Infinity)\b)", R::number},
    {NUMBER, R::number},
    {CALL, R::function},
};

const std::vector<Rule> kPython = {
    {R"(#.*$)", R::comment},
    {R"("""[\s\S]*?""")", R::string},
    {R"('''[\s\S]*?''')", R::string},
    {DOUBLE_QUOTED, R::string},
    {SINGLE_QUOTED, R::string},
    {R"(\b(def|class|if|elif|else|for|while|try|except|finally|with|as|import|from|return|yield|raise|break|)"
     R"(continue|pass|lambda|and|or|not|in|is|True|False|None|self|global|nonlocal|assert|del|async|await)\b)",
     R::keyword},
    {R"(\b(int|str|float|bool|list|dict|set|tuple|bytes|type|object)\b)", R::type},
    {NUMBER, R::number},
    {CALL, R::function},
};

const std::vector<Rule> kRuby = {
    {R"(#.*$)", R::comment},
    {R"(=begin[\s\S]*?=end)", R::comment},
    {DOUBLE_QUOTED, R::string},
    {SINGLE_QUOTED, R::string},
    {R"(\b(def|class|module|if|elsif|else|unless|case|when|while|until|for|do|end|begin|rescue|ensure|raise|)"
     R"(return|yield|break|next|redo|retry|self|super|nil|true|false|and|or|not|in|then|attr_accessor|attr_reader|)"
     R"(attr_writer|require|require_relative|include|extend|private|public|protected)\b)",
     R::keyword},
    {R"(\b(String|Integer|Float|Array|Hash|Symbol|Proc|Lambda|Object|Class|Module|Numeric|TrueClass|FalseClass|)"
     R"(NilClass)\b)",
     R::type},
    {R"(:\w+)", R::string},
    {R"(@\w+)", R::variable},
    {NUMBER, R::number},
    {R"(\b\w+[?!]?)", R::function},
};

const std::vector<Rule> kJson = {
    {DOUBLE_QUOTED R"((?=\s*:))", R::property},
    {DOUBLE_QUOTED, R::string},
    {R"(\b(true|false|null)\b)", R::keyword},
    {R"(-?\b\d+\.?\d*([eE][+-]?\d+)?\b)", R::number},
};

const std::vector<Rule> kHtml = {
    {R"(<!--[\s\S]*?-->)", R::comment},
    {R"(</?[a-zA-Z][a-zA-Z0-9]*)", R::keyword},
    {R"(/>)", R::keyword},
    {R"(>)", R::keyword},
    {R"(\b[a-zA-Z-]+(?=\s*=))", R::property},
    {R"("[^"]*")", R::string},
    {R"('[^']*')", R::string},
};

const std::vector<Rule> kCss = {
    {R"(/\*[\s\S]*?\*/)", R::comment},
    {R"([.#]?[a-zA-Z_][a-zA-Z0-9_-]*(?=\s*\{))", R::type},
    {R"([a-zA-Z-]+(?=\s*:))", R::property},
    {R"(#[0-9a-fA-F]{3,8}\b)", R::number},
    {R"(\b\d+\.?\d*(px|em|rem|%|vh|vw|pt|cm|mm|in)?\b)", R::number},
    {R"("[^"]*")", R::string},
    {R"('[^']*')", R::string},
};

const std::vector<Rule> kShell = {
    {R"(#.*$)", R::comment},
    {DOUBLE_QUOTED, R::string},
    {R"('[^']*')", R::string},
    {R"(\$\{?\w+\}?)", R::variable},
    {R"(\b(if|then|else|elif|fi|for|while|do|done|case|esac|in|function|return|exit|local|export|source|alias|)"
     R"(unset|readonly|shift|break|continue)\b)",
     R::keyword},
    {R"(\b\d+\b)", R::number},
};

const std::vector<Rule> kSql = {
    {R"(--.*$)", R::comment},
    {R"(/\*[\s\S]*?\*/)", R::comment},
    {R"('[^']*')", R::string},
    {R"((?i)\b(SELECT|FROM|WHERE|AND|OR|NOT|IN|IS|NULL|AS|ON|JOIN|LEFT|RIGHT|INNER|OUTER|FULL|CROSS|INSERT|INTO|)"
     R"(VALUES|UPDATE|SET|DELETE|CREATE|ALTER|DROP|TABLE|INDEX|VIEW|DATABASE|SCHEMA|PRIMARY|KEY|FOREIGN|REFERENCES|)"
     R"(CONSTRAINT|UNIQUE|DEFAULT|CHECK|ORDER|BY|GROUP|HAVING|LIMIT|OFFSET|UNION|ALL|DISTINCT|EXISTS|BETWEEN|LIKE|)"
     R"(CASE|WHEN|THEN|ELSE|END|COUNT|SUM|AVG|MIN|MAX|CAST|COALESCE|NULLIF)\b)",
     R::keyword},
    {R"((?i)\b(INT|INTEGER|BIGINT|SMALLINT|TINYINT|FLOAT|DOUBLE|DECIMAL|NUMERIC|VARCHAR|CHAR|TEXT|BLOB|DATE|TIME|)"
     R"(DATETIME|TIMESTAMP|BOOLEAN|BOOL)\b)",
     R::type},
    {NUMBER, R::number},
};

const std::vector<Rule> kGo = {
    {R"(//.*$)", R::comment},
    {R"(/\*[\s\S]*?\*/)", R::comment},
    {DOUBLE_QUOTED, R::string},
    {R"(`[^`]*`)", R::string},
    {R"(\b(func|var|const|type|struct|interface|map|chan|package|import|return|if|else|for|range|switch|case|)"
     R"(default|break|continue|fallthrough|goto|defer|go|select)\b)",
     R::keyword},
    {R"(\b(int|int8|int16|int32|int64|uint|uint8|uint16|uint32|uint64|float32|float64|complex64|complex128|byte|)"
     R"(rune|string|bool|error|any)\b)",
     R::type},
    {R"(\b(true|false|nil|iota)\b)", R::number},
    {NUMBER, R::number},
    {CALL, R::function},
};

const std::vector<Rule> kRust = {
    {R"(//.*$)", R::comment},
    {R"(/\*[\s\S]*?\*/)", R::comment},
    {DOUBLE_QUOTED, R::string},
    {R"(\b(fn|let|mut|const|static|struct|enum|impl|trait|type|mod|pub|crate|use|as|self|super|where|for|loop|)"
     R"(while|if|else|match|return|break|continue|move|ref|async|await|dyn|unsafe|extern)\b)",
     R::keyword},
    {R"(\b(i8|i16|i32|i64|i128|isize|u8|u16|u32|u64|u128|usize|f32|f64|bool|char|str|String|Vec|Option|Result|)"
     R"(Box|Rc|Arc|Cell|RefCell)\b)",
     R::type},
    {R"(\b(true|false|None|Some|Ok|Err)\b)", R::number},
    {NUMBER, R::number},
    {R"(\b\w+!)", R::function},
    {CALL, R::function},
};

#undef DOUBLE_QUOTED
#undef SINGLE_QUOTED
#undef NUMBER
#undef CALL

const std::vector<Rule>& rulesOf(DetectedLanguage language)
{
    static const std::vector<Rule> none;
    switch (language) {
    case DetectedLanguage::swift:
        return kSwift;
    case DetectedLanguage::javascript:
    case DetectedLanguage::typescript:
        return kScript;
    case DetectedLanguage::python:
        return kPython;
    case DetectedLanguage::ruby:
        return kRuby;
    case DetectedLanguage::json:
        return kJson;
    case DetectedLanguage::html:
        return kHtml;
    case DetectedLanguage::css:
        return kCss;
    case DetectedLanguage::shell:
        return kShell;
    case DetectedLanguage::sql:
        return kSql;
    case DetectedLanguage::go:
        return kGo;
    case DetectedLanguage::rust:
        return kRust;
    case DetectedLanguage::plain:
        return none;
    }
    return none;
}

struct CompiledRule
{
    const Regex* regex;
    ColorRole role;
};

// The rules of every language, compiled once; rules that do not compile are left out.
const std::vector<CompiledRule>& compiledRules(DetectedLanguage language)
{
    static const auto table = [] {
        std::array<std::vector<CompiledRule>, kAllLanguages.size()> t;
        for (DetectedLanguage l : kAllLanguages) {
            for (const Rule& r : rulesOf(l)) {
                if (const Regex* regex = Regex::cached(r.pattern))
                    t[static_cast<std::size_t>(l)].push_back({regex, r.role});
            }
        }
        return t;
    }();
    return table[static_cast<std::size_t>(language)];
}

std::size_t utf8SequenceLength(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

} // namespace

HighlightColor highlightColor(ColorRole role)
{
    return kColors[static_cast<std::size_t>(role)];
}

QString hexName(HighlightColor color)
{
    return QStringLiteral("#%1%2%3")
        .arg(color.red, 2, 16, QLatin1Char('0'))
        .arg(color.green, 2, 16, QLatin1Char('0'))
        .arg(color.blue, 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString roleName(ColorRole role)
{
    return QString::fromUtf16(kRoleNames[static_cast<std::size_t>(role)]);
}

QList<HighlightRule> highlightRules(DetectedLanguage language)
{
    QList<HighlightRule> rules;
    for (const Rule& r : rulesOf(language))
        rules.append({QString::fromUtf8(r.pattern), r.role});
    return rules;
}

namespace {

QList<HighlightSpan> paint(QStringView text, const std::vector<CompiledRule>& rules)
{
    if (text.isEmpty())
        return {};
    const QByteArray utf8 = text.toUtf8();
    const std::string_view subject(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    // One colour per UTF-8 byte; matches begin and end on character starts,
    // so every byte of a character always has the same colour.
    std::vector<ColorRole> roles(subject.size(), ColorRole::base);
    for (const CompiledRule& rule : rules) {
        std::size_t from = 0;
        while (from <= subject.size()) {
            const auto match = rule.regex->find(subject, from);
            if (!match)
                break;
            std::fill(roles.begin() + static_cast<std::ptrdiff_t>(match->start),
                      roles.begin() + static_cast<std::ptrdiff_t>(match->end), rule.role);
            // The next search starts where this match ended; past an empty
            // match it starts one character later so the search moves on.
            from = match->end;
            if (match->end == match->start) {
                if (from >= subject.size())
                    break;
                from += utf8SequenceLength(static_cast<unsigned char>(subject[from]));
            }
        }
    }

    // Back to UTF-16 offsets, merging neighbours of the same colour.
    QList<HighlightSpan> spans;
    qsizetype unit = 0;
    for (std::size_t i = 0; i < subject.size();) {
        const std::size_t length = utf8SequenceLength(static_cast<unsigned char>(subject[i]));
        const ColorRole role = roles[i];
        if (spans.isEmpty() || spans.last().role != role)
            spans.append({unit, unit, role});
        unit += length == 4 ? 2 : 1;
        spans.last().end = unit;
        i += length;
    }
    return spans;
}

} // namespace

QList<HighlightSpan> highlight(QStringView text, DetectedLanguage language)
{
    return paint(text, compiledRules(language));
}

QList<HighlightSpan> detail::highlightWith(QStringView text, const QList<HighlightRule>& rules)
{
    std::vector<CompiledRule> compiled;
    for (const HighlightRule& r : rules) {
        const QByteArray pattern = r.pattern.toUtf8();
        if (const Regex* regex = Regex::cached(std::string_view(pattern.constData(), pattern.size())))
            compiled.push_back({regex, r.role});
    }
    return paint(text, compiled);
}

} // namespace ondrel
