#include "HtmlText.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <utility>

namespace ondrel::platform {

namespace {

// The entities of U+00A0 to U+00FF, in order.
constexpr std::array<const char*, 96> kLatin1Entities = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct Entity
{
    const char* name;
    char32_t value;
};
// Those beyond Latin-1 that pages copied from commonly hold.
constexpr Entity kOtherEntities[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},      {"apos", '\''},
    {"OElig", 0x152},   {"oelig", 0x153},   {"Scaron", 0x160},  {"scaron", 0x161},  {"Yuml", 0x178},
    {"fnof", 0x192},    {"circ", 0x2c6},    {"tilde", 0x2dc},   {"ensp", 0x2002},   {"emsp", 0x2003},
    {"thinsp", 0x2009}, {"zwnj", 0x200c},   {"zwj", 0x200d},    {"lrm", 0x200e},    {"rlm", 0x200f},
    {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"sbquo", 0x201a},
    {"ldquo", 0x201c},  {"rdquo", 0x201d},  {"bdquo", 0x201e},  {"dagger", 0x2020}, {"Dagger", 0x2021},
    {"bull", 0x2022},   {"hellip", 0x2026}, {"permil", 0x2030}, {"prime", 0x2032},  {"Prime", 0x2033},
    {"lsaquo", 0x2039}, {"rsaquo", 0x203a}, {"euro", 0x20ac},   {"trade", 0x2122},  {"larr", 0x2190},
    {"uarr", 0x2191},   {"rarr", 0x2192},   {"darr", 0x2193},   {"harr", 0x2194},   {"minus", 0x2212},
    {"ne", 0x2260},     {"le", 0x2264},     {"ge", 0x2265},     {"infin", 0x221e}};

std::optional<char32_t> namedEntity(QStringView name)
{
    for (size_t i = 0; i < kLatin1Entities.size(); ++i)
        if (name == QLatin1StringView(kLatin1Entities[i]))
            return char32_t(0xA0 + i);
    for (const Entity& entity : kOtherEntities)
        if (name == QLatin1StringView(entity.name))
            return entity.value;
    return std::nullopt;
}

// Elements whose content is never shown.
bool isHidden(QStringView tag)
{
    return tag == u"script" || tag == u"style" || tag == u"title" || tag == u"template";
}

// How many line breaks an element starts and ends with (0: it flows).
int blockBreaks(QStringView tag)
{
    static const char* const kBlocks[] = {
        "address", "article", "aside",   "blockquote", "caption", "center",   "dd",         "details",
        "dialog",  "dir",     "div",     "dl",         "dt",      "fieldset", "figcaption", "figure",
        "footer",  "form",    "h1",      "h2",         "h3",      "h4",       "h5",         "h6",
        "header",  "hgroup",  "hr",      "li",         "main",    "menu",     "nav",        "ol",
        "pre",     "section", "summary", "table",      "tr",      "ul",       "textarea"};
    if (tag == u"p")
        return 2;
    return std::any_of(std::begin(kBlocks), std::end(kBlocks),
                       [&](const char* block) { return tag == QLatin1StringView(block); })
               ? 1
               : 0;
}

bool isCollapsible(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

class Renderer
{
public:
    QString take() { return std::move(m_out); }

    // One UTF-16 unit of text (a surrogate pair comes as its two halves).
    void unit(QChar c)
    {
        if (c == QChar::Nbsp)
            c = u' ';
        if (m_verbatim == 0 && isCollapsible(c)) {
            m_space = true;
            return;
        }
        flush();
        if (c != u'\r') // a line break is \n, however it was written
            m_out.append(c);
    }
    void character(char32_t c)
    {
        if (c < 0x10000) {
            unit(QChar(char16_t(c)));
            return;
        }
        flush();
        m_out.append(QChar::fromUcs4(c));
    }
    void lineBreak()
    {
        ++m_breaks;
        m_space = false;
        m_tab = false;
    }
    void block(int breaks)
    {
        m_breaks = std::max(m_breaks, breaks);
        m_space = false;
        m_tab = false;
    }
    void cell()
    {
        m_tab = m_cellsInRow++ > 0;
        m_space = false;
    }
    void row() { m_cellsInRow = 0; }
    void verbatim(bool on) { m_verbatim = std::max(0, m_verbatim + (on ? 1 : -1)); }
    bool isVerbatim() const { return m_verbatim > 0; }

private:
    // What is owed between the text so far and the next: nothing before the first.
    void flush()
    {
        if (!m_out.isEmpty()) {
            if (m_breaks > 0)
                m_out.append(QString(m_breaks, u'\n'));
            else if (m_tab)
                m_out.append(u'\t');
            else if (m_space)
                m_out.append(u' ');
        }
        m_breaks = 0;
        m_space = m_tab = false;
    }

    QString m_out;
    int m_breaks = 0;
    bool m_space = false;
    bool m_tab = false;
    int m_cellsInRow = 0;
    int m_verbatim = 0;
};

QString decodeHtml(QByteArrayView bytes)
{
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff")) {
        QStringDecoder decode(QStringConverter::Utf16);
        return decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u':' || c == u'_';
}

// An entity at `at` (just past '&'): its character and where the text goes on.
std::optional<std::pair<char32_t, qsizetype>> entityAt(QStringView html, qsizetype at)
{
    constexpr qsizetype kLongestName = 32;
    // Looked for only as far as the longest name: a page of '&' without
    // ';' must not cost a search to its end for each one.
    const qsizetype end = html.sliced(at, std::min(html.size() - at, kLongestName + 1)).indexOf(u';') + at;
    if (end < at || end == at)
        return std::nullopt;
    const QStringView name = html.sliced(at, end - at);
    if (name.startsWith(u'#')) {
        bool ok = false;
        const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
        const uint code = name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        if (!ok)
            return std::nullopt;
        const bool valid = code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        return std::pair{valid ? char32_t(code) : char32_t(0xFFFD), end + 1};
    }
    if (const std::optional<char32_t> c = namedEntity(name))
        return std::pair{*c, end + 1};
    return std::nullopt;
}

} // namespace

QString htmlToText(QByteArrayView bytes)
{
    const QString decoded = decodeHtml(bytes);
    const QStringView html(decoded);
    const qsizetype n = html.size();
    Renderer out;
    qsizetype i = 0;
    bool afterPre = false; // a line break right after <pre> is not part of its text
    while (i < n) {
        const QChar c = html[i];
        if (c == u'&') {
            if (const auto entity = entityAt(html, i + 1)) {
                out.character(entity->first);
                i = entity->second;
            } else {
                out.character('&');
                ++i;
            }
            afterPre = false;
            continue;
        }
        if (c != u'<') {
            if (!(afterPre && c == u'\n'))
                out.unit(c);
            afterPre = false;
            ++i;
            continue;
        }
        afterPre = false;
        const QStringView rest = html.sliced(i);
        if (rest.startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(u"-->", i + 4);
            i = end < 0 ? n : end + 3;
            continue;
        }
        if (rest.startsWith(u"<!") || rest.startsWith(u"<?")) {
            const qsizetype end = html.indexOf(u'>', i);
            i = end < 0 ? n : end + 1;
            continue;
        }
        const bool closing = rest.startsWith(u"</");
        qsizetype at = i + (closing ? 2 : 1);
        if (at >= n || !html[at].isLetter()) {
            out.character('<');
            ++i;
            continue;
        }
        const qsizetype nameStart = at;
        while (at < n && isNameChar(html[at]))
            ++at;
        const QString tag = html.sliced(nameStart, at - nameStart).toString().toLower();
        // The attributes, where a quoted '>' does not end the tag.
        QChar quote;
        while (at < n && (!quote.isNull() || html[at] != u'>')) {
            if (quote.isNull() && (html[at] == u'"' || html[at] == u'\''))
                quote = html[at];
            else if (html[at] == quote)
                quote = QChar();
            ++at;
        }
        i = at < n ? at + 1 : n;
        if (!closing && isHidden(tag)) {
            const qsizetype end = html.indexOf(QStringLiteral("</") + tag, i, Qt::CaseInsensitive);
            const qsizetype close = end < 0 ? -1 : html.indexOf(u'>', end);
            i = close < 0 ? n : close + 1;
            continue;
        }
        if (tag == u"br") {
            out.lineBreak();
        } else if (tag == u"td" || tag == u"th") {
            if (!closing)
                out.cell();
        } else if (const int breaks = blockBreaks(tag)) {
            out.block(breaks);
            if (tag == u"tr")
                out.row();
            if (tag == u"pre" || tag == u"textarea") {
                out.verbatim(!closing);
                afterPre = !closing;
            }
        }
    }
    return out.take();
}

} // namespace ondrel::platform
