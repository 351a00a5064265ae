#pragma once

#include "ClipboardItem.h"
#include "DetectedLanguage.h"
#include "Timestamp.h"

#include <QString>

#include <optional>

// What a history row shows, apart from how it is drawn.
namespace ondrel::row {

// "just now" under a minute (also for times in the future), then whole
// minutes ("5m"), hours ("3h") and days ("12d") without an upper bound.
QString ageText(Timestamp timestamp, Timestamp now = Timestamp::now());

// The entry's preview as the row shows it: item.previewText(), whose English
// words for images and files ("Image", "+ 2 more") stay for the commands'
// output, in the user's language.
QString previewText(const ClipboardItem& item);

// The symbol of a text entry's icon tile for its language.
QString languageSymbol(DetectedLanguage language);
// The language badge ("JS", "SH", "JSON", ...); none for plain text.
std::optional<QString> languageBadge(DetectedLanguage language);

// The symbol on an entry's icon tile; empty when the tile shows the entry's own image.
QString tileSymbol(const ClipboardItem& item);

// "1" to "9" for the first nine rows (the Ctrl+1…9 shortcuts); none after.
std::optional<QString> numberBadge(qsizetype index);

} // namespace ondrel::row
