#include "Transformations.h"

#include "Encodings.h"
#include "Json.h"
#include "Text.h"
#include "TextCase.h"

#include <QByteArray>
#include <QSet>

#include <algorithm>
#include <unicode/ustring.h>

namespace ondrel {

namespace {

struct Info
{
    Transformation transformation;
    const char16_t* raw;
    const char16_t* caseName;
    const char16_t* icon;
    TransformationCategory category;
    bool mayFail;
};

using T = Transformation;
using C = TransformationCategory;

constexpr std::array<Info, kTransformationCount> kInfo = {{
    {T::camelCase, u"camelCase", u"camelCase", u"case-sensitive", C::caseConversion, false},
    {T::snakeCase, u"snake_case", u"snakeCase", u"case-sensitive", C::caseConversion, false},
    {T::kebabCase, u"kebab-case", u"kebabCase", u"case-sensitive", C::caseConversion, false},
    {T::pascalCase, u"PascalCase", u"pascalCase", u"case-sensitive", C::caseConversion, false},
    {T::uppercase, u"UPPERCASE", u"uppercase", u"type", C::caseConversion, false},
    {T::lowercase, u"lowercase", u"lowercase", u"type", C::caseConversion, false},
    {T::titleCase, u"Title Case", u"titleCase", u"type", C::caseConversion, false},
    {T::base64Encode, u"Base64 Encode", u"base64Encode", u"hash", C::encoding, true},
    {T::base64Decode, u"Base64 Decode", u"base64Decode", u"hash", C::encoding, true},
    {T::urlEncode, u"URL Encode", u"urlEncode", u"link", C::encoding, true},
    {T::urlDecode, u"URL Decode", u"urlDecode", u"link", C::encoding, true},
    {T::jsonPrettify, u"JSON Prettify", u"jsonPrettify", u"braces", C::json, true},
    {T::jsonMinify, u"JSON Minify", u"jsonMinify", u"braces", C::json, true},
    {T::jsonEscape, u"Escape as String", u"jsonEscape", u"message-square-quote", C::json, false},
    {T::jsonUnescape, u"Unescape String", u"jsonUnescape", u"message-square-quote", C::json, false},
    {T::trimWhitespace, u"Trim Whitespace", u"trimWhitespace", u"align-left", C::lines, false},
    {T::removeNewlines, u"Remove Newlines", u"removeNewlines", u"align-left", C::lines, false},
    {T::sortLines, u"Sort Lines", u"sortLines", u"list-ordered", C::lines, false},
    {T::reverseLines, u"Reverse Lines", u"reverseLines", u"list-ordered", C::lines, false},
    {T::uniqueLines, u"Unique Lines", u"uniqueLines", u"list-ordered", C::lines, false},
}};

const Info& info(Transformation t)
{
    return kInfo[static_cast<std::size_t>(t)];
}

// The words of `text` in lower case joined by `separator`; the first and the
// further words capitalised as asked.
QString joinWords(const QList<QStringView>& words, QStringView separator, bool capitalizeFirst,
                  bool capitalizeRest)
{
    QString out;
    qsizetype size = 0;
    for (const QStringView w : words)
        size += w.size() + separator.size();
    out.reserve(size);
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0)
            out += separator;
        text::appendCased(out, words[i], i == 0 ? capitalizeFirst : capitalizeRest);
    }
    return out;
}

std::optional<QString> writeJson(const QString& text, json::Style style)
{
    const auto utf8 = encoding::strictUtf8(text);
    if (!utf8)
        return std::nullopt;
    // Indentation can double a nested text; compact output is no longer than the input.
    const std::size_t hint = static_cast<std::size_t>(utf8->size()) * (style == json::Style::Pretty ? 2 : 1);
    const auto out =
        json::reformat(std::string_view(utf8->constData(), static_cast<std::size_t>(utf8->size())),
                       {style, true, true, hint}, true);
    if (!out)
        return std::nullopt;
    return QString::fromUtf8(out->data(), static_cast<qsizetype>(out->size()));
}

QString replaced(QString text, std::initializer_list<std::pair<QStringView, QStringView>> replacements)
{
    for (const auto& [from, to] : replacements)
        text.replace(from.toString(), to.toString());
    return text;
}

QString jsonUnescape(const QString& text)
{
    QString body = text;
    // The quotes must be whole characters, not the base of a combining sequence.
    if (text.startsWith(u'"') && text.endsWith(u'"') && text::isCharacterBoundary(text, 1) &&
        text::isCharacterBoundary(text, text.size() - 1))
        body = text.size() == 1 ? QString() : text.sliced(1, text.size() - 2);
    return replaced(body,
                    {{u"\\n", u"\n"}, {u"\\r", u"\r"}, {u"\\t", u"\t"}, {u"\\\"", u"\""}, {u"\\\\", u"\\"}});
}

using text::isNewline;

QList<QStringView> splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isNewline(text[i])) {
            lines.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    lines.append(text.sliced(start));
    return lines;
}

QString joinLines(const QList<QStringView>& lines)
{
    qsizetype size = lines.size();
    for (const auto& l : lines)
        size += l.size();
    QString out;
    out.reserve(size);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += u'\n';
        out += lines[i];
    }
    return out;
}

