#include "RowContent.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace ondrel::row {

QString ageText(Timestamp timestamp, Timestamp now)
{
    const double elapsed = now.secondsSinceReferenceDate() - timestamp.secondsSinceReferenceDate();
    // Whole seconds, the fraction dropped toward zero; clamped so that absurd
    // stored times cannot overflow the conversion.
    const auto s = static_cast<qint64>(std::trunc(std::clamp(elapsed, -9.0e15, 9.0e15)));
    // Abbreviations: no language we ship changes them with the number, and
    // days may exceed the int that a plural form counts with.
    if (s < 60)
        return QCoreApplication::translate("ondrel::row", "just now");
    if (s < 3600)
        return QCoreApplication::translate("ondrel::row", "%1m", "minutes ago, abbreviated").arg(s / 60);
    if (s < 86400)
        return QCoreApplication::translate("ondrel::row", "%1h", "hours ago, abbreviated").arg(s / 3600);
    return QCoreApplication::translate("ondrel::row", "%1d", "days ago, abbreviated").arg(s / 86400);
}

QString previewText(const ClipboardItem& item)
{
    const QString preview = item.previewText();
    const auto& urls = item.fileURLs();
    if (item.type() == ClipboardItemType::image)
        return QCoreApplication::translate("ondrel::row", "Image");
    if (item.type() != ClipboardItemType::file)
        return preview;
    if (urls.isEmpty())
        return QCoreApplication::translate("ondrel::row", "File");
    if (urls.size() == 1)
        return preview;
    const int more = int(urls.size() - 1);
    const qsizetype suffix = QStringLiteral(" + %1 more").arg(more).size();
    return preview.left(preview.size() - suffix) +
           QCoreApplication::translate("ondrel::row", " + %n more", "further files", more);
}

QString languageSymbol(DetectedLanguage language)
{
    switch (language) {
    case DetectedLanguage::swift:
        return QStringLiteral("bird");
    case DetectedLanguage::javascript:
    case DetectedLanguage::typescript:
    case DetectedLanguage::json:
    case DetectedLanguage::go:
    case DetectedLanguage::rust:
        return QStringLiteral("braces");
    case DetectedLanguage::python:
    case DetectedLanguage::ruby:
    case DetectedLanguage::html:
        return QStringLiteral("code-xml");
    case DetectedLanguage::css:
        return QStringLiteral("paintbrush");
    case DetectedLanguage::shell:
        return QStringLiteral("square-terminal");
    case DetectedLanguage::sql:
        return QStringLiteral("database");
    case DetectedLanguage::plain:
        return QStringLiteral("file-text");
    }
    return QStringLiteral("file-text");
}

std::optional<QString> languageBadge(DetectedLanguage language)
{
    switch (language) {
    case DetectedLanguage::plain:
        return std::nullopt;
    case DetectedLanguage::javascript:
        return QStringLiteral("JS");
    case DetectedLanguage::typescript:
        return QStringLiteral("TS");
    case DetectedLanguage::python:
        return QStringLiteral("PY");
    case DetectedLanguage::shell:
        return QStringLiteral("SH");
    default:
        return rawValue(language).toUpper();
    }
}

QString tileSymbol(const ClipboardItem& item)
{
    switch (item.type()) {
    case ClipboardItemType::text:
        return languageSymbol(item.detectedLanguage());
    case ClipboardItemType::image:
        return item.thumbnail().isNull() ? QStringLiteral("image") : QString();
    case ClipboardItemType::file:
        return QStringLiteral("file");
    }
    return {};
}

std::optional<QString> numberBadge(qsizetype index)
{
    if (index < 0 || index > 8)
        return std::nullopt;
    return QString::number(index + 1);
}

} // namespace ondrel::row
