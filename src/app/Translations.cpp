#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ondrel {

QStringList requestedLanguages(const QByteArray& language, const QByteArray& lcAll,
                               const QByteArray& lcMessages, const QByteArray& lang)
{
    // gettext skips LANGUAGE under the C locale; we do not, since a session
    // that sets only LANGUAGE (as some display managers do) still means it.
    const QByteArray locale = !lcAll.isEmpty() ? lcAll : !lcMessages.isEmpty() ? lcMessages : lang;
    const QByteArray list = !language.isEmpty() ? language : locale;
    QStringList out;
    for (const QByteArray& entry : list.split(':')) {
        QString name = QString::fromLatin1(entry);
        name = name.section(u'.', 0, 0).section(u'@', 0, 0);
        if (name.isEmpty())
            continue;
        if (name == u"C" || name == u"POSIX" || name == u"en" || name.startsWith(u"en_"))
            break;
        out << name;
    }
    return out;
}

QString installTranslations(QCoreApplication& app)
{
    const QStringList wanted =
        requestedLanguages(qgetenv("LANGUAGE"), qgetenv("LC_ALL"), qgetenv("LC_MESSAGES"), qgetenv("LANG"));
    for (const QString& name : wanted) {
        auto* own = new QTranslator(&app);
        // load() falls back from "de_AT" to "de" by itself.
        if (!own->load(QStringLiteral("ondrel_") + name, QStringLiteral(":/i18n"))) {
            delete own;
            continue;
        }
        QCoreApplication::installTranslator(own);
        auto* qt = new QTranslator(&app);
        if (qt->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qt);
        else
            delete qt;
        // A German text with English dates reads oddly: without a system
        // locale of the same language, dates follow the texts.
        const QLocale chosen(name);
        if (QLocale::system().language() != chosen.language())
            QLocale::setDefault(chosen);
        return own->language().isEmpty() ? name : own->language();
    }
    return {};
}

} // namespace ondrel