QString nfc(QStringView s)
{
    return text::isAscii(s) ? s.toString() : s.toString().normalized(QString::NormalizationForm_C);
}

QString sortLines(const QString& text)
{
    const QList<QStringView> lines = splitLines(text);
    struct Keyed
    {
        QString key;
        QStringView line;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(static_cast<std::size_t>(lines.size()));
    for (const QStringView& l : lines)
        keyed.push_back({nfc(l), l});
    // Code-point order: UTF-16 order except that supplementary characters
    // sort after U+E000..U+FFFF.
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return u_strCompare(reinterpret_cast<const UChar*>(a.key.utf16()), static_cast<int32_t>(a.key.size()),
                            reinterpret_cast<const UChar*>(b.key.utf16()), static_cast<int32_t>(b.key.size()),
                            true) < 0;
    });
    QList<QStringView> sorted;
    sorted.reserve(lines.size());
    for (const Keyed& k : keyed)
        sorted.append(k.line);
    return joinLines(sorted);
}

QString uniqueLines(const QString& text)
{
    QSet<QString> seen;
    QList<QStringView> kept;
    for (const QStringView& l : splitLines(text)) {
        if (!seen.contains(nfc(l))) {
            seen.insert(nfc(l));
            kept.append(l);
        }
    }
    return joinLines(kept);
}

QString reverseLines(const QString& text)
{
    QList<QStringView> lines = splitLines(text);
    std::reverse(lines.begin(), lines.end());
    return joinLines(lines);
}

} // namespace

const std::array<Transformation, kTransformationCount> kAllTransformations = [] {
    std::array<Transformation, kTransformationCount> all{};
    for (std::size_t i = 0; i < kInfo.size(); ++i)
        all[i] = kInfo[i].transformation;
    return all;
}();

QString rawValue(TransformationCategory category)
{
    switch (category) {
    case C::caseConversion:
        return QStringLiteral("Case");
    case C::encoding:
        return QStringLiteral("Encoding");
    case C::json:
        return QStringLiteral("JSON");
    case C::lines:
        return QStringLiteral("Lines");
    }
    return {};
}

QString rawValue(Transformation transformation)
{
    return QString::fromUtf16(info(transformation).raw);
}

QString caseName(Transformation transformation)
{
    return QString::fromUtf16(info(transformation).caseName);
}

QString iconName(Transformation transformation)
{
    return QString::fromUtf16(info(transformation).icon);
}

TransformationCategory category(Transformation transformation)
{
    return info(transformation).category;
}

bool mayFail(Transformation transformation)
{
    return info(transformation).mayFail;
}

std::optional<Transformation> transformationFromRawValue(QStringView raw)
{
    for (const Info& i : kInfo)
        if (raw == QStringView(i.raw))
            return i.transformation;
    return std::nullopt;
}

QList<Transformation> transformations(TransformationCategory category)
{
    QList<Transformation> list;
    for (const Info& i : kInfo)
        if (i.category == category)
            list.append(i.transformation);
    return list;
}

std::optional<QString> apply(Transformation transformation, const QString& text)
{
    switch (transformation) {
    case T::camelCase: {
        const QList<QStringView> words = text::wordsOf(text);
        if (words.isEmpty())
            return text;
        return joinWords(words, u"", false, true);
    }
    case T::snakeCase:
        return joinWords(text::wordsOf(text), u"_", false, false);
    case T::kebabCase:
        return joinWords(text::wordsOf(text), u"-", false, false);
    case T::pascalCase:
        return joinWords(text::wordsOf(text), u"", true, true);
    case T::uppercase:
        return text.toUpper();
    case T::lowercase:
        return text.toLower();
    case T::titleCase:
        return text::capitalized(text);
    case T::base64Encode: {
        const auto utf8 = encoding::strictUtf8(text);
        if (!utf8)
            return std::nullopt;
        return QString::fromLatin1(utf8->toBase64());
    }
    case T::base64Decode: {
        const auto bytes = encoding::decodeBase64Strict(text);
        if (!bytes)
            return std::nullopt;
        return encoding::fromStrictUtf8(*bytes);
    }
    case T::urlEncode:
        return encoding::urlEncode(text);
    case T::urlDecode:
        return encoding::urlDecode(text);
    case T::jsonPrettify:
        return writeJson(text, json::Style::Pretty);
    case T::jsonMinify:
        return writeJson(text, json::Style::Compact);
    case T::jsonEscape:
        return u'"' +
               replaced(
                   text,
                   {{u"\\", u"\\\\"}, {u"\"", u"\\\""}, {u"\n", u"\\n"}, {u"\r", u"\\r"}, {u"\t", u"\\t"}}) +
               u'"';
    case T::jsonUnescape:
        return jsonUnescape(text);
    case T::trimWhitespace:
        return text::trimmed(text).toString();
    case T::removeNewlines:
        return replaced(text, {{u"\n", u" "}, {u"\r", u""}});
    case T::sortLines:
        return sortLines(text);
    case T::reverseLines:
        return reverseLines(text);
    case T::uniqueLines:
        return uniqueLines(text);
    }
    return std::nullopt;
}

} // namespace ondrel
