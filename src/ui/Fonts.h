#pragma once

#include <QFont>

namespace ondrel {

// The nine weights the views ask for.
enum class FontWeight
{
    ultraLight,
    thin,
    light,
    regular,
    medium,
    semibold,
    bold,
    heavy,
    black
};

// Entry text: JetBrains Mono when installed (its faces: Light, Regular,
// Medium for medium and semibold, Bold), else the system's fixed-pitch font
// in the asked weight. Ligatures are off: previews show the exact characters.
QFont monoFont(qreal pointSize, FontWeight weight);

// Headings and labels: Space Grotesk when installed (Light, Regular, Medium,
// SemiBold, Bold), else the application's UI font in the asked weight.
QFont displayFont(qreal pointSize, FontWeight weight);

namespace detail {
// The same with the family's presence given, for tests.
QFont monoFont(qreal pointSize, FontWeight weight, bool familyInstalled);
QFont displayFont(qreal pointSize, FontWeight weight, bool familyInstalled);
} // namespace detail

inline const QString kMonoFamily = QStringLiteral("JetBrains Mono");
inline const QString kDisplayFamily = QStringLiteral("Space Grotesk");

} // namespace ondrel
