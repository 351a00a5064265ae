#include "LanguageDetector.h"

#include "Json.h"
#include "Regex.h"
#include "Text.h"

#include <QByteArray>

#include <initializer_list>
#include <string_view>

namespace ondrel {

namespace {

using analysis::Regex;

struct Test
{
    enum Kind
    {
        Pattern,
        Contains
    } kind;
    std::string_view text;
};

constexpr Test P(std::string_view pattern)
{
    return {Test::Pattern, pattern};
}
constexpr Test C(std::string_view literal)
{
    return {Test::Contains, literal};
}

bool passes(const Test& test, std::string_view subject)
{
    if (test.kind == Test::Contains)
        return subject.find(test.text) != std::string_view::npos;
    const Regex* regex = Regex::cached(test.text);
    return regex && regex->search(subject);
}

bool anyOf(std::initializer_list<Test> tests, std::string_view subject)
{
    for (const Test& t : tests)
        if (passes(t, subject))
            return true;
    return false;
}

bool allOf(std::initializer_list<Test> tests, std::string_view subject)
{
    for (const Test& t : tests)
        if (!passes(t, subject))
            return false;
    return true;
}

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// UTF-8 length of text made of BMP characters (white space is).
std::size_t utf8Length(QStringView text)
{
    std::size_t n = 0;
    for (const QChar c : text)
        n += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
    return n;
}

bool isJson(QStringView trimmed, std::string_view trimmedUtf8)
{
    const bool braces = trimmed.startsWith(u'{') && trimmed.endsWith(u'}');
    const bool brackets = trimmed.startsWith(u'[') && trimmed.endsWith(u']');
    if (!braces && !brackets)
        return false;
    // The brackets must be whole characters, not the base of a combining sequence.
    if (!text::isCharacterBoundary(trimmed, 1) || !text::isCharacterBoundary(trimmed, trimmed.size() - 1))
        return false;
    return json::isValid(trimmedUtf8);
}

// \w and \s as the regex engine defines them with Unicode properties.
bool isRegexWord(char32_t c)
{
    // ASCII, nearly every character of a long text, without the table look-up.
    if (c < 0x80)
        return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'_';
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return false;
    }
}

bool isRegexSpace(char32_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 || c == 0x180E ||
        (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
        c == 0x3000)
        return true;
    if (c < 0x80)
        return false;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

namespace detail {

bool cssRuleMatches(QStringView text)
{
    // A match needs a `{` whose nearest non-space predecessor is a word
    // character, then a `:` before the next `}`, then that `}`. Of several
    // such `{` before one `}`, the first sees every `:` the later ones see,
    // so one flag per run between closing braces decides it.
    bool afterWord = false;
    bool open = false;
    bool colon = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0, length = 1; i < n; i += length) {
        // Surrogates are rare: the others are whole code points.
        const char16_t unit = text[i].unicode();
        length = 1;
        const char32_t c = QChar::isSurrogate(unit) ? text::codePointAt(text, i, &length) : char32_t(unit);
        if (c == U'{') {
            open = open || afterWord;
        } else if (c == U'}') {
            if (open && colon)
                return true;
            open = colon = false;
        } else if (c == U':') {
            colon = colon || open;
        }
        if (!isRegexSpace(c))
            afterWord = isRegexWord(c);
    }
    return false;
}

} // namespace detail

DetectedLanguage detectLanguage(const std::optional<QString>& text)
{
    return text ? detectLanguage(QStringView(*text)) : DetectedLanguage::plain;
}

DetectedLanguage detectLanguage(QStringView text)
{
    using L = DetectedLanguage;
    if (text.isEmpty())
        return L::plain;

    // One conversion for every search; lone surrogates become replacement
    // characters, so the bytes are valid UTF-8.
    const QByteArray utf8 = text.toUtf8();
    const std::string_view s = view(utf8);

    const QStringView trimmed = text::trimmed(text);
    const std::size_t lead = utf8Length(text.first(trimmed.data() - text.data()));
    const std::size_t trail = utf8Length(text.sliced(trimmed.data() - text.data() + trimmed.size()));
    const std::string_view trimmedUtf8 = s.substr(lead, s.size() - lead - trail);
    if (isJson(trimmed, trimmedUtf8))
        return L::json;
    if (allOf({P("<[a-z]+[^>]*>"), P("</[a-z]+>")}, trimmedUtf8))
        return L::html;

    if (anyOf({P(R"(\bfunc\s+\w+\s*\()"), P(R"(\bvar\s+\w+\s*:)"), P(R"(\blet\s+\w+\s*[:=])"),
               P(R"(\bstruct\s+\w+)"), P(R"(\bclass\s+\w+\s*[:{])"), P(R"(@\w+\s+(struct|class|func))"),
               C("import SwiftUI"), C("import Foundation")},
              s))
        return L::swift;
    if (anyOf({P(R"(\bdef\s+\w+\s*\()"), P(R"(\bclass\s+\w+\s*[:\(])"), P(R"(import\s+\w+)"),
               P(R"(from\s+\w+\s+import)"), C("if __name__")},
              s))
        return L::python;
    if (anyOf({P(R"(\bdef\s+\w+\s*$)"), P(R"(\bdo\s*\|)"), P(R"(\brequire\s+['"])"),
               P(R"(\battr_(accessor|reader|writer)\b)"), P(R"(\bputs\s+)")},
              s))
        return L::ruby;
    if (allOf({P(R"(\bend\s*$)"), P(R"(\bdef\s+)")}, s))
        return L::ruby;
    if (anyOf({P(R"(\bconst\s+\w+\s*=)"), P(R"(\blet\s+\w+\s*=)"), P(R"(\bfunction\s*\w*\s*\()"),
               P(R"(=>\s*[{\(])"), P(R"(\bconsole\.(log|error|warn)\()"),
               P(R"(\basync\s+(function|\w+\s*=>))"), P(R"(\b(document|window)\.\w+)")},
              s)) {
        if (anyOf(
                {P(R"(:\s*(string|number|boolean|any)\b)"), P(R"(interface\s+\w+)"), P(R"(type\s+\w+\s*=)")},
                s))
            return L::typescript;
        return L::javascript;
    }
    if (anyOf({P(R"(\bfunc\s+(\(\w+\s+\*?\w+\)\s*)?\w+\s*\()"), P(R"(\bpackage\s+\w+)"), P(R"(:=\s*)")}, s))
        return L::go;
    if (anyOf({P(R"(\bfn\s+\w+\s*\()"), P(R"(\blet\s+mut\s+)"), P(R"(\bimpl\s+\w+)"), P(R"(\buse\s+\w+::)")},
              s))
        return L::rust;
    if (allOf({P(R"((?i)\b(SELECT|INSERT|UPDATE|DELETE|CREATE|ALTER|DROP)\b)"),
               P(R"((?i)\b(FROM|INTO|TABLE|WHERE|SET)\b)")},
              s))
        return L::sql;
    if (anyOf({P(R"(^#!.*/(bash|sh|zsh))"), P(R"(\$\{?\w+\}?)"),
               P(R"((if|then|fi|for|do|done|while|case|esac)\b)")},
              s))
        return L::shell;
    if (detail::cssRuleMatches(text))
        return L::css;
    return L::plain;
}

} // namespace ondrel
