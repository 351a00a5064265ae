#pragma once

#include "Highlighter.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QVariantAnimation>

#include <array>
#include <optional>

namespace ondrel {

namespace platform {
class DesktopColorScheme;
class Settings;
} // namespace platform

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

// Light or dark, or whatever the desktop prefers; stored as "System",
// "Light" or "Dark".
enum class Appearance
{
    system,
    light,
    dark
};

inline constexpr std::array kAllAppearances = {Appearance::system, Appearance::light, Appearance::dark};

QString rawValue(Appearance appearance);
std::optional<Appearance> appearanceFromRawValue(QStringView raw);

// The colours an accent selects in one look. In the dark look the tints
// are deep shades and the ink is light, so that text keeps its contrast on
// every surface.
struct AccentPalette
{
    QColor light;        // a light shade of the accent (dark look: a deep one)
    QColor accent;       // the strong accent colour
    QColor faint;        // the palest tint
    QColor soft;         // a pale tint
    QColor surface;      // white for every accent (dark look: one dark grey)
    QColor ink;          // text and outlines
    QColor inkSecondary; // secondary text and symbols
};

AccentPalette palette(AccentColor accent, bool dark = false);

// The light look's fixed colours, the same for every accent.
QColor ink();          // #18181B
QColor inkSecondary(); // #71717A

// The popover's warnings on its faint background: that the history is not
// saved (red), that recording is paused (amber).
QColor alertInk(bool dark);
QColor cautionInk(bool dark);

// The colour a highlighted role is drawn in: the highlighter's own in the
// light look, a lighter one that reads on the dark surface in the dark look.
QColor highlightInk(ColorRole role, bool dark);

// The user's accent, kept in the settings under "accentColor" (default
// "Coral"), and the look: the stored appearance, where it is "System" the
// desktop's colour scheme, and where the desktop says nothing, whether
// Qt's palette is a dark one. Changes made anywhere, also by another view,
// are announced.
class ThemeManager final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString accentColorRaw READ accentColorRaw WRITE setAccentColorRaw NOTIFY accentColorChanged)
public:
    static constexpr AccentColor kDefaultAccent = AccentColor::coral;

    // Without `desktop` "System" follows Qt's palette alone.
    explicit ThemeManager(platform::Settings& settings, platform::DesktopColorScheme* desktop = nullptr,
                          QObject* parent = nullptr);
    ~ThemeManager() override;

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
    // The stored appearance's text ("System" when nothing is stored).
    QString appearanceRaw() const;
    void setAppearanceRaw(const QString& raw);
    // System for anything that is not a raw value.
    Appearance appearance() const;
    // Whether the dark look is in effect now.
    bool isDark() const { return m_dark; }

    // The running change of colours (for tests; stopped when none runs).
    QVariantAnimation* transition() const { return m_transition; }

    static constexpr int kTransitionMs = 200;

Q_SIGNALS:
    // Also for every step of an animated change.
    void accentColorChanged();
    // The look turned dark or light.
    void darkChanged(bool dark);
    // Anything palette() gives changed: the accent, a step of its change, or the look.
    void colorsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateDark();

    platform::Settings& m_settings;
    platform::DesktopColorScheme* m_desktop;
    bool m_dark = false;
    QVariantAnimation* m_transition;
    std::optional<AccentPalette> m_from; // the palette an animated change starts from
    qreal m_progress = 1;                // eased, 0 to 1
};

} // namespace ondrel
