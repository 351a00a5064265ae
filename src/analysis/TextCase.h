#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Case operations that follow Unicode and ignore the user's locale.
namespace ondrel::text {

// Whether a user-perceived character is upper case: a single code point by
// its Uppercase property; a longer character when upper-casing leaves it as
// it is and lower-casing changes it.
bool isUppercaseCharacter(QStringView character);

// Appends `text` lower-cased (full mapping). With `capitalize`, the first
// character of each run delimited by white space or line breaks is title-cased
// instead (ß gives "Ss", ǆ gives ǅ).
void appendCased(QString& out, QStringView text, bool capitalize);

// Each word (a run delimited by white space or line breaks) with its first
// character in title case and the rest in lower case.
QString capitalized(QStringView text);

// The words of an identifier-like text, as pieces of it: "_", "-" and " "
// end a word, and an upper-case character after a character that is not
// upper case starts one ("myHTTPServer2Go" gives my, HTTPServer2, Go).
QList<QStringView> wordsOf(QStringView text);

// The same words in lower case.
QStringList splitWords(QStringView text);

} // namespace ondrel::text
