#include "DetectedLanguage.h"

namespace ondrel {

namespace {
constexpr std::array<const char16_t*, kAllLanguages.size()> kRawValues = {
    u"swift", u"javascript", u"typescript", u"python", u"ruby", u"json",  u"html",
    u"css",   u"shell",      u"sql",        u"go",     u"rust", u"plain",
};
} // namespace

QString rawValue(DetectedLanguage language)
{
    return QString::fromUtf16(kRawValues[static_cast<std::size_t>(language)]);
}

std::optional<DetectedLanguage> languageFromRawValue(QStringView raw)
{
    for (std::size_t i = 0; i < kRawValues.size(); ++i) {
        if (raw == QStringView(kRawValues[i]))
            return kAllLanguages[i];
    }
    return std::nullopt;
}

} // namespace ondrel
