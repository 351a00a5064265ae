#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QCoreApplication;

namespace ondrel {

// The languages the user asked for, most wanted first, as gettext finds them:
// LANGUAGE (a colon-separated list) first, else the first of LC_ALL,
// LC_MESSAGES and LANG that is set. Encodings and modifiers are dropped
// ("de_DE.UTF-8@euro" -> "de_DE"); the list ends at the first English or C
// locale, since English needs no catalogue.
QStringList requestedLanguages(const QByteArray& language, const QByteArray& lcAll,
                               const QByteArray& lcMessages, const QByteArray& lang);

// Loads Ondrel's catalogue (built into the program) for the first requested
// language that has one, with Qt's own where installed, and makes dates and
// numbers follow that language when the system locale speaks another. Reads
// the environment; returns the language chosen, empty for English.
QString installTranslations(QCoreApplication& app);

} // namespace ondrel
