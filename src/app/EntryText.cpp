// How the history commands show an entry and hand out its data.
#include "HistoryCommands.h"

#include "Json.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QRegularExpression>

namespace ondrel::commands {

namespace {

constexpr qsizetype kPreviewCharacters = 200;

// The start of a long text held as a JSON literal, decoded without decoding
// the rest: the literal is cut (never inside an escape or a character) and
// closed again.
QString textStart(const std::string& literal, qsizetype bytes)
{
    if (qsizetype(literal.size()) <= bytes)
        return QString::fromStdString(json::unquote(literal).value_or(std::string()));
    for (qsizetype cut = bytes; cut > bytes - 16; --cut) {
        // A cut right after an odd run of backslashes would escape the closing quote.
        qsizetype slashes = 0;
        while (slashes < cut && literal[size_t(cut - 1 - slashes)] == '\\')
            ++slashes;
        if (slashes % 2 || (literal[size_t(cut)] & 0xC0) == 0x80)
            continue;
        if (const auto text = json::unquote(literal.substr(0, size_t(cut)) + '"'))
            return QString::fromStdString(*text);
    }
    return {};
}

QString oneLine(const QString& text)
{
    QString line;
    line.reserve(std::min(text.size(), 2 * kPreviewCharacters) + 1);
    // Ordinary characters go in as runs; only the few others one by one.
    qsizetype runStart = 0;
    const auto takeRun = [&](qsizetype end) {
        line.append(QStringView(text).sliced(runStart, end - runStart));
    };
    qsizetype characters = 0;
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        if (characters == kPreviewCharacters) {
            takeRun(i);
            return line + u'…';
        }
        const char16_t c = text[i].unicode();
        ++characters;
        if (c >= 0x20 && c != 0x7f && (c < 0x80 || c > 0x9f)) {
            if (QChar::isHighSurrogate(c) && i + 1 < text.size()) // one character, two units
                ++i;
            continue;
        }
        takeRun(i);
        runStart = i + 1;
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            --characters; // a CRLF is one line end
        else if (c == u'\n' || c == u'\r')
            line += u'⏎';
        else if (c == u'\t')
            line += u'⇥';
        else if (c < 0x20)
            line += QChar(0x2400 + c); // its picture: a terminal never sees an escape
        else if (c == 0x7f)
            line += QChar(0x2421);
        else
            line += QChar(0xfffd);
    }
    takeRun(i);
    return line;
}

QString imageFormat(const ClipboardItem& item)
{
    const QString type = item.imageType();
    return type.startsWith(u"image/") ? type.mid(6) : type;
}

} // namespace

std::optional<std::chrono::seconds> parseDuration(QStringView text)
{
    static const QRegularExpression kParts(
        QStringLiteral("^(?:(\\d{1,7})d)?(?:(\\d{1,7})h)?(?:(\\d{1,7})m)?(?:(\\d{1,9})s?)?$"));
    if (text.isEmpty())
        return std::nullopt;
    const QRegularExpressionMatch match = kParts.match(text.toString());
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 seconds = match.capturedView(1).toLongLong() * 86400 +
                           match.capturedView(2).toLongLong() * 3600 +
                           match.capturedView(3).toLongLong() * 60 + match.capturedView(4).toLongLong();
    constexpr qint64 kLongest = 30 * 86400;
    if (seconds <= 0 || seconds > kLongest)
        return std::nullopt;
    return std::chrono::seconds(seconds);
}

QString listPreview(const ClipboardItem& item)
{
    switch (item.type()) {
    case ClipboardItemType::text:
        if (const std::string* literal = item.quotedText())
            return oneLine(textStart(*literal, 4096));
        return oneLine(item.text().value_or(QString()));
    case ClipboardItemType::image: {
        const QSize size = item.imageSize();
        return QStringLiteral("[image %1×%2 %3]").arg(size.width()).arg(size.height()).arg(imageFormat(item));
    }
    case ClipboardItemType::file:
        return QStringLiteral("[file] ") + oneLine(item.previewText());
    }
    return {};
}

QByteArray entryData(const ClipboardItem& item)
{
    switch (item.type()) {
    case ClipboardItemType::text:
        // A long text is turned straight from its compact form into UTF-8.
        if (const std::string* literal = item.quotedText())
            return QByteArray::fromStdString(json::unquote(*literal).value_or(std::string()));
        return item.text().value_or(QString()).toUtf8();
    case ClipboardItemType::image: {
        const std::optional<platform::EncodedImage> bytes = item.imageBytes();
        return bytes ? bytes->bytes : QByteArray();
    }
    case ClipboardItemType::file:
        return item.fileURLs().isEmpty() ? QByteArray() : item.plainText().toUtf8() + '\n';
    }
    return {};
}

QString entryMimeType(const ClipboardItem& item)
{
    switch (item.type()) {
    case ClipboardItemType::text:
        return QStringLiteral("text/plain;charset=utf-8");
    case ClipboardItemType::image:
        return QStringLiteral("image/") + imageFormat(item);
    case ClipboardItemType::file: // their paths
        return QStringLiteral("text/plain;charset=utf-8");
    }
    return {};
}

} // namespace ondrel::commands
