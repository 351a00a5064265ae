#pragma once

#include "Transformations.h"

#include <QFrame>
#include <QString>

#include <functional>

namespace ondrel {

class ThemeManager;

// The twenty transformations in their four sections. Picking one applies it
// to the text the popover was opened with and hands back the result; a
// transformation that fails does nothing and the popover stays open. It
// never closes itself on a pick: its owner decides.
class TransformationsPopover final : public QFrame
{
    Q_OBJECT
public:
    static constexpr int kWidth = 180;

    TransformationsPopover(const QString& text, ThemeManager& theme, QWidget* parent = nullptr);

    std::function<void(const QString&)> onApply;

    // What picking the row of `transformation` does.
    void pick(Transformation transformation);
    // Shows it as a pop-up below `anchor`, kept on the anchor's screen.
    void popUpBelow(QWidget* anchor);

Q_SIGNALS:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString m_text;
    ThemeManager& m_theme;
};

} // namespace ondrel
