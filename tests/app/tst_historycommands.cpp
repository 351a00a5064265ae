#include "HistoryCommands.h"
#include "SingleInstance.h"
#include "TestSupport.h"

#include <QTest>

using namespace ondrel;

namespace {

// A history of three entries (one pinned) that records what it was asked to change.
class FakeTarget final : public commands::Target
{
public:
    QList<ClipboardItem> items{
        ClipboardItem::makeText(QStringLiteral("pinned"), QStringLiteral("Kate"), std::nullopt,
                                Timestamp::fromSecondsSinceEpoch(1e9), true),
        ClipboardItem::makeText(QStringLiteral("new\r\nline\tand tab"), QStringLiteral("xterm"), std::nullopt,
                                Timestamp::fromSecondsSinceEpoch(2e9)),
        ClipboardItem::makeText(QStringLiteral("{\"a\": 1}"), std::nullopt, std::nullopt,
                                Timestamp::fromSecondsSinceEpoch(1.5e9)),
    };
    bool live = true;
    bool typing = true;
    qsizetype limit = platform::kMaxEntryBytes;
    QStringList calls;

    qsizetype entryLimit() const override { return limit; }
    bool canPaste() const override { return typing; }
    QList<ClipboardItem> entries() const override { return items; }
    commands::Status status() const override
    {
        return {live, false, {}, QStringLiteral("Ctrl+Alt+V"), {}, {}};
    }
    bool canChange() const override { return live; }
    bool select(const ClipboardItem& i, Written w) override { return wrote(QStringLiteral("select "), i, w); }
    bool paste(const ClipboardItem& i, Written w) override { return wrote(QStringLiteral("paste "), i, w); }
    void remove(const QUuid& id) override { note(QStringLiteral("remove ") + QString::number(indexOf(id))); }
    void setPinned(const QUuid& id, bool p) override
    {
        note(QStringLiteral("pin %1 %2").arg(indexOf(id)).arg(p));
    }
    bool add(const QString& text) override { return note(QStringLiteral("add ") + text); }
    void clear(bool all) override { note(QStringLiteral("clear %1").arg(all)); }
    void pause(std::optional<std::chrono::seconds> d) override
    {
        note(QStringLiteral("pause %1").arg(d ? d->count() : -1));
    }
    void resume() override { note(QStringLiteral("resume")); }

private:
    bool wrote(const QString& call, const ClipboardItem& i, const Written& written)
    {
        note(call + *i.text());
        written(true);
        return true;
    }
    bool note(const QString& call)
    {
        calls << call;
        return true;
    }
    qsizetype indexOf(const QUuid& id) const
    {
        for (qsizetype i = 0; i < items.size(); ++i)
            if (items[i].id() == id)
                return i + 1;
        return -1;
    }
};

} // namespace

class TestHistoryCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void commandLines_data();
    void commandLines();
    void previews_data();
    void previews();
    void durations_data();
    void durations();
    void callsSurviveTheirEncoding();
};

void TestHistoryCommands::commandLines_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("out"); // a prefix
    QTest::addColumn<QByteArray>("err"); // a prefix
    QTest::addColumn<QString>("call");   // what the history was asked to do
    const auto row = [](const char* name, QStringList args, int code, QByteArray out, QByteArray err = {},
                        const char* call = "", bool running = true) {
        QTest::newRow(name) << args << running << code << out << err << QString::fromUtf8(call);
    };
    // (What each command does to the real program's history, and its common
    // mistakes, tst_x11scripts checks.) Arguments are written split at spaces.
    const auto A = [](const char* words) { return QString::fromUtf8(words).split(u' '); };
    row("list, NUL ends", A("list --null --limit 2"), 0,
        QByteArray("1\tpinned\0002\tnew⏎line⇥and tab\0", 31));
    row("list, search keeps numbers", A("list --search=XTERM"), 0, "2\tnew⏎line⇥and tab\n");
    row("list --json", A("list --json --limit 1"), 0, "[{\"n\":1,\"id\":\"");
    row("get --type", A("get --type 3"), 0, "text/plain;charset=utf-8\n");
    row("status", A("status"), 0, "running: yes\nrecording: on\nentries: 3 (1 pinned)\nhotkey: Ctrl+Alt+V\n");
    row("paste where no keys can be typed", A("paste 2"), 0, "",
        "ondrel: no keys can be typed into another program here; the entry is on the clipboard",
        "paste new\r\nline\tand tab");
    row("pin after --", A("pin -- 3"), 0, "", "", "pin 3 1");
    row("unpin", A("unpin 1"), 0, "", "", "pin 1 0");
    row("clear --all", A("clear --all"), 0, "", "", "clear 1");
    row("pause --for", A("pause --for 1h30m"), 0, "", "", "pause 5400");
    row("add over the limit", A("add"), 2, "", "ondrel: the text is larger than the 0 MiB limit", "", true);
    row("help", A("get --help"), 0, "Usage: ondrel get");
    // Hostile and mistaken input: a clear message, the documented code, nothing changed.
    row("N = 0", A("get 0"), 1, "", "ondrel: no entry '0' (the history has 3 entries)\n");
    row("N past the end", A("select 4"), 1, "", "ondrel: no entry '4'");
    row("huge N", QStringList{QStringLiteral("delete"), QString(1 << 20, u'9')}, 1, "",
        "ondrel: no entry '9999999999999999999999999999999999999999…'");
    row("negative N", A("get -1"), 2, "", "ondrel: '-1' is neither");
    row("neither number nor id", A("paste first"), 2, "", "ondrel: 'first' is neither");
    row("missing N", A("select"), 2, "", "ondrel: select needs an entry's number or id");
    row("two Ns", A("delete 1 2"), 2, "", "ondrel: unexpected argument '2'");
    row("unknown option", A("list --reverse"), 2, "", "ondrel: list has no option '--reverse'");
    row("flag with a value", A("clear --all=yes"), 2, "", "ondrel: --all takes no value");
    row("option without its value", A("list --limit"), 2, "", "ondrel: --limit needs a value");
    row("bad limit", A("list --limit -3"), 2, "", "ondrel: --limit needs a number");
    row("bad duration", A("pause --for soon"), 2, "", "ondrel: --for needs a duration");
    row("unknown command", A("read 0"), 2, "", "ondrel: unknown command 'read'");
    row("not running: reading works", A("get 1"), 0, "pinned", "", "", false);
}

