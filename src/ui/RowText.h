#pragma once

#include "ClipboardItem.h"
#include "DetectedLanguage.h"
#include "Fonts.h"

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QString>
#include <QTextLayout>

#include <algorithm>
#include <optional>

// The text of a history row's preview: its fonts, the form it is laid out
// in, its colours, and how many lines it takes.
namespace ondrel::row {

struct RowFonts
{
    QFont number = monoFont(10, FontWeight::bold);
    QFont code = monoFont(11, FontWeight::regular);
    QFont plain = displayFont(12, FontWeight::medium);
    QFont languageBadge = systemMonoFont(8, FontWeight::bold);
    QFont info = systemFont(10);
    QFontMetricsF codeMetrics{code};
    QFontMetricsF plainMetrics{plain};
    QFontMetricsF badgeMetrics{languageBadge};
    QFontMetricsF infoMetrics{info};
    // Asked for every row at every layout: measured once.
    qreal codeLineHeight = codeMetrics.height();
    qreal plainLineHeight = plainMetrics.height();
    qreal infoHeight = infoMetrics.height();
    qreal infoWithBadgeHeight = std::max(infoHeight, badgeMetrics.height() + 4);
};

// Created on first use (fonts need the application).
const RowFonts& fonts();

// Whether the row shows its text in the code font with colours.
bool isHighlighted(const ClipboardItem& item);

// Line breaks become the layout's own separator, code unit for code unit, so
// highlight offsets stay valid; the CR of a CRLF pair draws nothing.
QString displayForm(const QString& preview);

// The highlighter's colours as layout formats, as drawn in the light or the dark look.
QList<QTextLayout::FormatRange> highlightFormats(const QString& text, DetectedLanguage language,
                                                 bool dark = false);

// Lines a preview takes, without laying it out: a break with text after it
// always makes two; otherwise the text wraps exactly when it is wider than
// the room (trailing spaces hang in the margin). Monospaced ASCII is
// measured by counting. None when only a full layout can tell.
std::optional<int> quickLineCount(const QString& text, bool code, qreal width);

} // namespace ondrel::row
