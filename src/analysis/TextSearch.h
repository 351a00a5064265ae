#pragma once

#include <QString>
#include <QStringView>

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
class SearchKey final
{
public:
    explicit SearchKey(const QString& text);
    bool contains(const SearchQuery& query) const;

private:
    bool containsAscii(const QString& needle) const;
    QString m_text;           // the text itself when it is ASCII, else its canonical caseless form
    std::vector<bool> m_cuts; // for non-ASCII text: character boundaries in m_text
    bool m_ascii = true;
};

inline bool containsIgnoringCase(const QString& text, QStringView query)
{
    return SearchKey(text).contains(SearchQuery(query));
}

} // namespace ondrel::text
