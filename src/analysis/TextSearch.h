#pragma once

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

namespace ondrel::text {

// A search text prepared once per keystroke.
class SearchQuery final
{
public:
    explicit SearchQuery(QStringView query);
    bool isEmpty() const { return m_key.isEmpty(); }

private:
    friend class SearchKey;
    QString m_key; // canonical caseless form
    bool m_ascii = true;
};

// A text prepared for repeated case-insensitive containment tests:
// letters match across case with full case folding (ß matches SS),
// canonically equivalent spellings match, nothing else is folded (é does
// not match e), and a match never splits a user-perceived character.
//
// Most texts and queries are ASCII or nearly so; those are searched in the
// text itself. The caseless form of the whole text is built only when a
// query or the text needs it.
class SearchKey final
{
public:
    explicit SearchKey(const QString& text);
    ~SearchKey();
    SearchKey(SearchKey&&) noexcept;
    SearchKey& operator=(SearchKey&&) noexcept;

    bool contains(const SearchQuery& query) const;

private:
    enum class Kind
    {
        Ascii,   // ASCII only
        Unicode, // holds other characters too
    };
    struct CaselessForm;

    bool containsAscii(const QString& needle) const;
    qsizetype matchAsciiAt(qsizetype at, const QString& needle) const;
    const CaselessForm& caseless() const;

    QString m_text;
    Kind m_kind = Kind::Ascii;
    std::vector<qsizetype>
        m_foldingAt; // positions of characters whose caseless form is ASCII (ß, ſ, K, ﬁ, ...)
    mutable std::unique_ptr<CaselessForm> m_caseless;
};

inline bool containsIgnoringCase(const QString& text, QStringView query)
{
    return SearchKey(text).contains(SearchQuery(query));
}

namespace detail {
// NFD(fold(NFD(s))): two texts are canonical caseless matches exactly when
// these forms are equal.
QString caselessForm(QStringView s);
// Whether `c` is one of the non-ASCII code points whose caseless form is ASCII.
bool foldsToAscii(char32_t c);
// That caseless form (ß gives "ss"); empty for any other code point.
QStringView asciiFold(char32_t c);
} // namespace detail

} // namespace ondrel::text