void TestHistoryCommands::commandLines()
{
    QFETCH(QStringList, args);
    QFETCH(bool, running);
    QFETCH(int, code);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(QString, call);
    FakeTarget target;
    target.live = running;
    if (QByteArrayView(QTest::currentDataTag()) == "add over the limit")
        target.limit = 4;
    target.typing = QByteArrayView(QTest::currentDataTag()) != "paste where no keys can be typed";
    const commands::Answer answer = commands::runNow(args, QStringLiteral("added ✓").toUtf8(), target);
    QVERIFY2(answer.out.startsWith(out), answer.out.left(300).constData());
    QVERIFY2(answer.err.startsWith(err), answer.err.left(300).constData());
    QVERIFY2(answer.err.size() < 400, "an error stays one short line");
    QCOMPARE(answer.code, code);
    QCOMPARE(target.calls, call.isEmpty() ? QStringList() : QStringList{call});
}

void TestHistoryCommands::previews_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("preview");
    const QString emoji = QStringLiteral("😀");
    QTest::newRow("CRLF, LF, CR, tab") << QStringLiteral("a\r\nb\nc\rd\te") << QStringLiteral("a⏎b⏎c⏎d⇥e");
    QTest::newRow("escapes never reach the terminal")
        << QStringLiteral("\x1b[2J\x07") + QChar(0x9b) + QChar(0x7f) << QStringLiteral("␛[2J␇�␡");
    QTest::newRow("cut at 200 characters, not units")
        << emoji.repeated(199) + QStringLiteral("ab") << emoji.repeated(199) + QStringLiteral("a…");
    QTest::newRow("200 exactly") << QString(200, u'x') << QString(200, u'x');
    // A long text is held compactly and only its start is decoded: the cut
    // falls among escapes and multi-byte characters.
    QTest::newRow("long, escapes at the cut")
        << QStringLiteral("\"\\é\n").repeated(3000) << QStringLiteral("\"\\é⏎").repeated(50) + u'…';
    QTest::newRow("long, a character at the cut")
        << QStringLiteral("ab") + emoji.repeated(5000) << QStringLiteral("ab") + emoji.repeated(198) + u'…';
}

void TestHistoryCommands::previews()
{
    QFETCH(QString, text);
    QFETCH(QString, preview);
    const ClipboardItem item = ClipboardItem::makeText(text);
    QCOMPARE(commands::listPreview(item), preview);
    QCOMPARE(QString::fromUtf8(commands::entryData(item)), text);
}

void TestHistoryCommands::durations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("seconds"); // 0: refused
    QTest::newRow("seconds") << QStringLiteral("90") << qint64(90);
    QTest::newRow("90s") << QStringLiteral("90s") << qint64(90);
    QTest::newRow("1h30m") << QStringLiteral("1h30m") << qint64(5400);
    QTest::newRow("30 days is the most") << QStringLiteral("30d") << qint64(2592000);
    QTest::newRow("31 days") << QStringLiteral("31d") << qint64(0);
    QTest::newRow("zero") << QStringLiteral("0m") << qint64(0);
    QTest::newRow("out of order") << QStringLiteral("5m1h") << qint64(0);
    QTest::newRow("negative") << QStringLiteral("-5m") << qint64(0);
    QTest::newRow("word") << QStringLiteral("later") << qint64(0);
    QTest::newRow("huge") << QStringLiteral("99999999999999999999s") << qint64(0);
    QTest::newRow("empty") << QStringLiteral("") << qint64(0);
}

void TestHistoryCommands::durations()
{
    QFETCH(QString, text);
    QFETCH(qint64, seconds);
    const auto parsed = commands::parseDuration(text);
    QCOMPARE(parsed ? parsed->count() : 0, seconds);
}

void TestHistoryCommands::callsSurviveTheirEncoding()
{
    const SingleInstance::Call call{{QStringLiteral("add"), QStringLiteral("é\n"), QString()},
                                    QByteArray("\0binary\xff", 8)};
    const QByteArray payload = SingleInstance::encodeCall(call);
    // Every cut of a payload is either refused or read within its bytes
    // (the sanitizers watch the reads). Whole calls, and one that claims
    // more arguments than it has, cross tst_singleinstance's real socket.
    for (qsizetype n = 0; n < payload.size(); ++n) {
        const auto cut = SingleInstance::decodeCall(QByteArrayView(payload).first(n));
        QVERIFY(!cut || cut->args.size() < call.args.size() || cut->input.size() < call.input.size());
    }
}

QTEST_GUILESS_MAIN(TestHistoryCommands)
#include "tst_historycommands.moc"
