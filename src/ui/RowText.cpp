#include "RowText.h"

#include "Highlighter.h"
#include "Theme.h"

#include <QFontInfo>

#include <algorithm>

namespace ondrel::row {

const RowFonts& fonts()
{
    static const RowFonts f;
    return f;
}

bool isHighlighted(const ClipboardItem& item)
{
    return item.type() == ClipboardItemType::text && item.detectedLanguage() != DetectedLanguage::plain;
}

QString displayForm(const QString& preview)
{
    QString text = preview;
    for (qsizetype i = 0; i < text.size(); ++i) {
        switch (text[i].unicode()) {
        case u'\r':
            text[i] = (i + 1 < text.size() && text[i + 1] == u'\n') ? QChar(0x200B) : QChar::LineSeparator;
            break;
        case u'\n':
        case 0x0B:
        case 0x0C:
        case 0x85:
        case 0x2029:
            text[i] = QChar::LineSeparator;
            break;
        default:
            break;
        }
    }
    return text;
}

QList<QTextLayout::FormatRange> highlightFormats(const QString& text, DetectedLanguage language, bool dark)
{
    QList<QTextLayout::FormatRange> formats;
    for (const HighlightSpan& span : highlight(text, language)) {
        QTextLayout::FormatRange range;
        range.start = int(span.start);
        range.length = int(span.end - span.start);
        range.format.setForeground(highlightInk(span.role, dark));
        formats << range;
    }
    return formats;
}

std::optional<int> quickLineCount(const QString& text, bool code, qreal width)
{
    const RowFonts& f = fonts();
    const qsizetype br = text.indexOf(QChar::LineSeparator);
    if (br >= 0)
        return br + 1 < text.size() ? std::optional(2) : std::nullopt;
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    const QStringView shown = QStringView(text).left(end);
    static const qreal codeAdvance = f.codeMetrics.horizontalAdvance(QLatin1Char('M'));
    static const bool codeFixed = QFontInfo(f.code).fixedPitch();
    if (code && codeFixed && std::all_of(shown.begin(), shown.end(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() < 0x7F;
        }))
        return shown.size() * codeAdvance <= width ? 1 : 2;
    return (code ? f.codeMetrics : f.plainMetrics).horizontalAdvance(shown.toString()) <= width ? 1 : 2;
}

} // namespace ondrel::row
