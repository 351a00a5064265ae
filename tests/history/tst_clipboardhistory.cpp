#include "HistoryFixture.h"
#include "SettingsKeys.h"

#include <QSignalSpy>
#include <QTest>

using namespace ondrel;
using test::Fixture;

class TestClipboardHistory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void capturesWhileLoadingStayInFront();
    void init() { test::failOnUnexpectedWarnings(); }

    void addItemIsDeferred();
    void capDefaultsToFifty();
    void capKeepsPinnedFirst_data();
    void capKeepsPinnedFirst();
    void filteredOrder();
    void search_data();
    void search();
    void moveSelection_data();
    void moveSelection();
    void selection();
    void deleteAndClear();
    void everyAssignmentNotifies();
    void copyAndPasteText();
    void copyOutWritesWhatTheEntryHas_data();
    void copyOutWritesWhatTheEntryHas();
    void callbacksDroppedWithHistory();
};

void TestClipboardHistory::addItemIsDeferred()
{
    Fixture f;
    QSignalSpy spy(&f.store(), &HistoryStore::itemsChanged);
    f.store().addItem(ClipboardItem::makeText(QStringLiteral("a")));
    QCOMPARE(f.store().items().size(), 0);
    f.store().waitForSaves();
    QVERIFY(!QFile::exists(f.file.filePath()));
    f.scheduler.runPending();
    QCOMPARE(f.store().items().size(), 1);
    QVERIFY(spy.count() >= 1);
    QVERIFY(f.saved().contains("\"text\":\"a\""));
    // An edit copied out of the detail view is never capped away.
    f.settings.setInteger(keys::maxHistoryItems, 1);
    f.store().addTransformedItem(ClipboardItem::makeTransformed(QStringLiteral("c")));
    QCOMPARE(f.store().items().size(), 1);
    f.scheduler.runPending();
    QCOMPARE(f.store().items().size(), 2);
    QVERIFY(f.saved().contains("\"appName\":\"Ondrel\""));
}

void TestClipboardHistory::capDefaultsToFifty()
{
    // Unset (tst_historylistmodel's capture at the cap), or 0.
    Fixture f;
    f.settings.setInteger(keys::maxHistoryItems, 0);
    for (int i = 0; i < 51; ++i)
        f.add(QString::number(i));
    QCOMPARE(f.store().items().size(), 50);
    QCOMPARE(f.store().items().first().contentLabel(), QStringLiteral("50"));
    QCOMPARE(f.store().items().last().contentLabel(), QStringLiteral("1"));
}

void TestClipboardHistory::capKeepsPinnedFirst_data()
{
    // Entries added oldest first ("*": pinned), the limit set before the
    // last one is added, and what is kept.
    QTest::addColumn<QString>("added");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("kept");
    QTest::newRow("pinned first") << "*e0,*e1,*e2,e3,e4,e5,e6,e7,e8,e9,new" << 10
                                  << "e2,e1,e0,new,e9,e8,e7,e6,e5,e4";
    QTest::newRow("below the cap, new in front") << "*e0,e1,new" << 10 << "new,e1,e0";
    QTest::newRow("more pinned than the limit") << "*p0,*p1,*p2,*p3,u0,u1" << 2 << "p3,p2,p1,p0";
    QTest::newRow("negative limit") << "*p0,*p1,*p2,*p3,u0,u1" << -5 << "p3,p2,p1,p0";
}

void TestClipboardHistory::capKeepsPinnedFirst()
{
    QFETCH(QString, added);
    QFETCH(int, limit);
    QFETCH(QString, kept);
    Fixture f;
    const QStringList entries = added.split(u',');
    for (const QString& entry : entries) {
        if (&entry == &entries.last())
            f.settings.setInteger(keys::maxHistoryItems, limit);
        f.add(QString(entry).remove(u'*'), 0, entry.startsWith(u'*'));
    }
    QCOMPARE(f.labels(f.store().items()).join(u','), kept);
}

