// What `list --json` and `status` print.
#include "HistoryCommands.h"

#include "Json.h"

#include <QDateTime>

#include <algorithm>

namespace ondrel::commands {

namespace {

QByteArray jsonQuoted(const QString& text)
{
    std::string out;
    json::appendQuoted(out, text.toStdString());
    return QByteArray::fromStdString(out);
}

QByteArray isoTime(Timestamp t)
{
    return t.toDateTime().toUTC().toString(Qt::ISODateWithMs).toUtf8();
}

} // namespace

QByteArray listJson(const QList<ClipboardItem>& items, const std::vector<qsizetype>& rows)
{
    QByteArray out = "[";
    for (qsizetype row : rows) {
        const ClipboardItem& item = items.at(row);
        if (out.size() > 1)
            out += ",\n";
        out += "{\"n\":" + QByteArray::number(row + 1) + ",\"id\":\"" +
               item.id().toByteArray(QUuid::WithoutBraces) + "\",\"type\":\"" +
               caseName(item.type()).toUtf8() + '"';
        if (item.type() == ClipboardItemType::text) {
            out += ",\"text\":";
            if (const std::string* quoted = item.quotedText())
                out += QByteArray::fromStdString(*quoted);
            else
                out += jsonQuoted(item.text().value_or(QString()));
        } else {
            out += ",\"name\":" + jsonQuoted(listPreview(item));
            if (item.type() == ClipboardItemType::file) {
                QByteArray files;
                for (const QString& path : item.plainText().split(u'\n'))
                    files += (files.isEmpty() ? "" : ",") + jsonQuoted(path);
                out += ",\"files\":[" + files + ']';
            }
        }
        out += ",\"app\":" + (item.appName() ? jsonQuoted(*item.appName()) : QByteArray("null"));
        out += ",\"timestamp\":\"" + isoTime(item.timestamp()) + '"';
        out += QByteArray(",\"pinned\":") + (item.isPinned() ? "true" : "false");
        out += ",\"language\":" + (item.type() == ClipboardItemType::text
                                       ? '"' + rawValue(item.detectedLanguage()).toUtf8() + '"'
                                       : QByteArray("null"));
        out += '}';
    }
    return out + "]\n";
}

QByteArray statusText(const Status& s, const QList<ClipboardItem>& items, bool json)
{
    const auto pinned =
        std::count_if(items.begin(), items.end(), [](const ClipboardItem& i) { return i.isPinned(); });
    const QByteArray until = s.pausedUntil ? isoTime(*s.pausedUntil) : QByteArray();
    if (json) {
        const auto orNull = [](const QString& v) { return v.isEmpty() ? QByteArray("null") : jsonQuoted(v); };
        QByteArray out = QByteArray("{\"running\":") + (s.running ? "true" : "false");
        out += QByteArray(",\"paused\":") + (s.running ? (s.paused ? "true" : "false") : "null");
        out += ",\"pausedUntil\":" + (until.isEmpty() ? QByteArray("null") : '"' + until + '"');
        out +=
            ",\"entries\":" + QByteArray::number(items.size()) + ",\"pinned\":" + QByteArray::number(pinned);
        out += ",\"hotkey\":" + orNull(s.hotkey) + ",\"desktop\":" + orNull(s.desktop);
        out += ",\"history\":" + jsonQuoted(s.historyPath) + "}\n";
        return out;
    }
    QString text = QStringLiteral("running: %1\n").arg(s.running ? u"yes" : u"no");
    if (s.running)
        text += QStringLiteral("recording: %1\n")
                    .arg(!s.paused         ? QStringLiteral("on")
                         : until.isEmpty() ? QStringLiteral("paused")
                                           : QStringLiteral("paused until %1").arg(QString::fromUtf8(until)));
    text += QStringLiteral("entries: %1 (%2 pinned)\n").arg(items.size()).arg(pinned);
    if (s.running) {
        text += QStringLiteral("hotkey: %1\n").arg(s.hotkey.isEmpty() ? QStringLiteral("none") : s.hotkey);
        text += QStringLiteral("desktop: %1\n").arg(s.desktop);
    }
    text += QStringLiteral("history: %1\n").arg(s.historyPath);
    return text.toUtf8();
}

} // namespace ondrel::commands
