#pragma once

#include "DetectedLanguage.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>

namespace ondrel {

// The colours a highlighted text is drawn in.
enum class ColorRole : std::uint8_t
{
    base,
    keyword,
    type,
    string,
    number,
    comment,
    function,
    variable,
    property
};

struct HighlightColor
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const HighlightColor&, const HighlightColor&) = default;
};

// The fixed sRGB colour of a role (full opacity, no dark variant).
HighlightColor highlightColor(ColorRole role);
// "#7B00C9" for the keyword colour.
QString hexName(HighlightColor color);
// "keyword", "type", ...
QString roleName(ColorRole role);

struct HighlightRule
{
    QString pattern;
    ColorRole role = ColorRole::base;
};

// The ordered rules of a language; the last rule that matches a character
// gives its colour. `plain` has none.
QList<HighlightRule> highlightRules(DetectedLanguage language);

// A run of characters in one colour; offsets in UTF-16 code units.
struct HighlightSpan
{
    qsizetype start = 0;
    qsizetype end = 0;
    ColorRole role = ColorRole::base;
    friend bool operator==(const HighlightSpan&, const HighlightSpan&) = default;
};

// Colours `text` by the rules of `language`: spans in text order that cover
// the whole text without gaps, neighbours always in different colours. An
// empty text gives no spans.
QList<HighlightSpan> highlight(QStringView text, DetectedLanguage language);

namespace detail {
// The same with any rule list (patterns that do not compile are skipped).
QList<HighlightSpan> highlightWith(QStringView text, const QList<HighlightRule>& rules);
} // namespace detail

} // namespace ondrel