void TestClipboardHistory::filteredOrder()
{
    Fixture f;
    f.add(QStringLiteral("pinned last week"), 7 * 86400, true);
    f.add(QStringLiteral("pinned yesterday"), 86400, true);
    f.add(QStringLiteral("a minute ago"), 60);
    f.add(QStringLiteral("just now"), 0);
    f.add(QStringLiteral("an hour ago"), 3600);
    QCOMPARE(f.labels(f.state().filteredItems()),
             (QStringList{QStringLiteral("pinned yesterday"), QStringLiteral("pinned last week"),
                          QStringLiteral("just now"), QStringLiteral("a minute ago"),
                          QStringLiteral("an hour ago")}));
}

void TestClipboardHistory::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("image in any case") << QStringLiteral("iMaGe") << QStringList{QStringLiteral("Image")};
    QTest::newRow("application name")
        << QStringLiteral("terminal") << QStringList{QStringLiteral("Image"), QStringLiteral("ls -la")};
    QTest::newRow("capitals find lower-case file")
        << QStringLiteral("REPORT") << QStringList{QStringLiteral("report.pdf")};
    QTest::newRow("one space") << QStringLiteral(" ") << QStringList{QStringLiteral("ls -la")};
    QTest::newRow("empty shows all") << QString()
                                     << QStringList{QStringLiteral("report.pdf"), QStringLiteral("Image"),
                                                    QStringLiteral("ls -la"), QStringLiteral("Straße")};
    QTest::newRow("nothing") << QStringLiteral("zzz") << QStringList{};
}

void TestClipboardHistory::search()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    Fixture f;
    f.add(QStringLiteral("Straße"), 40);
    f.store().addItem(ClipboardItem::makeText(QStringLiteral("ls -la"), QStringLiteral("Terminal")));
    f.scheduler.runPending();
    f.store().addItem(
        ClipboardItem::makeImage(QImage(1, 1, QImage::Format_RGB32), QStringLiteral("Terminal")));
    f.scheduler.runPending();
    f.store().addItem(
        ClipboardItem::makeFile({QUrl(QStringLiteral("file:///tmp/report.pdf"))}, QStringLiteral("Files")));
    f.scheduler.runPending();
    f.state().setSearchText(query);
    QCOMPARE(f.labels(f.state().filteredItems()), expected);
}

void TestClipboardHistory::moveSelection_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("expected");
    QTest::newRow("up from top wraps") << 0 << -1 << 4;
    QTest::newRow("down from bottom wraps") << 4 << 1 << 0;
    QTest::newRow("down") << 1 << 1 << 2;
    QTest::newRow("stale index beyond end") << 12 << 1 << 3;
    QTest::newRow("stale negative index") << -7 << -1 << 2;
    QTest::newRow("both negative") << -4 << -4 << 2;
    QTest::newRow("big step") << 1 << 12 << 3;
}

void TestClipboardHistory::moveSelection()
{
    QFETCH(int, start);
    QFETCH(int, step);
    QFETCH(int, expected);
    Fixture f;
    for (int i = 0; i < 5; ++i)
        f.add(QString::number(i));
    f.state().setSelectedIndex(start);
    f.state().moveSelection(step);
    QCOMPARE(f.state().selectedIndex(), qsizetype(expected));
    QVERIFY(f.state().shouldScrollToSelection());
}

void TestClipboardHistory::selection()
{
    Fixture f;
    // On an empty list nothing is selected, and moving changes nothing.
    QSignalSpy scroll(&f.state(), &PopoverState::shouldScrollToSelectionChanged);
    f.state().moveSelection(1);
    QCOMPARE(f.state().selectedIndex(), 0);
    QCOMPARE(scroll.count(), 0);
    QVERIFY(!f.state().shouldScrollToSelection());
    QVERIFY(!f.state().selectedItem());
    // The index is the shown order's, pinned entries first.
    f.add(QStringLiteral("pinned"), 100, true);
    f.add(QStringLiteral("recent"));
    QCOMPARE(f.state().selectedItem()->contentLabel(), QStringLiteral("pinned"));
    // One out of range selects nothing.
    f.state().setSelectedIndex(-1);
    QVERIFY(!f.state().selectedItem());
    f.state().setSelectedIndex(2);
    QVERIFY(!f.state().selectedItem());
    f.state().setSelectedIndex(1);
    QCOMPARE(f.state().selectedItem()->contentLabel(), QStringLiteral("recent"));
}

