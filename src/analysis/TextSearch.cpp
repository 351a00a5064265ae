#include "TextSearch.h"

#include "Text.h"

#include <QHash>

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <limits>

namespace ondrel::text {

namespace {

inline char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

bool isControlClass(int cls)
{
    return cls == U_GCB_CONTROL || cls == U_GCB_CR || cls == U_GCB_LF;
}

// Character boundaries next to a character that is ASCII or folds to ASCII.
// Such a character is never an extender, a prepended mark, an emoji or a
// Hangul syllable, so only these rules can join it to its neighbour.
bool boundaryBefore(QStringView s, qsizetype pos)
{
    if (pos == 0)
        return true;
    const char32_t prev = codePointBefore(s, pos);
    const char16_t first = s[pos].unicode();
    if (prev == u'\r' && first == u'\n')
        return false;
    return isControlClass(graphemeBreakClass(first)) || graphemeBreakClass(prev) != U_GCB_PREPEND;
}

bool boundaryAfter(QStringView s, qsizetype pos)
{
    if (pos == s.size())
        return true;
    const char16_t last = s[pos - 1].unicode();
    const char32_t next = codePointAt(s, pos);
    if (last == u'\r')
        return next != u'\n';
    if (isControlClass(graphemeBreakClass(last)))
        return true;
    const int cls = graphemeBreakClass(next);
    return cls != U_GCB_EXTEND && cls != U_GCB_ZWJ && cls != U_GCB_SPACING_MARK;
}

} // namespace

namespace detail {

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

bool foldsToAscii(char32_t c)
{
    // ß, ſ, ẞ, the Kelvin sign and the Latin ligatures ﬀ to ﬆ fold to ASCII
    // letters; the Greek question mark and varia are canonically ";" and "`".
    // A test checks this list against every code point.
    return c == 0x00DF || c == 0x017F || c == 0x037E || c == 0x1E9E || c == 0x1FEF || c == 0x212A ||
           (c >= 0xFB00 && c <= 0xFB06);
}

QStringView asciiFold(char32_t c)
{
    struct Entry
    {
        char32_t c;
        const char16_t* fold;
    };
    static constexpr std::array<Entry, 13> kFolds = {{
        {0x00DF, u"ss"},
        {0x017F, u"s"},
        {0x037E, u";"},
        {0x1E9E, u"ss"},
        {0x1FEF, u"`"},
        {0x212A, u"k"},
        {0xFB00, u"ff"},
        {0xFB01, u"fi"},
        {0xFB02, u"fl"},
        {0xFB03, u"ffi"},
        {0xFB04, u"ffl"},
        {0xFB05, u"st"},
        {0xFB06, u"st"},
    }};
    for (const Entry& e : kFolds)
        if (e.c == c)
            return QStringView(e.fold);
    return {};
}

} // namespace detail

struct SearchKey::CaselessForm
{
    QString text;
    std::vector<bool> cuts; // character boundaries of the original, in `text`
};

SearchQuery::SearchQuery(QStringView query)
{
    if (isAscii(query)) {
        m_key.reserve(query.size());
        for (const QChar c : query)
            m_key.append(QChar(asciiLower(c.unicode())));
    } else {
        m_key = detail::caselessForm(query);
    }
    m_ascii = isAscii(m_key);
}

SearchKey::SearchKey(const QString& text) : m_text(text) // shared, not copied
{
    if (isAscii(text))
        return;
    m_kind = Kind::Unicode;
    // Every code point in the list is in the BMP.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() >= 0x80 && detail::foldsToAscii(text[i].unicode()))
            m_foldingAt.push_back(i);
    }
}

SearchKey::~SearchKey() = default;
SearchKey::SearchKey(SearchKey&&) noexcept = default;
SearchKey& SearchKey::operator=(SearchKey&&) noexcept = default;

