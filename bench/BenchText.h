#pragma once

#include <QString>

namespace ondrel::bench {

// Prose that no language rule recognises, so detection runs every step.
QString plainText(qsizetype length, unsigned seed = 1);
// A mix of prose and code in several languages, with some accented letters and emoji.
QString mixedText(qsizetype length, unsigned seed = 1);

} // namespace ondrel::bench
