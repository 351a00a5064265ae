#include "Text.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>

#include <algorithm>

namespace ondrel::text {

struct CharacterBoundaries::Impl
{
    std::unique_ptr<icu::BreakIterator> iterator;
    UText text = UTEXT_INITIALIZER;
    QStringView view;
    qsizetype position = 0;
};

namespace {

// Creating a break iterator costs far more than using one: each thread
// keeps one to lend, and makes a fresh one only when it is already lent.
struct IteratorCache
{
    std::unique_ptr<icu::BreakIterator> spare;
};
thread_local IteratorCache t_cache;

std::unique_ptr<icu::BreakIterator> borrowIterator()
{
    if (t_cache.spare)
        return std::move(t_cache.spare);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    return U_SUCCESS(status) ? std::move(it) : nullptr;
}

} // namespace

CharacterBoundaries::CharacterBoundaries(QStringView text) : m_impl(std::make_unique<Impl>())
{
    m_impl->view = text;
    m_impl->iterator = borrowIterator();
    UErrorCode status = U_ZERO_ERROR;
    utext_openUChars(&m_impl->text, reinterpret_cast<const UChar*>(text.utf16()), text.size(), &status);
    if (m_impl->iterator && U_SUCCESS(status))
        m_impl->iterator->setText(&m_impl->text, status);
    if (U_FAILURE(status))
        m_impl->iterator.reset();
}

CharacterBoundaries::~CharacterBoundaries()
{
    utext_close(&m_impl->text);
    if (m_impl->iterator && !t_cache.spare)
        t_cache.spare = std::move(m_impl->iterator);
}

char32_t codePointAt(QStringView s, qsizetype pos, qsizetype* length)
{
    const char16_t c = s[pos].unicode();
    const bool pair =
        QChar::isHighSurrogate(c) && pos + 1 < s.size() && QChar::isLowSurrogate(s[pos + 1].unicode());
    if (length)
        *length = pair ? 2 : 1;
    return pair ? QChar::surrogateToUcs4(c, s[pos + 1].unicode()) : char32_t(c);
}

char32_t codePointBefore(QStringView s, qsizetype pos)
{
    const char16_t c = s[pos - 1].unicode();
    if (QChar::isLowSurrogate(c) && pos >= 2 && QChar::isHighSurrogate(s[pos - 2].unicode()))
        return QChar::surrogateToUcs4(s[pos - 2].unicode(), c);
    return c;
}

int graphemeBreakClass(char32_t c)
{
    if (c < 0x80)
        return c == u'\r'                ? U_GCB_CR
               : c == u'\n'              ? U_GCB_LF
               : (c < 0x20 || c == 0x7F) ? U_GCB_CONTROL
                                         : U_GCB_OTHER;
    return u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_GRAPHEME_CLUSTER_BREAK);
}

qsizetype CharacterBoundaries::next()
{
    Impl& d = *m_impl;
    if (!d.iterator || d.position >= d.view.size())
        return -1;
    // Most characters are one code point of class Other or a control; after
    // those, whether a boundary follows depends on the next code point
    // alone. ICU decides everything else.
    qsizetype length = 0;
    const int current = graphemeBreakClass(codePointAt(d.view, d.position, &length));
    const qsizetype after = d.position + length;
    if (after == d.view.size())
        return d.position = after;
    qsizetype nextLength = 0;
    const char32_t nextCode = codePointAt(d.view, after, &nextLength);
    const int next = graphemeBreakClass(nextCode);
    if (current == U_GCB_CR || current == U_GCB_LF || current == U_GCB_CONTROL) {
        if (!(current == U_GCB_CR && next == U_GCB_LF))
            return d.position = after;
    } else if (current == U_GCB_OTHER && next != U_GCB_EXTEND && next != U_GCB_ZWJ &&
               next != U_GCB_SPACING_MARK) {
        return d.position = after;
    }
    const int32_t p = d.iterator->following(static_cast<int32_t>(d.position));
    d.position = p == icu::BreakIterator::DONE ? d.view.size() : p;
    return d.position;
}

bool CharacterBoundaries::isBoundary(qsizetype pos)
{
    return m_impl->iterator && m_impl->iterator->isBoundary(static_cast<int32_t>(pos));
}

namespace {

// Boundaries found strictly inside a window are final: whether a boundary
// falls at a position depends only on what precedes it and the next character.
qsizetype scanWindow(QStringView window, qsizetype count, bool wholeText)
{
    CharacterBoundaries boundaries(window);
    qsizetype seen = 0;
    qsizetype pos = 0;
    while ((pos = boundaries.next()) != -1) {
        if (!wholeText && pos >= window.size())
            break;
        if (++seen == count)
            return pos;
    }
    return -1;
}

} // namespace

qsizetype offsetAfterCharacters(QStringView text, qsizetype count)
{
    if (count < 0)
        return -1;
    if (count == 0)
        return text.isEmpty() ? -1 : 0;
    // A character is rarely longer than a few code units; grow the window only
    // for text made of long clusters.
    qsizetype window = std::max<qsizetype>(count * 4 + 16, 256);
    for (;;) {
        const bool whole = window >= text.size();
        const qsizetype end = scanWindow(text.first(std::min(window, text.size())), count, whole);
        if (end != -1)
            return end < text.size() ? end : -1;
        if (whole)
            return -1;
        window *= 2;
    }
}

qsizetype characterCount(QStringView text)
{
    CharacterBoundaries boundaries(text);
    qsizetype n = 0;
    while (boundaries.next() != -1)
        ++n;
    return n;
}

bool isCharacterBoundary(QStringView text, qsizetype pos)
{
    if (pos <= 0 || pos >= text.size())
        return pos == 0 || pos == text.size();
    return CharacterBoundaries(text).isBoundary(pos);
}

bool canonicallyEqual(QStringView a, QStringView b)
{
    if (a == b)
        return true;
    if (!mayBeCanonicallyEqual(a.size(), b.size()) || (isAscii(a) && isAscii(b)))
        return false;
    return a.toString().normalized(QString::NormalizationForm_C) ==
           b.toString().normalized(QString::NormalizationForm_C);
}

QStringView trimmed(QStringView text)
{
    // Every member of the set is in the BMP, so code units suffice.
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].isSpace())
        ++begin;
    while (end > begin && text[end - 1].isSpace())
        --end;
    return text.sliced(begin, end - begin);
}

bool isValidUtf8(std::string_view bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0; // overlong
            if (c == 0xED)
                hi = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90; // overlong
            if (c == 0xF4)
                hi = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        if (s[i + 1] < lo || s[i + 1] > hi)
            return false;
        for (std::size_t k = 2; k < len; ++k)
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return false;
        i += len;
    }
    return true;
}

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

qsizetype lineCount(QStringView text)
{
    return 1 + std::count_if(text.begin(), text.end(), isNewline);
}

} // namespace ondrel::text
