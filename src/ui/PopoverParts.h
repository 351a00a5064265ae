#pragma once

#include "Symbols.h"

#include <QString>
#include <QWidget>

class QVariantAnimation;

// The smaller pieces of the popover, each drawn by hand.
namespace ondrel {

class ThemeManager;

// A symbol standing next to text, as a widget.
class SymbolLabel final : public QWidget
{
    Q_OBJECT
public:
    SymbolLabel(QString symbol, QColor color, qreal size, SymbolWeight weight, QWidget* parent = nullptr);
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QColor m_color;
    qreal m_size;
    SymbolWeight m_weight;
};

// What the list shows when there is nothing to show.
class EmptyState final : public QWidget
{
    Q_OBJECT
public:
    explicit EmptyState(ThemeManager& theme, QWidget* parent = nullptr);
    void setTexts(const QString& title, const QString& subtitle);
    const QString& title() const { return m_title; }
    const QString& subtitle() const { return m_subtitle; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ThemeManager& m_theme;
    QString m_title;
    QString m_subtitle;
};

// The keyboard hints under the list.
class KeyHints final : public QWidget
{
    Q_OBJECT
public:
    KeyHints(ThemeManager& theme, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ThemeManager& m_theme;
};

// "Copied!", fading and growing in, shrinking and fading out; "Could not
// copy" in its place when nothing reached the clipboard.
class CopiedNotice final : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kAnimationSeconds = 0.2;

    CopiedNotice(ThemeManager& theme, QWidget* parent = nullptr);
    void setShown(bool shown);
    bool isShown() const { return m_shown; }
    void setFailed(bool failed);
    QString text() const;
    // 0 hidden .. 1 fully shown.
    qreal progress() const { return m_progress; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ThemeManager& m_theme;
    QVariantAnimation* m_animation;
    bool m_shown = false;
    bool m_failed = false;
    qreal m_progress = 0;
};

} // namespace ondrel
