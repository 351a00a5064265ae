#include "HistoryFixture.h"
#include "SelectionWatcher.h"

#include <QTest>

using namespace ondrel;

class TestSelectionWatcher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void records_data();
    void records();
};

void TestSelectionWatcher::records_data()
{
    // Steps as Watched::run() takes them, and these about the mouse
    // selection: "(on)" turns the setting on, "(select TEXT)" selects a text,
    // "(secret TEXT)" one a password manager marks, "(select-image)" an image,
    // "(drag N)" N texts 0.1 s apart, "(hold)" and "(release)" the mouse
    // button. What is recorded, newest first, "^" before an entry marked as
    // a selection.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("recorded");
    QTest::newRow("setting off") << "(select a),(wait 1)"
                                 << "";
    QTest::newRow("not before it is quiet") << "(on),(select a),(wait 0.49)"
                                            << "";
    QTest::newRow("once quiet") << "(on),(select a),(wait 0.5)"
                                << "^a";
    QTest::newRow("not while dragging") << "(on),(drag 20)"
                                        << "";
    QTest::newRow("the last of a drag") << "(on),(drag 20),(wait 0.5)"
                                        << "^s20";
    QTest::newRow("after a copy") << "(on),copied,(select a),(wait 1)"
                                  << "^a,copied";
    QTest::newRow("equal to the front entry") << "(on),same,(select same),(wait 1)"
                                              << "same";
    QTest::newRow("excluded application") << "(on),(exclude term),(from Terminal term),(select a),(wait 1)"
                                          << "";
    QTest::newRow("secret") << "(on),(secret pw),(wait 1)"
                            << "";
    QTest::newRow("paused") << "(on),(pause),(select a),(wait 1)"
                            << "";
    QTest::newRow("selected while paused, resumed at once") << "(on),(pause),(select a),(resume),(wait 1)"
                                                            << "";
    QTest::newRow("only text") << "(on),(select-image),(wait 1)"
                               << "";
    QTest::newRow("larger than the limit, said") << "(on),(limit 4),(from Editor ed),(select abcde),(wait 1)"
                                                 << "";
    QTest::newRow("button held") << "(on),(hold),(select a),(wait 2)"
                                 << "";
    QTest::newRow("button released") << "(on),(hold),(select a),(wait 2),(release),(wait 0.1)"
                                     << "^a";
}

void TestSelectionWatcher::records()
{
    QFETCH(QString, steps);
    QFETCH(QString, recorded);
    test::Watched w;
    if (QByteArrayView(QTest::currentDataTag()).startsWith("larger"))
        QTest::ignoreMessage(QtWarningMsg,
                             "ondrel: not recording a selection from Editor: larger than the 4 bytes limit "
                             "(setting history/maxEntryBytes)");
    std::optional<QString> copied;
    const auto select = [&](const QString& text, bool secret = false) {
        QMap<QString, QByteArray> data{{QStringLiteral("text/plain;charset=utf-8"), text.toUtf8()}};
        if (secret)
            data.insert(QString::fromLatin1(platform::kSecretHintType), "secret");
        w.selection.select(data);
    };
    for (const QString& step : steps.split(u',')) {
        const QString argument = step.contains(u' ') ? step.section(u' ', 1).chopped(1) : QString();
        if (step == u"(on)") {
            w.settings.setBool(keys::recordPrimarySelection, true);
        } else if (step.startsWith(u"(select ")) {
            select(argument);
        } else if (step.startsWith(u"(secret ")) {
            select(argument, true);
        } else if (step == u"(select-image)") {
            w.selection.select({{QStringLiteral("image/png"), test::png(Qt::red)}});
        } else if (step.startsWith(u"(drag ")) {
            for (int i = 1; i <= argument.toInt(); ++i) {
                select(QStringLiteral("s%1").arg(i));
                w.scheduler.advance(0.1);
            }
        } else if (step == u"(hold)" || step == u"(release)") {
            w.selection.setButtonHeld(step == u"(hold)");
        } else {
            if (!step.startsWith(u'('))
                copied = step;
            w.run(step);
        }
    }
    QStringList labels;
    for (const ClipboardItem& item : w.store().items())
        labels << (item.fromSelection() ? QStringLiteral("^") : QString()) + item.text().value_or(QString());
    QCOMPARE(labels.join(u','), recorded);
    // A drag is read once, when it is over.
    QVERIFY(w.selection.reads() <= 1);
    // The selection never goes onto the clipboard.
    QCOMPARE(w.clipboard.string(), copied);
}

QTEST_GUILESS_MAIN(TestSelectionWatcher)
#include "tst_selectionwatcher.moc"
