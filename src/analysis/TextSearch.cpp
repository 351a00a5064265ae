#include "TextSearch.h"

#include "Text.h"

#include <QTextBoundaryFinder>

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

namespace ondrel::text {

namespace {

inline char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

// NFD(fold(NFD(s))): two strings are canonical caseless matches exactly when
// these forms are equal.
QString caselessForm(QStringView s)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status))
        return s.toString().toCaseFolded();
    const icu::UnicodeString source(false, reinterpret_cast<const char16_t*>(s.utf16()),
                                    static_cast<int32_t>(s.size()));
    icu::UnicodeString decomposed = nfd->normalize(source, status);
    decomposed.foldCase(U_FOLD_CASE_DEFAULT);
    const icu::UnicodeString result = nfd->normalize(decomposed, status);
    if (U_FAILURE(status))
        return s.toString().toCaseFolded();
    return QString(reinterpret_cast<const QChar*>(result.getBuffer()), result.length());
}

} // namespace

SearchQuery::SearchQuery(QStringView query)
{
    if (isAscii(query)) {
        m_key.reserve(query.size());
        for (const QChar c : query)
            m_key.append(QChar(asciiLower(c.unicode())));
    } else {
        m_key = caselessForm(query);
    }
    m_ascii = isAscii(m_key);
}

SearchKey::SearchKey(const QString& text) : m_ascii(isAscii(text))
{
    if (m_ascii) {
        m_text = text; // shared, not copied
        return;
    }
    // Build the caseless form character by character so that every character
    // boundary of the text is known in the new form. ASCII runs take a short cut.
    m_text.reserve(text.size());
    m_cuts.reserve(text.size() + 1);
    m_cuts.push_back(true);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData(), text.size());
    qsizetype start = 0;
    qsizetype end = 0;
    while ((end = finder.toNextBoundary()) != -1) {
        const QStringView cluster = QStringView(text).sliced(start, end - start);
        if (cluster.size() == 1 && cluster[0].unicode() < 0x80) {
            m_text.append(QChar(asciiLower(cluster[0].unicode())));
        } else if (cluster.size() == 2 && cluster[0] == u'\r' && cluster[1] == u'\n') {
            m_text.append(cluster);
            m_cuts.push_back(false);
        } else {
            const QString form = caselessForm(cluster);
            m_text.append(form);
            for (qsizetype i = 1; i < form.size(); ++i)
                m_cuts.push_back(false);
        }
        m_cuts.push_back(true);
        start = end;
    }
}

bool SearchKey::containsAscii(const QString& needle) const
{
    const qsizetype n = m_text.size();
    const qsizetype m = needle.size();
    if (m > n)
        return false;
    const char16_t* h = reinterpret_cast<const char16_t*>(m_text.utf16());
    const char16_t* q = reinterpret_cast<const char16_t*>(needle.utf16());
    const char16_t first = q[0];
    // OR-ing 0x20 lower-cases exactly the ASCII letters and maps no other
    // code unit onto one, so a letter is found in either case with one compare.
    const bool firstIsLetter = first >= u'a' && first <= u'z';
    const char16_t mask = firstIsLetter ? 0x20 : 0;
    const qsizetype last = n - m;
    for (qsizetype i = 0; i <= last; ++i) {
        if (char16_t(h[i] | mask) != first)
            continue;
        qsizetype k = 1;
        while (k < m && asciiLower(h[i + k]) == q[k])
            ++k;
        if (k != m)
            continue;
        // CR LF is one character: a match may not start or end between them.
        if (i > 0 && h[i - 1] == u'\r' && h[i] == u'\n')
            continue;
        if (i + m < n && h[i + m - 1] == u'\r' && h[i + m] == u'\n')
            continue;
        return true;
    }
    return false;
}

bool SearchKey::contains(const SearchQuery& query) const
{
    if (query.isEmpty())
        return true;
    if (m_ascii)
        return query.m_ascii && containsAscii(query.m_key);
    for (qsizetype from = 0;;) {
        const qsizetype at = m_text.indexOf(query.m_key, from);
        if (at < 0)
            return false;
        if (m_cuts[at] && m_cuts[at + query.m_key.size()])
            return true;
        from = at + 1;
    }
}

} // namespace ondrel::text