void TestClipboardHistory::deleteAndClear()
{
    Fixture f;
    const ClipboardItem a = f.add(QStringLiteral("a"), 0, true);
    const ClipboardItem b = f.add(QStringLiteral("b"));
    f.add(QStringLiteral("c"), 0, true);
    f.add(QStringLiteral("d"));
    f.store().waitForSaves();
    QVERIFY(QFile::remove(f.file.filePath()));
    f.store().togglePin(QUuid::createUuid()); // nothing to pin, nothing saved
    f.store().waitForSaves();
    QVERIFY(!QFile::exists(f.file.filePath()));
    f.store().deleteItem(QUuid::createUuid()); // saves even when nothing was removed
    f.store().waitForSaves();
    QVERIFY(QFile::exists(f.file.filePath()));
    f.store().deleteItem(b.id());
    QCOMPARE(f.labels(f.store().items()),
             (QStringList{QStringLiteral("d"), QStringLiteral("c"), QStringLiteral("a")}));
    f.store().clearUnpinned();
    QCOMPARE(f.labels(f.store().items()), (QStringList{QStringLiteral("c"), QStringLiteral("a")}));
    f.store().togglePin(a.id());
    QCOMPARE(f.saved().count("\"isPinned\":true"), 1);
    f.store().togglePin(f.store().items().first().id());
    f.store().clearUnpinned();
    QVERIFY(f.store().items().isEmpty());
    QCOMPARE(f.saved(), QByteArray("[]"));
}

void TestClipboardHistory::everyAssignmentNotifies()
{
    Fixture f;
    QSignalSpy search(&f.state(), &PopoverState::searchTextChanged);
    QSignalSpy index(&f.state(), &PopoverState::selectedIndexChanged);
    QSignalSpy detail(&f.state(), &PopoverState::showDetailForSelectedChanged);
    QSignalSpy close(&f.state(), &PopoverState::closeDetailRequestedChanged);
    f.state().setSearchText(QString());
    f.state().setSelectedIndex(0);
    f.state().setShowDetailForSelected(false);
    f.state().setCloseDetailRequested(false);
    QCOMPARE(search.count() + index.count() + detail.count() + close.count(), 4);
}

void TestClipboardHistory::copyAndPasteText()
{
    Fixture f;
    f.add(QStringLiteral("first"), 30);
    f.add(QStringLiteral("second"), 20);
    f.add(QStringLiteral("third"), 10);
    const QByteArray before = f.saved();
    const QStringList shown = f.labels(f.state().filteredItems());
    const ClipboardItem target = f.state().filteredItems().at(2); // "first"
    const qint64 count = f.clipboard.changeCount();

    f.paster().copyAndPaste(target);
    QCOMPARE(f.clipboard.string(), std::optional<QString>(QStringLiteral("first")));
    QVERIFY(f.clipboard.changeCount() > count);
    QCOMPARE(f.store().items().first().id(), target.id());
    QCOMPARE(f.labels(f.state().filteredItems()), shown); // ordered by time, unchanged
    QCOMPARE(f.saved(), before);                          // the move is not saved by itself

    QCOMPARE(f.pasteTyper.pasteCount(), 0);
    f.scheduler.advance(0.099);
    QCOMPARE(f.pasteTyper.pasteCount(), 0);
    f.scheduler.advance(0.001);
    QCOMPARE(f.pasteTyper.pasteCount(), 1);

    // A pinned entry keeps its place, also when given as a copy taken earlier.
    const ClipboardItem pinned = f.add(QStringLiteral("pinned"), 0, true);
    f.add(QStringLiteral("other"));
    const QStringList order = f.labels(f.store().items());
    f.paster().copyAndPaste(f.store().items().at(1));
    f.paster().copyAndPaste(pinned);
    QCOMPARE(f.labels(f.store().items()), order);
}

