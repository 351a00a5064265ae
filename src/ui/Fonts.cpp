#include "Fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>

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

// Registers the bundled display faces unless the system already has them.
bool registerDisplayFamily()
{
    if (installed(kDisplayFamily))
        return true;
    const QDir dir(QStringLiteral(":/fonts"));
    bool any = false;
    for (const QString& file : dir.entryList({QStringLiteral("*.ttf")}, QDir::Files))
        any = QFontDatabase::addApplicationFont(dir.filePath(file)) >= 0 || any;
    return any && installed(kDisplayFamily);
}

QFont sized(QFont font, qreal pointSize, QFont::Weight weight)
{
    font.setPixelSize(std::max(1, qRound(pointSize)));
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
    static const bool present = registerDisplayFamily();
    return detail::displayFont(pointSize, weight, present);
}

QFont systemFont(qreal pointSize, FontWeight weight)
{
    return sized(QGuiApplication::font(), pointSize, qtWeight(weight));
}

QFont systemMonoFont(qreal pointSize, FontWeight weight)
{
    QFont font = sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), pointSize, qtWeight(weight));
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace ondrel
