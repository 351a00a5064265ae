#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <array>
#include <optional>

namespace ondrel {

namespace platform {
class UserDefaults;
}

enum class AccentColor
{
    grey,
    orange,
    lavender,
    mint,
    sky,
    coral,
    butter
};

inline constexpr std::array kAllAccentColors = {
    AccentColor::grey, AccentColor::orange, AccentColor::lavender, AccentColor::mint,
    AccentColor::sky,  AccentColor::coral,  AccentColor::butter};

// The stored form and shown name ("Grey", "Coral", ...).
QString rawValue(AccentColor accent);
// The accent with exactly that raw value (case-sensitive).
std::optional<AccentColor> accentFromRawValue(QStringView raw);

// The five colours an accent selects.
struct AccentPalette
{
    QColor light;   // a light shade of the accent
    QColor accent;  // the strong accent colour
    QColor faint;   // the palest tint
    QColor soft;    // a pale tint
    QColor surface; // white for every accent
};

AccentPalette palette(AccentColor accent);

// Fixed colours, the same for every accent.
QColor ink();          // #18181B
QColor inkSecondary(); // #71717A

// The user's accent, kept in the settings under "accentColor" (default
// "Coral"). Changes made anywhere, also by another view, are announced.
class ThemeManager final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString accentColorRaw READ accentColorRaw WRITE setAccentColorRaw NOTIFY accentColorChanged)
public:
    static constexpr AccentColor kDefaultAccent = AccentColor::coral;

    explicit ThemeManager(platform::UserDefaults& defaults, QObject* parent = nullptr);

    // The stored text, or "Coral" when nothing is stored.
    QString accentColorRaw() const;
    void setAccentColorRaw(const QString& raw);
    // The accent of the stored text; coral for anything that is not a raw value.
    AccentColor accentColor() const;
    AccentPalette palette() const { return ondrel::palette(accentColor()); }

Q_SIGNALS:
    void accentColorChanged();

private:
    platform::UserDefaults& m_defaults;
};

} // namespace ondrel