// (What an image or a file entry writes is read back by other programs in
// tst_datacontrol and tst_x11clipboard.)
void TestClipboardHistory::copyOutWritesWhatTheEntryHas_data()
{
    // Nothing written: the clipboard keeps what it held and no keystroke
    // pastes that instead.
    QTest::addColumn<QVariant>("item");
    QTest::newRow("image without content")
        << QVariant::fromValue(test::itemWithoutContent(ClipboardItemType::image));
    QTest::newRow("text the clipboard refuses")
        << QVariant::fromValue(ClipboardItem::makeText(QStringLiteral("new")));
}

void TestClipboardHistory::copyOutWritesWhatTheEntryHas()
{
    QFETCH(QVariant, item);
    Fixture f;
    f.clipboard.setString(QStringLiteral("old"));
    f.clipboard.setRefusesWrites(QByteArray(QTest::currentDataTag()).contains("refuses"));
    QVERIFY(!f.paster().copyAndPaste(item.value<ClipboardItem>()));
    QCOMPARE(f.clipboard.types().filter(QStringLiteral("image/")), QStringList());
    QVERIFY(!f.clipboard.fileURLs());
    QCOMPARE(f.clipboard.string(), std::optional<QString>(QStringLiteral("old")));
    f.scheduler.advance(0.1);
    QCOMPARE(f.pasteTyper.pasteCount(), 0);
}

void TestClipboardHistory::callbacksDroppedWithHistory()
{
    Fixture f;
    f.store().addItem(ClipboardItem::makeText(QStringLiteral("late")));
    f.paster().copyAndPaste(ClipboardItem::makeText(QStringLiteral("x")));
    f.history.reset();
    f.scheduler.advance(1);
    QCOMPARE(f.pasteTyper.pasteCount(), 0);
    QVERIFY(!QFile::exists(f.file.filePath()));
}

void TestClipboardHistory::capturesWhileLoadingStayInFront()
{
    Fixture f;
    f.add(QStringLiteral("old pinned"), 0, true);
    f.add(QStringLiteral("old"));
    const QByteArray before = f.saved();
    f.history.reset();

    // Reopened: the file is read on a worker and merged by the event loop,
    // which these lines do not run until waitForLoad().
    {
        HistoryStore reopened({f.settings, f.scheduler, &f.file});
        reopened.addItem(ClipboardItem::makeText(QStringLiteral("new")));
        f.scheduler.runPending();
        QCOMPARE(f.labels(reopened.items()), QStringList{QStringLiteral("new")}); // shown at once
        QCOMPARE(test::readFile(f.file.filePath()), before);                      // not written over
        reopened.waitForLoad();
        QCOMPARE(f.labels(reopened.items()),
                 (QStringList{QStringLiteral("new"), QStringLiteral("old"), QStringLiteral("old pinned")}));
        reopened.waitForSaves();
        QCOMPARE(HistoryFile::decode(test::readFile(f.file.filePath()))->size(), 3);
    }
    // Cleared before the file is read: only what it had pinned stays.
    HistoryStore cleared({f.settings, f.scheduler, &f.file});
    cleared.clearUnpinned();
    cleared.waitForLoad();
    QCOMPARE(f.labels(cleared.items()), QStringList{QStringLiteral("old pinned")});
    cleared.waitForSaves();
    QCOMPARE(HistoryFile::decode(test::readFile(f.file.filePath()))->size(), 1);
}

QTEST_GUILESS_MAIN(TestClipboardHistory)
#include "tst_clipboardhistory.moc"
