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

// Sizes are in the views' logical pixels (the popover is 320 wide), so text
// keeps its proportions to the layout on every desktop; device pixel ratio
// scales both alike.

// Entry text: JetBrains Mono when installed (its faces: Light, Regular,
// Medium for medium and semibold, Bold), else the system's fixed-pitch font
// in the asked weight. Ligatures are off: previews show the exact characters.
QFont monoFont(qreal pointSize, FontWeight weight);

// Headings and labels: Space Grotesk when installed (Light, Regular, Medium,
// SemiBold, Bold), else the application's UI font in the asked weight. The
// family ships with the program and is registered on first use.
QFont displayFont(qreal pointSize, FontWeight weight);

// The application's UI font, and its fixed-pitch face, in a size and weight.
QFont systemFont(qreal pointSize, FontWeight weight = FontWeight::regular);
QFont systemMonoFont(qreal pointSize, FontWeight weight = FontWeight::regular);

namespace detail {
// The same with the family's presence given, for tests.
QFont monoFont(qreal pointSize, FontWeight weight, bool familyInstalled);
QFont displayFont(qreal pointSize, FontWeight weight, bool familyInstalled);
} // namespace detail

inline const QString kMonoFamily = QStringLiteral("JetBrains Mono");
inline const QString kDisplayFamily = QStringLiteral("Space Grotesk");

} // namespace ondrel
