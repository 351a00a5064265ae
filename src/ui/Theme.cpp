#include "Theme.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QPointF>

#include "DesktopColorScheme.h"
#include "Settings.h"
#include "SettingsKeys.h"

namespace ondrel {

namespace {

struct AccentInfo
{
    const char16_t* raw;
    QRgb light;
    QRgb accent;
    QRgb faint;
    QRgb soft;
};

// The dark look: the light shade becomes a deep one that light ink reads
// on, the tints become near-black with a trace of the accent, and the
// accent itself a brighter step, so outlines and the pin stand out.
constexpr std::array<AccentInfo, kAllAccentColors.size()> kDarkAccents = {{
    {u"Grey", 0x52525B, 0xA1A1AA, 0x131316, 0x36363C},
    {u"Orange", 0x9A3412, 0xFB923C, 0x1A1310, 0x431407},
    {u"Lavender", 0x6B21A8, 0xC084FC, 0x16111D, 0x3B0764},
    {u"Mint", 0x065F46, 0x34D399, 0x0E1613, 0x022C22},
    {u"Sky", 0x075985, 0x38BDF8, 0x0E141A, 0x082F49},
    {u"Coral", 0x9F1239, 0xFB7185, 0x1A1014, 0x4C0519},
    {u"Butter", 0x854D0E, 0xFACC15, 0x18150D, 0x422006},
}};

constexpr QRgb kInk = 0x18181B;
constexpr QRgb kInkSecondary = 0x71717A;
constexpr QRgb kDarkSurface = 0x27272A;
constexpr QRgb kDarkInk = 0xF4F4F5;
constexpr QRgb kDarkInkSecondary = 0xA1A1AA;

// The highlighter's roles on the dark surface, in its order (base,
// keyword, type, string, number, comment, function, variable, property):
// the same hues, lifted until they read on dark grey.
constexpr std::array<QRgb, 9> kDarkHighlight = {
    kDarkInk, 0xC99BFF, 0x5CC6FF, 0xFF8C82, 0x6FD66F, 0xA1A1AA, 0xF5A847, 0x8CAEFF, 0x8CAEFF,
};

constexpr const char16_t* kAppearanceNames[] = {u"System", u"Light", u"Dark"};

// Qt's palette says dark where its window colour is darker than middle grey.
bool paletteIsDark()
{
    return qGuiApp && QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

constexpr std::array<AccentInfo, kAllAccentColors.size()> kAccents = {{
    {u"Grey", 0x71717A, 0x3F3F46, 0xFAFAFA, 0xF4F4F5},
    {u"Orange", 0xFDBA74, 0xF97316, 0xFFF7ED, 0xFFEDD5},
    {u"Lavender", 0xD8B4FE, 0xA855F7, 0xFAF5FF, 0xF3E8FF},
    {u"Mint", 0x6EE7B7, 0x059669, 0xF0FDF4, 0xD1FAE5},
    {u"Sky", 0x7DD3FC, 0x0EA5E9, 0xF0F9FF, 0xE0F2FE},
    {u"Coral", 0xFDA4AF, 0xE11D48, 0xFFF1F2, 0xFFE4E6},
    {u"Butter", 0xFEF08A, 0xEAB308, 0xFEFCE8, 0xFEF9C3},
}};

const AccentInfo& info(AccentColor accent)
{
    return kAccents[static_cast<std::size_t>(accent)];
}

} // namespace

QString rawValue(AccentColor accent)
{
    return QString::fromUtf16(info(accent).raw);
}

std::optional<AccentColor> accentFromRawValue(QStringView raw)
{
    for (AccentColor accent : kAllAccentColors)
        if (raw == QStringView(info(accent).raw))
            return accent;
    return std::nullopt;
}

QString rawValue(Appearance appearance)
{
    return QString::fromUtf16(kAppearanceNames[static_cast<std::size_t>(appearance)]);
}

std::optional<Appearance> appearanceFromRawValue(QStringView raw)
{
    for (Appearance appearance : kAllAppearances)
        if (raw == rawValue(appearance))
            return appearance;
    return std::nullopt;
}

AccentPalette palette(AccentColor accent, bool dark)
{
    const AccentInfo& i = dark ? kDarkAccents[static_cast<std::size_t>(accent)] : info(accent);
    return {QColor::fromRgb(i.light),
            QColor::fromRgb(i.accent),
            QColor::fromRgb(i.faint),
            QColor::fromRgb(i.soft),
            dark ? QColor::fromRgb(kDarkSurface) : QColor(Qt::white),
            QColor::fromRgb(dark ? kDarkInk : kInk),
            QColor::fromRgb(dark ? kDarkInkSecondary : kInkSecondary)};
}

QColor ink()
{
    return QColor::fromRgb(kInk);
}

QColor inkSecondary()
{
    return QColor::fromRgb(kInkSecondary);
}

QColor alertInk(bool dark)
{
    return QColor::fromRgb(dark ? 0xF87171 : 0xDC2626);
}

QColor cautionInk(bool dark)
{
    return QColor::fromRgb(dark ? 0xFBBF24 : 0xB45309);
}

QColor highlightInk(ColorRole role, bool dark)
{
    if (dark)
        return QColor::fromRgb(kDarkHighlight[static_cast<std::size_t>(role)]);
    const HighlightColor c = highlightColor(role);
    return QColor(c.red, c.green, c.blue);
}

ThemeManager::ThemeManager(platform::Settings& settings, platform::DesktopColorScheme* desktop,
                           QObject* parent)
    : QObject(parent), m_settings(settings), m_desktop(desktop), m_transition(new QVariantAnimation(this))
{
    connect(this, &ThemeManager::accentColorChanged, this, &ThemeManager::colorsChanged);
    connect(this, &ThemeManager::darkChanged, this, &ThemeManager::colorsChanged);
    m_settings.observe(keys::accentColor, this, [this] { Q_EMIT accentColorChanged(); });
    m_settings.observe(keys::appearance, this, [this] { updateDark(); });
    if (m_desktop)
        m_desktop->observeChanges([this] { updateDark(); });
    // A desktop without a colour scheme of its own may still switch Qt's palette.
    if (qGuiApp)
        qGuiApp->installEventFilter(this);
    updateDark();
    m_transition->setDuration(kTransitionMs);
    m_transition->setStartValue(0.0);
    m_transition->setEndValue(1.0);
    // The ease-in-out of CSS and of the toolkits that name it so.
    QEasingCurve easeInOut(QEasingCurve::BezierSpline);
    easeInOut.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    m_transition->setEasingCurve(easeInOut);
    connect(m_transition, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toReal();
        Q_EMIT accentColorChanged();
    });
    connect(m_transition, &QVariantAnimation::finished, this, [this] {
        m_from.reset();
        m_progress = 1;
        Q_EMIT accentColorChanged();
    });
}

ThemeManager::~ThemeManager()
{
    if (m_desktop)
        m_desktop->observeChanges({});
}

bool ThemeManager::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qGuiApp && event->type() == QEvent::ApplicationPaletteChange)
        updateDark();
    return QObject::eventFilter(watched, event);
}

