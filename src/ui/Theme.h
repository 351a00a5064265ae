#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QVariantAnimation>

#include <array>
#include <optional>

namespace ondrel {

namespace platform {
class Settings;
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

    explicit ThemeManager(platform::Settings& settings, QObject* parent = nullptr);

    // The stored text, or "Coral" when nothing is stored.
    QString accentColorRaw() const;
    void setAccentColorRaw(const QString& raw);
    // The same, with the colours on screen moving from the old palette to
    // the new one over 0.2 s, easing in and out (a swatch click). The new
    // value is stored at once.
    void setAccentColorRawAnimated(const QString& raw);
    // The accent of the stored text; coral for anything that is not a raw value.
    AccentColor accentColor() const;
    // The colours to draw with now: the accent's, or a blend during a change.
    AccentPalette palette() const;
    // The running change of colours (for tests; stopped when none runs).
    QVariantAnimation* transition() const { return m_transition; }

    static constexpr int kTransitionMs = 200;

Q_SIGNALS:
    // Also for every step of an animated change.
    void accentColorChanged();

private:
    platform::Settings& m_settings;
    QVariantAnimation* m_transition;
    std::optional<AccentPalette> m_from; // the palette an animated change starts from
    qreal m_progress = 1;                // eased, 0 to 1
};

} // namespace ondrel
