#pragma once

#include "DetectedLanguage.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace ondrel {

// Guesses the programming or markup language of a copied text. Pure, keeps
// no state, safe on any thread; absent and empty texts are `plain`.
DetectedLanguage detectLanguage(QStringView text);
DetectedLanguage detectLanguage(const std::optional<QString>& text);
inline DetectedLanguage detectLanguage(const QString& text)
{
    return detectLanguage(QStringView(text));
}

namespace detail {
// Whether `[.#]?\w+\s*\{[^}]*:[^}]*\}` matches somewhere in `text`, decided
// in one linear pass (the backtracking search is quadratic on unclosed `{`).
bool cssRuleMatches(QStringView text);
} // namespace detail

} // namespace ondrel
