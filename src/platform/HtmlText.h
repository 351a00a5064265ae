#pragma once

#include <QByteArrayView>
#include <QString>

namespace ondrel::platform {

// The text a user would paste from `html` as plain text: no tags, no
// scripts or style sheets, entities decoded, runs of white space as one
// space (kept as they are inside <pre>), block elements on lines of their
// own, a blank line between paragraphs, table cells apart by a tab, and a
// no-break space as a space. UTF-8, or UTF-16 with its byte-order mark.
//
// One pass over the bytes, nothing loaded and nothing laid out, so it is
// bounded by the size of its input and safe on any thread. QTextDocument
// was not taken for this: its import cannot be interrupted, grows to many
// times its input, and fetches what a page links to (a style sheet named
// by <link> is read through its resource loader, local files included),
// which a copy from another program must never make us do.
QString htmlToText(QByteArrayView html);

} // namespace ondrel::platform
