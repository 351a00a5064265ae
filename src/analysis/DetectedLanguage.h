#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace ondrel {

enum class DetectedLanguage
{
    swift,
    javascript,
    typescript,
    python,
    ruby,
    json,
    html,
    css,
    shell,
    sql,
    go,
    rust,
    plain,
};

inline constexpr std::array kAllLanguages = {
    DetectedLanguage::swift,  DetectedLanguage::javascript, DetectedLanguage::typescript,
    DetectedLanguage::python, DetectedLanguage::ruby,       DetectedLanguage::json,
    DetectedLanguage::html,   DetectedLanguage::css,        DetectedLanguage::shell,
    DetectedLanguage::sql,    DetectedLanguage::go,         DetectedLanguage::rust,
    DetectedLanguage::plain,
};

// The stored name ("swift", "javascript", ...).
QString rawValue(DetectedLanguage language);
// The language with that stored name; nullopt for any other text.
std::optional<DetectedLanguage> languageFromRawValue(QStringView raw);

} // namespace ondrel
