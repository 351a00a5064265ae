#pragma once

#include <QString>
#include <QStringView>

#include <memory>
#include <string_view>

// Text helpers shared by the analysis and the history model. "Characters"
// here are user-perceived characters (extended grapheme clusters).
namespace ondrel::text {

// The code point at `pos`, and in `length` how many code units it takes
// (a lone surrogate stands for itself).
char32_t codePointAt(QStringView text, qsizetype pos, qsizetype* length = nullptr);
// The code point that ends just before `pos` (> 0).
char32_t codePointBefore(QStringView text, qsizetype pos);
// The Grapheme_Cluster_Break class of a code point (ICU's UGraphemeClusterBreak).
int graphemeBreakClass(char32_t c);

// Walks the character boundaries of a text (ICU's extended grapheme
// clusters; QTextBoundaryFinder disagrees with them at the start of a text).
class CharacterBoundaries final
{
public:
    explicit CharacterBoundaries(QStringView text);
    ~CharacterBoundaries();
    CharacterBoundaries(const CharacterBoundaries&) = delete;
    CharacterBoundaries& operator=(const CharacterBoundaries&) = delete;

    // The next boundary after the current position (the first call gives the
    // end of the first character), or -1 past the end.
    qsizetype next();
    bool isBoundary(qsizetype pos);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Offset just past the first `count` characters of `text`, or -1 when the
// text has `count` characters or fewer. Only looks at a prefix of the text.
qsizetype offsetAfterCharacters(QStringView text, qsizetype count);

// Number of user-perceived characters.
qsizetype characterCount(QStringView text);

// Whether a character boundary falls at `pos` (0 and size() always do).
bool isCharacterBoundary(QStringView text, qsizetype pos);

// The line breaks texts are split at: LF, VT, FF, CR, NEL, U+2028, U+2029
// (CR LF counts as two).
bool isNewline(QChar c);
// The number of pieces a text splits into at those breaks (the empty text is one line).
qsizetype lineCount(QStringView text);

// The value of an ASCII hexadecimal digit (either case), or -1.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Unicode canonical equivalence (same NFC form).
bool canonicallyEqual(QStringView a, QStringView b);
// False when texts of these lengths (UTF-16 units) cannot be canonically
// equal: a code point decomposes into at most four, so equal texts differ
// in length by a factor of 8 at most. Spares decoding a long text to learn
// that a short one is not the same.
constexpr bool mayBeCanonicallyEqual(qsizetype a, qsizetype b)
{
    return a <= 8 * b && b <= 8 * a;
}

// Without leading and trailing white space and line breaks (Unicode Z*,
// U+0009-U+000D and U+0085).
QStringView trimmed(QStringView text);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

inline bool isAscii(QStringView text)
{
    return QtPrivate::isAscii(text); // vectorised
}

} // namespace ondrel::text
