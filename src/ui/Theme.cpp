#include "Theme.h"

#include <QPointF>

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

AccentPalette palette(AccentColor accent)
{
    const AccentInfo& i = info(accent);
    return {QColor::fromRgb(i.light), QColor::fromRgb(i.accent), QColor::fromRgb(i.faint),
            QColor::fromRgb(i.soft), QColor(Qt::white)};
}

QColor ink()
{
    return QColor::fromRgb(0x18181B);
}

QColor inkSecondary()
{
    return QColor::fromRgb(0x71717A);
}

ThemeManager::ThemeManager(platform::Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_transition(new QVariantAnimation(this))
{
    m_settings.observe(keys::accentColor, this, [this] { Q_EMIT accentColorChanged(); });
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
    const AccentPalette target = ondrel::palette(accentColor());
    if (!m_from)
        return target;
    const auto mix = [this](const QColor& a, const QColor& b) {
        const qreal t = m_progress;
        return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                                float(a.greenF() + (b.greenF() - a.greenF()) * t),
                                float(a.blueF() + (b.blueF() - a.blueF()) * t),
                                float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
    };
    return {mix(m_from->light, target.light), mix(m_from->accent, target.accent),
            mix(m_from->faint, target.faint), mix(m_from->soft, target.soft),
            mix(m_from->surface, target.surface)};
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
