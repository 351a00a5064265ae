#include "TextCase.h"

#include "Text.h"

#include <QHash>

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace ondrel::text {

namespace {

void appendCodePoint(QString& out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out += QChar(QChar::highSurrogate(c));
        out += QChar(QChar::lowSurrogate(c));
    } else {
        out += QChar(char16_t(c));
    }
}

// Full lower-case mapping of one code point: the simple mapping, except for
// U+0130, the only code point whose full mapping is longer (a test checks
// this against QString::toLower for every code point).
void appendLower(QString& out, char32_t c)
{
    if (c == 0x0130) {
        out += QStringView(u"i\u0307");
        return;
    }
    appendCodePoint(out, QChar::toLower(c));
}

// Full title-case mapping of one code point, with root-locale rules.
void appendTitle(QString& out, char32_t c)
{
    if (c < 0x80) {
        out += QChar(c >= u'a' && c <= u'z' ? char16_t(c - 32) : char16_t(c));
        return;
    }
    thread_local QHash<char32_t, QString> cache;
    auto it = cache.constFind(c);
    if (it == cache.constEnd()) {
        icu::UnicodeString s(static_cast<UChar32>(c));
        // No break iterator adjustments and no lower-casing: one code point
        // in, its title-case mapping out.
        s.toTitle(nullptr, icu::Locale::getRoot(),
                  U_TITLECASE_NO_BREAK_ADJUSTMENT | U_TITLECASE_NO_LOWERCASE);
        if (cache.size() > 4096)
            cache.clear();
        it = cache.insert(c, QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length()));
    }
    out += *it;
}

bool isSeparator(QStringView character)
{
    return character.size() == 1 && (character[0] == u'_' || character[0] == u'-' || character[0] == u' ');
}

} // namespace

bool isUppercaseCharacter(QStringView character)
{
    if (character.isEmpty())
        return false;
    qsizetype length = 0;
    const char32_t c = codePointAt(character, 0, &length);
    if (length == character.size())
        return c < 0x80 ? (c >= u'A' && c <= u'Z')
                        : u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_UPPERCASE);
    const QString s = character.toString();
    return s.toUpper() == s && s.toLower() != s;
}

void appendCased(QString& out, QStringView text, bool capitalize)
{
    bool wordStart = capitalize;
    for (qsizetype i = 0; i < text.size();) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) { // the common case, without lookups
            const bool space = unit == u' ' || (unit >= 0x09 && unit <= 0x0D);
            if (wordStart && !space)
                out += QChar(unit >= u'a' && unit <= u'z' ? char16_t(unit - 32) : unit);
            else
                out += QChar(unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit);
            wordStart = capitalize && space;
            ++i;
            continue;
        }
        qsizetype length = 0;
        const char32_t c = codePointAt(text, i, &length);
        const bool space = QChar::isSpace(c);
        if (wordStart && !space)
            appendTitle(out, c);
        else
            appendLower(out, c);
        wordStart = capitalize && space;
        i += length;
    }
}

QString capitalized(QStringView text)
{
    QString out;
    out.reserve(text.size() + 8);
    appendCased(out, text, true);
    return out;
}

QList<QStringView> wordsOf(QStringView text)
{
    QList<QStringView> words;
    qsizetype wordStart = 0;
    qsizetype wordEnd = 0; // empty current word when wordEnd == wordStart
    bool lastUpper = false;
    CharacterBoundaries boundaries(text);
    qsizetype start = 0;
    for (qsizetype end; (end = boundaries.next()) != -1; start = end) {
        const QStringView character = text.sliced(start, end - start);
        if (isSeparator(character)) {
            if (wordEnd > wordStart)
                words.append(text.sliced(wordStart, wordEnd - wordStart));
            wordStart = wordEnd = end;
            continue;
        }
        const bool upper = isUppercaseCharacter(character);
        if (upper && wordEnd > wordStart && !lastUpper) {
            words.append(text.sliced(wordStart, wordEnd - wordStart));
            wordStart = start;
        }
        wordEnd = end;
        lastUpper = upper;
    }
    if (wordEnd > wordStart)
        words.append(text.sliced(wordStart, wordEnd - wordStart));
    return words;
}

QStringList splitWords(QStringView text)
{
    QStringList words;
    for (const QStringView word : wordsOf(text)) {
        QString lower;
        lower.reserve(word.size());
        appendCased(lower, word, false);
        words.append(lower);
    }
    return words;
}

} // namespace ondrel::text