namespace {

// Caseless form of a character; most are a single code point, whose forms
// are remembered (per thread, as detection may run on any thread).
QString caselessCharacter(QStringView cluster)
{
    if (isAscii(cluster))
        return cluster.toString().toLower();
    qsizetype length = 0;
    const char32_t c = codePointAt(cluster, 0, &length);
    if (length != cluster.size())
        return detail::caselessForm(cluster);
    thread_local QHash<char32_t, QString> forms;
    auto it = forms.constFind(c);
    if (it == forms.constEnd()) {
        if (forms.size() > 4096)
            forms.clear();
        it = forms.insert(c, detail::caselessForm(cluster));
    }
    return *it;
}

void appendCluster(QStringView cluster, QString& text, std::vector<bool>& cuts)
{
    if (cluster.size() == 1 && cluster[0].unicode() < 0x80) {
        text.append(QChar(asciiLower(cluster[0].unicode())));
    } else {
        const QString folded = caselessCharacter(cluster);
        text.append(folded);
        cuts.insert(cuts.end(), static_cast<std::size_t>(folded.size() - 1), false);
    }
    cuts.push_back(true);
}

// Appends the clusters of `part`, which starts and ends at character boundaries.
void appendSegmented(QStringView part, QString& text, std::vector<bool>& cuts)
{
    // Usually every non-ASCII character here is a plain letter, sign or
    // symbol: then every code point is a character of its own, apart from
    // CR LF, and no break iterator is needed.
    bool plain = true;
    for (qsizetype k = 0; k < part.size() && plain; ++k) {
        const char16_t c = part[k].unicode();
        plain = c < 0x80 || (!QChar::isSurrogate(c) && graphemeBreakClass(c) == U_GCB_OTHER);
    }
    if (plain) {
        for (qsizetype k = 0; k < part.size(); ++k) {
            const qsizetype length = part[k] == u'\r' && k + 1 < part.size() && part[k + 1] == u'\n' ? 2 : 1;
            appendCluster(part.sliced(k, length), text, cuts);
            k += length - 1;
        }
        return;
    }
    CharacterBoundaries boundaries(part);
    qsizetype start = 0;
    qsizetype end = 0;
    while ((end = boundaries.next()) != -1) {
        appendCluster(part.sliced(start, end - start), text, cuts);
        start = end;
    }
}

} // namespace

const SearchKey::CaselessForm& SearchKey::caseless() const
{
    if (m_caseless)
        return *m_caseless;
    // Built character by character so that every character boundary of the
    // text is known in the new form. Only the stretches around non-ASCII
    // characters need segmenting: between two ASCII characters there is
    // always a boundary, except inside CR LF.
    auto form = std::make_unique<CaselessForm>();
    form->text.reserve(m_text.size());
    form->cuts.reserve(static_cast<std::size_t>(m_text.size()) + 1);
    form->cuts.push_back(true);
    const QStringView text(m_text);
    const qsizetype n = text.size();
    const auto ascii = [&](qsizetype i) { return i < n && text[i].unicode() < 0x80; };
    qsizetype i = 0;
    while (i < n) {
        qsizetype p = i;
        while (ascii(p))
            ++p;
        // The ASCII character before a non-ASCII one may carry its marks, and
        // LF must stay with a CR before it.
        qsizetype island = p == n ? n : std::max(i, p - 1);
        if (island > i && island < n && text[island] == u'\n' && text[island - 1] == u'\r')
            --island;
        const qsizetype base = form->text.size();
        form->text.resize(base + (island - i));
        char16_t* out = reinterpret_cast<char16_t*>(form->text.data()) + base;
        const std::size_t cutBase = form->cuts.size();
        form->cuts.resize(cutBase + static_cast<std::size_t>(island - i), true);
        for (qsizetype k = i; k < island; ++k) {
            const char16_t c = text[k].unicode();
            *out++ = asciiLower(c);
            if (c == u'\r' && k + 1 < island && text[k + 1] == u'\n')
                form->cuts[cutBase + static_cast<std::size_t>(k - i)] = false;
        }
        if (island == n)
            break;
        // Extend the stretch over non-ASCII characters and the ASCII ones
        // between them, plus one ASCII character after (a prepended mark joins
        // it), so that it ends between two ASCII characters that are not CR LF.
        qsizetype end = p;
        for (;;) {
            while (end < n && !ascii(end))
                ++end;
            if (end < n)
                ++end;
            if (end < n && text[end - 1] == u'\r' && text[end] == u'\n')
                ++end;
            if (end < n && !ascii(end))
                continue;
            break;
        }
        appendSegmented(text.sliced(island, end - island), form->text, form->cuts);
        i = end;
    }
    m_caseless = std::move(form);
    return *m_caseless;
}

