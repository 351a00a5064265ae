#include "Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace ondrel {

namespace {

QFont::Weight qtWeight(FontWeight weight)
{
    switch (weight) {
    case FontWeight::ultraLight:
        return QFont::ExtraLight;
    case FontWeight::thin:
        return QFont::Thin;
    case FontWeight::light:
        return QFont::Light;
    case FontWeight::regular:
        return QFont::Normal;
    case FontWeight::medium:
        return QFont::Medium;
    case FontWeight::semibold:
        return QFont::DemiBold;
    case FontWeight::bold:
        return QFont::Bold;
    case FontWeight::heavy:
        return QFont::ExtraBold;
    case FontWeight::black:
        return QFont::Black;
    }
    return QFont::Normal;
}

bool installed(const QString& family)
{
    return QFontDatabase::hasFamily(family);
}

QFont sized(QFont font, qreal pointSize, QFont::Weight weight)
{
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    return font;
}

} // namespace

QFont detail::monoFont(qreal pointSize, FontWeight weight, bool familyInstalled)
{
    QFont font;
    if (familyInstalled) {
        // Only these faces exist; other weights take the regular one.
        QFont::Weight face = QFont::Normal;
        if (weight == FontWeight::bold)
            face = QFont::Bold;
        else if (weight == FontWeight::semibold || weight == FontWeight::medium)
            face = QFont::Medium;
        else if (weight == FontWeight::light)
            face = QFont::Light;
        font = sized(QFont(kMonoFamily), pointSize, face);
    } else {
        font = sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), pointSize, qtWeight(weight));
    }
    font.setStyleHint(QFont::Monospace);
    // Without shaping, Latin text is drawn without ligatures ("=>" stays two characters).
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QFont detail::displayFont(qreal pointSize, FontWeight weight, bool familyInstalled)
{
    if (!familyInstalled)
        return sized(QGuiApplication::font(), pointSize, qtWeight(weight));
    QFont::Weight face = QFont::Normal;
    switch (weight) {
    case FontWeight::bold:
        face = QFont::Bold;
        break;
    case FontWeight::semibold:
        face = QFont::DemiBold;
        break;
    case FontWeight::medium:
        face = QFont::Medium;
        break;
    case FontWeight::light:
        face = QFont::Light;
        break;
    default:
        break;
    }
    return sized(QFont(kDisplayFamily), pointSize, face);
}

QFont monoFont(qreal pointSize, FontWeight weight)
{
    static const bool present = installed(kMonoFamily);
    return detail::monoFont(pointSize, weight, present);
}

QFont displayFont(qreal pointSize, FontWeight weight)
{
    static const bool present = installed(kDisplayFamily);
    return detail::displayFont(pointSize, weight, present);
}

} // namespace ondrel