void ThemeManager::updateDark()
{
    bool dark = false;
    switch (appearance()) {
    case Appearance::light:
        break;
    case Appearance::dark:
        dark = true;
        break;
    case Appearance::system: {
        using Preference = platform::DesktopColorScheme::Preference;
        const Preference preference = m_desktop ? m_desktop->preference() : Preference::none;
        dark = preference == Preference::none ? paletteIsDark() : preference == Preference::dark;
        break;
    }
    }
    if (dark == m_dark)
        return;
    // The look switches at once; an accent change under way ends where it was going.
    m_transition->stop();
    m_from.reset();
    m_progress = 1;
    m_dark = dark;
    Q_EMIT darkChanged(dark);
}

QString ThemeManager::appearanceRaw() const
{
    return m_settings.string(keys::appearance).value_or(rawValue(Appearance::system));
}

void ThemeManager::setAppearanceRaw(const QString& raw)
{
    m_settings.setString(keys::appearance, raw);
}

Appearance ThemeManager::appearance() const
{
    return appearanceFromRawValue(appearanceRaw()).value_or(Appearance::system);
}

void ThemeManager::setAccentColorRawAnimated(const QString& raw)
{
    if (raw == accentColorRaw())
        return;
    // From what shows now, also when a change is still under way.
    const AccentPalette shown = palette();
    m_transition->stop();
    m_from = shown;
    m_progress = 0;
    setAccentColorRaw(raw);
    m_transition->start();
}

AccentPalette ThemeManager::palette() const
{
    const AccentPalette target = ondrel::palette(accentColor(), m_dark);
    if (!m_from)
        return target;
    const auto mix = [this](const QColor& a, const QColor& b) {
        const qreal t = m_progress;
        return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                                float(a.greenF() + (b.greenF() - a.greenF()) * t),
                                float(a.blueF() + (b.blueF() - a.blueF()) * t),
                                float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
    };
    return {mix(m_from->light, target.light),
            mix(m_from->accent, target.accent),
            mix(m_from->faint, target.faint),
            mix(m_from->soft, target.soft),
            mix(m_from->surface, target.surface),
            target.ink,
            target.inkSecondary};
}

QString ThemeManager::accentColorRaw() const
{
    return m_settings.string(keys::accentColor).value_or(rawValue(kDefaultAccent));
}

void ThemeManager::setAccentColorRaw(const QString& raw)
{
    // Stored as given; the change signal comes from the settings store.
    m_settings.setString(keys::accentColor, raw);
}

AccentColor ThemeManager::accentColor() const
{
    return accentFromRawValue(accentColorRaw()).value_or(kDefaultAccent);
}

} // namespace ondrel
