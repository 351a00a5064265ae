#pragma once

#include <QString>
#include <QStringView>

#include <string_view>

// Text helpers shared by the analysis and the history model. "Characters"
// here are user-perceived characters (extended grapheme clusters).
namespace ondrel::text {

// Offset just past the first `count` characters of `text`, or -1 when the
// text has `count` characters or fewer. Only looks at a prefix of the text.
qsizetype offsetAfterCharacters(QStringView text, qsizetype count);

// Number of user-perceived characters.
qsizetype characterCount(QStringView text);

// Whether a character boundary falls at `pos` (0 and size() always do).
bool isCharacterBoundary(QStringView text, qsizetype pos);

// Unicode canonical equivalence (same NFC form).
bool canonicallyEqual(QStringView a, QStringView b);

// Without leading and trailing white space and line breaks (Unicode Z*,
// U+0009-U+000D and U+0085).
QStringView trimmed(QStringView text);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

inline bool isAscii(QStringView text)
{
    char16_t acc = 0;
    for (const QChar c : text)
        acc |= c.unicode();
    return acc < 0x80;
}

} // namespace ondrel::text