// Length of the text matched by `needle` from `at`, or -1. Characters that
// fold to ASCII must match their whole caseless form.
qsizetype SearchKey::matchAsciiAt(qsizetype at, const QString& needle) const
{
    const qsizetype n = m_text.size();
    const qsizetype m = needle.size();
    qsizetype i = at;
    qsizetype k = 0;
    while (k < m) {
        if (i >= n)
            return -1;
        const char16_t c = m_text[i].unicode();
        if (c < 0x80) {
            if (asciiLower(c) != needle[k].unicode())
                return -1;
            ++k;
        } else {
            const QStringView fold = detail::asciiFold(c);
            if (fold.isEmpty() || QStringView(needle).sliced(k).left(fold.size()) != fold)
                return -1;
            k += fold.size();
        }
        ++i;
    }
    return i - at;
}

bool SearchKey::containsAscii(const QString& needle) const
{
    const auto accept = [&](qsizetype i) {
        const qsizetype length = matchAsciiAt(i, needle);
        // A match must not split a character (e.g. "cafe" in "cafe" + combining acute).
        return length >= 0 && boundaryBefore(m_text, i) && boundaryAfter(m_text, i + length);
    };
    // Candidates: the vectorised single-character search, once for each
    // case of the first letter, and the characters that fold to ASCII;
    // merged in text order.
    const char16_t first = needle[0].unicode();
    const QChar lower(first);
    const QChar upper = (first >= u'a' && first <= u'z') ? QChar(char16_t(first - 32)) : lower;
    const QStringView text(m_text);
    qsizetype nextLower = text.indexOf(lower);
    qsizetype nextUpper = upper == lower ? -1 : text.indexOf(upper);
    auto folding = m_foldingAt.cbegin();
    constexpr qsizetype kNone = std::numeric_limits<qsizetype>::max();
    for (;;) {
        const qsizetype a = nextLower < 0 ? kNone : nextLower;
        const qsizetype b = nextUpper < 0 ? kNone : nextUpper;
        const qsizetype c = folding == m_foldingAt.cend() ? kNone : *folding;
        const qsizetype at = std::min({a, b, c});
        if (at == kNone)
            return false;
        if (accept(at))
            return true;
        if (at == a)
            nextLower = text.indexOf(lower, at + 1);
        if (at == b)
            nextUpper = text.indexOf(upper, at + 1);
        if (at == c)
            ++folding;
    }
}

bool SearchKey::contains(const SearchQuery& query) const
{
    if (query.isEmpty())
        return true;
    // An ASCII query can only meet ASCII characters and those that fold to ASCII.
    if (query.m_ascii)
        return containsAscii(query.m_key);
    if (m_kind == Kind::Ascii)
        return false;
    const CaselessForm& form = caseless();
    for (qsizetype from = 0;;) {
        const qsizetype at = form.text.indexOf(query.m_key, from);
        if (at < 0)
            return false;
        if (form.cuts[at] && form.cuts[at + query.m_key.size()])
            return true;
        from = at + 1;
    }
}

} // namespace ondrel::text
