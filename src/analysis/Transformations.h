#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

namespace ondrel {

enum class TransformationCategory
{
    caseConversion,
    encoding,
    json,
    lines
};

inline constexpr std::array kAllTransformationCategories = {
    TransformationCategory::caseConversion, TransformationCategory::encoding, TransformationCategory::json,
    TransformationCategory::lines};

enum class Transformation
{
    camelCase,
    snakeCase,
    kebabCase,
    pascalCase,
    uppercase,
    lowercase,
    titleCase,
    base64Encode,
    base64Decode,
    urlEncode,
    urlDecode,
    jsonPrettify,
    jsonMinify,
    jsonEscape,
    jsonUnescape,
    trimWhitespace,
    removeNewlines,
    sortLines,
    reverseLines,
    uniqueLines,
};

inline constexpr std::size_t kTransformationCount = 20;
extern const std::array<Transformation, kTransformationCount> kAllTransformations;

// The section title ("Case", "Encoding", "JSON", "Lines").
QString rawValue(TransformationCategory category);
// The shown name ("snake_case", "Base64 Encode", ...).
QString rawValue(Transformation transformation);
// The case name ("snakeCase", "base64Encode", ...).
QString caseName(Transformation transformation);
// The icon shown next to it ("case-sensitive", "braces", ...).
QString iconName(Transformation transformation);
TransformationCategory category(Transformation transformation);
// Whether apply() can return no text for it.
bool mayFail(Transformation transformation);
// The transformation with exactly that shown name.
std::optional<Transformation> transformationFromRawValue(QStringView raw);
// The transformations of a category, in order.
QList<Transformation> transformations(TransformationCategory category);

// The transformed text, or none when the transformation fails (not Base64,
// not percent-encoding, not UTF-8 after decoding, not JSON, text that
// cannot be written as UTF-8).
std::optional<QString> apply(Transformation transformation, const QString& text);

} // namespace ondrel
