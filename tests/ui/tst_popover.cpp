#include "ClipboardItemDelegate.h"
#include "DetailView.h"
#include "HistoryListModel.h"
#include "IconButton.h"
#include "PopoverFixture.h"
#include "PopoverParts.h"
#include "Text.h"
#include "TransformationsPopover.h"

#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

using namespace ondrel;

using namespace ondrel::test;

class TestPopover : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void rowButtonsFollowHoverAndSelection();
    void keyboardSelectionScrollsToCentre();
    void clickPastesAfterTheDoubleClickInterval();
    void noticeTimingWithTwoClicks();
    void contextMenuActions();
    void emptyStates();
    void searchResetsSelection();
    void saysWhatIsNotSaved();
    void screens();
};

void TestPopover::rowButtonsFollowHoverAndSelection()
{
    test::ShownPopover f(texts(5));
    QVERIFY(f.shown);
    HistoryList* list = f.view->list();
    // On appearing the first row is selected: its two buttons show.
    QCOMPARE(f.state().selectedIndex(), 0);
    QCOMPARE(buttonNames(list->visibleRowButtons()),
             (QStringList{QStringLiteral("Delete"), QStringLiteral("Pin")}));
    QVERIFY(list->cardGeometry(0).contains(list->visibleRowButtons().first()->geometry().center()));

    QTest::mouseMove(list->viewport(), cardCentre(f, 2));
    QCOMPARE(f.state().selectedIndex(), 2);
    QCOMPARE(f.view->hoveredItem(), f.state().filteredItems().at(2).id());
    QCOMPARE(list->visibleRowButtons().size(), 2);
    QVERIFY(list->cardGeometry(2).contains(list->visibleRowButtons().first()->geometry().center()));

    // The keyboard moves on while the pointer stays: both rows show buttons.
    f.state().moveSelection(1);
    QCOMPARE(list->visibleRowButtons().size(), 4);

    // Pointer gone, nothing selected: none.
    QTest::mouseMove(f.view.get(), QPoint(5, 5));
    QVERIFY(!f.view->hoveredItem());
    QCOMPARE(f.state().selectedIndex(), 3);
    f.state().setSelectedIndex(-1);
    QCOMPARE(list->visibleRowButtons().size(), 0);

    // A pinned entry's button unpins; clicking it acts on that entry.
    f.store().togglePin(f.state().filteredItems().at(4).id());
    f.state().setSelectedIndex(0);
    QCOMPARE(buttonNames(list->visibleRowButtons()),
             (QStringList{QStringLiteral("Delete"), QStringLiteral("Unpin")}));
    const QUuid pinned = f.state().filteredItems().at(0).id();
    const auto click = [list](const QString& name) {
        for (IconButton* b : list->visibleRowButtons())
            if (b->accessibleName() == name)
                return QTest::mouseClick(b, Qt::LeftButton);
    };
    click(QStringLiteral("Unpin"));
    QVERIFY(std::none_of(f.store().items().cbegin(), f.store().items().cend(),
                         [&](const ClipboardItem& i) { return i.id() == pinned && i.isPinned(); }));
    click(QStringLiteral("Delete"));
    QCOMPARE(f.store().items().size(), 4);
    QCOMPARE(f.scheduler.pendingCount(), 0u); // a button click is no row click
}

void TestPopover::keyboardSelectionScrollsToCentre()
{
    test::ShownPopover f(texts(40));
    QVERIFY(f.shown);
    HistoryList* list = f.view->list();
    // Hovering selects without scrolling...
    const QPoint pointer = cardCentre(f, 4);
    QTest::mouseMove(list->viewport(), pointer);
    QCoreApplication::processEvents();
    QCOMPARE(f.state().selectedIndex(), 4);
    QVERIFY(!f.state().shouldScrollToSelection());
    QCOMPARE(list->verticalScrollBar()->value(), 0);
    // ... Down: the next row comes to the centre, and the request is answered.
    f.state().moveSelection(1);
    QTRY_VERIFY(!f.state().shouldScrollToSelection());
    QTRY_VERIFY(qAbs(rowCentreOffset(f, 5)) <= 1);

    QTRY_VERIFY(!list->isScrolling()); // the animation has landed
    // The wheel moves other rows under the still pointer: the one under it
    // now is hovered and selected, so Return pastes what the user sees.
    QWheelEvent wheel(pointer, list->viewport()->mapToGlobal(pointer), {}, QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->viewport(), &wheel);
    const int under = list->cardAt(pointer);
    QVERIFY(under > 5);
    QCOMPARE(f.state().selectedIndex(), under);
    QCOMPARE(f.view->hoveredItem(), f.state().filteredItems().at(under).id());
    // A selection set without the request does not scroll: the decision is
    // taken once the current task is done, which processing events ends.
    const int before = list->verticalScrollBar()->value();
    f.state().setSelectedIndex(30);
    QCoreApplication::processEvents();
    QVERIFY(!list->isScrolling());
    QCOMPARE(list->verticalScrollBar()->value(), before);

    // Up from the first row wraps to the last, which scrolls as far as it can.
    f.state().setSelectedIndex(0);
    f.state().moveSelection(-1);
    QTRY_COMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());

    // A request for a position that is not a row stays pending.
    f.state().setShouldScrollToSelection(true);
    f.state().setSelectedIndex(99);
    QCoreApplication::processEvents();
    QVERIFY(f.state().shouldScrollToSelection());
}

void TestPopover::clickPastesAfterTheDoubleClickInterval()
{
    test::ShownPopover f(texts(3));
    QVERIFY(f.shown);
    const double interval = QApplication::doubleClickInterval() / 1000.0;
    QTest::mouseClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 1));
    f.scheduler.advance(interval - 0.01);
    QVERIFY(!f.clipboard.string());
    QVERIFY(!f.view->showCopiedToast());
    f.scheduler.advance(0.02);
    QCOMPARE(f.clipboard.string(), QStringLiteral("entry 1"));
    QVERIFY(f.view->showCopiedToast());
    QTRY_COMPARE(f.view->copiedNotice()->progress(), 1.0);
    // The popover stays open, the keystroke follows.
    f.scheduler.advance(0.1);
    QCOMPARE(f.pasteTyper.pasteCount(), 1);
    QVERIFY(!f.view->detailItem());
    // A double click opens the detail view, and pastes nothing.
    QTest::mouseDClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 2));
    f.scheduler.advance(2);
    QCOMPARE(f.pasteTyper.pasteCount(), 1);
    QCOMPARE(f.view->detailItem()->text(), QStringLiteral("entry 2"));
    QVERIFY(f.view->detailView()->isVisible());
}

void TestPopover::noticeTimingWithTwoClicks()
{
    test::ShownPopover f(texts(3));
    QVERIFY(f.shown);
    const double interval = QApplication::doubleClickInterval() / 1000.0;
    QTest::mouseClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 0));
    f.scheduler.advance(interval); // first paste: the notice shows, to go 1.0 s later
    QVERIFY(f.view->showCopiedToast());
    f.scheduler.advance(0.5);
    QTest::mouseClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 1));
    f.scheduler.advance(interval);
    QVERIFY(f.view->showCopiedToast());
    f.scheduler.advance(0.49 - interval);
    QVERIFY(f.view->showCopiedToast());
    f.scheduler.advance(0.02); // one second after the first paste
    QVERIFY(!f.view->showCopiedToast());
    QTRY_VERIFY(f.view->copiedNotice()->isHidden());
    f.scheduler.advance(1);
    QVERIFY(!f.view->showCopiedToast());
    QCOMPARE(f.view->copiedNotice()->text(), QStringLiteral("Copied!"));

    // A click whose entry never reached the clipboard says so and pastes nothing.
    const int pasted = f.pasteTyper.pasteCount();
    f.clipboard.setRefusesWrites(true);
    QTest::mouseClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 2));
    f.scheduler.advance(interval);
    QVERIFY(f.view->showCopiedToast());
    QCOMPARE(f.view->copiedNotice()->text(), QStringLiteral("Could not copy"));
    f.scheduler.advance(1);
    QCOMPARE(f.pasteTyper.pasteCount(), pasted);
}

void TestPopover::contextMenuActions()
{
    QList<ClipboardItem> items = texts(3);
    items[1].setPinned(true);
    items[2] = ClipboardItem::makeText(*items[2].text(), std::nullopt, std::nullopt, items[2].timestamp());
    test::ShownPopover f(items);
    QVERIFY(f.shown);
    HistoryList* list = f.view->list();
    QStringList excluded;
    f.view->setExcludeHandler([&](const QString& app) { excluded << app; });
    // The pinned entry comes first.
    const auto menuTexts = [&](int row) {
        std::unique_ptr<QMenu> menu(list->contextMenuFor(row));
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    // An entry that names its application can leave that application out from now on.
    QCOMPARE(menuTexts(0), (QStringList{QStringLiteral("Edit"), QStringLiteral("Unpin"),
                                        QStringLiteral("Don't Record from Notes"), QStringLiteral("-"),
                                        QStringLiteral("Delete")}));
    QCOMPARE(menuTexts(2), (QStringList{QStringLiteral("Edit"), QStringLiteral("Pin"), QStringLiteral("-"),
                                        QStringLiteral("Delete")}));
    QVERIFY(!list->contextMenuFor(3));
    std::unique_ptr<QMenu>(list->contextMenuFor(1))->actions().at(2)->trigger();
    QCOMPARE(excluded, QStringList{QStringLiteral("Notes")});

    const auto trigger = [&](int row, int action) {
        std::unique_ptr<QMenu> menu(list->contextMenuFor(row));
        QAction* a = menu->actions().at(action);
        if (action == 4)
            QVERIFY(a->property("destructive").toBool());
        a->trigger();
    };
    trigger(0, 1); // Unpin
    QVERIFY(std::none_of(f.store().items().cbegin(), f.store().items().cend(),
                         [](const ClipboardItem& i) { return i.isPinned(); }));
    const ClipboardItem second = f.state().filteredItems().at(1);
    trigger(1, 4); // Delete
    QCOMPARE(f.store().items().size(), 2);
    QVERIFY(!f.store().items().contains(second));
    trigger(0, 0); // Edit
    QCOMPARE(f.view->detailItem(), f.state().filteredItems().at(0));

    // A secondary click on a row pops its menu up.
    f.view->closeDetail();
    ignorePopupWarnings();
    QContextMenuEvent event(QContextMenuEvent::Mouse, cardCentre(f, 0),
                            list->viewport()->mapToGlobal(cardCentre(f, 0)));
    QCoreApplication::sendEvent(list->viewport(), &event);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(popup);
    QCOMPARE(popup->actions().first()->text(), QStringLiteral("Edit"));
    popup->close();
}

void TestPopover::emptyStates()
{
    test::ShownPopover f;
    QVERIFY(f.shown);
    // Tab on an empty list opens nothing, and is dropped so that the next is seen.
    f.state().setShowDetailForSelected(true);
    QVERIFY(!f.view->detailItem());
    QVERIFY(!f.state().showDetailForSelected());
    QVERIFY(f.view->isShowingEmptyState());
    QCOMPARE(f.view->emptyState()->title(), QStringLiteral("No clipboard history"));
    QCOMPARE(f.view->emptyState()->subtitle(), QStringLiteral("Copy something to get started"));
    QVERIFY(f.view->searchField()->isVisible());

    f.add(QStringLiteral("hello"));
    QVERIFY(!f.view->isShowingEmptyState());
    QVERIFY(f.view->list()->isVisible());
    f.state().setShowDetailForSelected(true);
    QCOMPARE(f.view->detailItem()->text(), QStringLiteral("hello"));
    QVERIFY(!f.state().showDetailForSelected());
    f.view->closeDetail();
    QTest::keyClicks(f.view->searchField(), QStringLiteral("zz"));
    QVERIFY(f.view->isShowingEmptyState());
    QCOMPARE(f.view->emptyState()->title(), QStringLiteral("No matches"));
    QCOMPARE(f.view->emptyState()->subtitle(), QStringLiteral("Try a different search"));
    QVERIFY(f.view->findChild<KeyHints*>()->isVisible());
}

void TestPopover::searchResetsSelection()
{
    test::ShownPopover f(texts(6));
    QVERIFY(f.shown);
    QVERIFY(f.view->searchField()->hasFocus());
    QVERIFY(f.view->clearSearchButton()->isHidden());
    f.state().setSelectedIndex(3);
    QTest::keyClicks(f.view->searchField(), QStringLiteral("entry"));
    QCOMPARE(f.state().searchText(), QStringLiteral("entry"));
    QCOMPARE(f.state().selectedIndex(), 0);
    QVERIFY(f.view->clearSearchButton()->isVisible());

    f.state().setSelectedIndex(2);
    QTest::mouseClick(f.view->clearSearchButton(), Qt::LeftButton);
    QCOMPARE(f.state().searchText(), QString());
    QCOMPARE(f.view->searchField()->text(), QString());
    QCOMPARE(f.state().selectedIndex(), 0);
    QVERIFY(f.view->clearSearchButton()->isHidden());

    // The binding runs both ways.
    f.state().setSearchText(QStringLiteral("3"));
    QCOMPARE(f.view->searchField()->text(), QStringLiteral("3"));
    QCOMPARE(f.view->list()->model()->rowCount(), 1);

    // Return in the field pastes the selected entry.
    QTest::keyClick(f.view->searchField(), Qt::Key_Return);
    QCOMPARE(f.clipboard.string(), QStringLiteral("entry 3"));
}

void TestPopover::saysWhatIsNotSaved()
{
    test::ShownPopover f;
    QVERIFY(f.shown);
    // A real full disk under the history file (root only).
    test::SmallDisk disk(f.file.folder(), "64k");
    if (!disk.mounted())
        QSKIP("needs root to mount a small file system");
    QVERIFY(f.view->notSavedBanner()->isHidden());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not save history to ")));
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^History saved again to ")));
    f.add(QString(100 * 1024, u'b'));
    f.add(QStringLiteral("small"));
    f.store().waitForSaves();
    QTRY_VERIFY(f.view->notSavedBanner()->isVisible());
    QCOMPARE(f.view->notSavedBanner()->text(), QStringLiteral("History not saved: no space left on device"));
    const QAbstractItemModel* model = f.view->list()->model();
    const auto row = [&](int r, int role) { return model->index(r, 0).data(role); };
    QCOMPARE(row(1, HistoryListModel::NotSavedRole), QVariant(true));
    QCOMPARE(row(0, HistoryListModel::NotSavedRole), QVariant(false));
    QCOMPARE(row(1, Qt::ToolTipRole).toString(),
             QStringLiteral("Not saved (no space left on device): kept only until Ondrel quits"));
    QVERIFY(row(1, Qt::AccessibleTextRole).toString().endsWith(QStringLiteral(", not saved")));
    const QString screens = QStringLiteral(QT_TESTCASE_BUILDDIR "/../../screens/");
    QVERIFY(QDir().mkpath(screens));
    QVERIFY(renderAt(f.view.get(), 2).save(screens + QStringLiteral("popover-not-saved.png")));
    // Room again: saved by itself, and said no more.
    QVERIFY(disk.resize("8m"));
    f.scheduler.advance(HistoryStore::kSaveRetryLongestSeconds);
    f.store().waitForSaves();
    QTRY_VERIFY(f.view->notSavedBanner()->isHidden());
    QCOMPARE(row(1, HistoryListModel::NotSavedRole), QVariant(false));
}

// The README's pictures, in every accent, under build/<preset>/screens for a
// look by eye. What can be checked of them: each was written whole, and the
// accent and the detail view change what is drawn; and of the popover they
// show, that it can be read out.
void TestPopover::screens()
{
    const QString dir = QStringLiteral(QT_TESTCASE_BUILDDIR "/../../screens/");
    QVERIFY(QDir().mkpath(dir));
    const auto save = [&](const QString& name, QWidget* widget) {
        const QImage image = renderAt(widget, 2);
        return image.save(dir + name + QStringLiteral(".png")) &&
               QImage(dir + name + QStringLiteral(".png")).size() == widget->size() * 2;
    };
    test::ShownPopover f(test::sampleHistory());
    QVERIFY(f.shown);
    // Everything a screen reader meets has a name; rows read out their content and details.
    QCOMPARE(f.view->searchField()->accessibleName(), QStringLiteral("Search clipboard"));
    QCOMPARE(f.view->clearSearchButton()->accessibleName(), QStringLiteral("Clear search"));
    QCOMPARE(f.view->list()->accessibleName(), QStringLiteral("Clipboard history"));
    for (const QAbstractButton* b : f.view->findChildren<QAbstractButton*>())
        QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
    // Each row reads out its content and details.
    const QString row = f.view->list()->model()->index(0, 0).data(Qt::AccessibleTextRole).toString();
    QVERIFY2(row.contains(QStringLiteral("JSON")) && row.contains(QStringLiteral("pinned")), qPrintable(row));
    f.state().setSelectedIndex(1);
    QImage previous;
    for (AccentColor accent : kAllAccentColors) {
        f.theme.setAccentColorRaw(rawValue(accent));
        QCoreApplication::processEvents();
        QVERIFY(save(QStringLiteral("popover-") + rawValue(accent).toLower(), f.view.get()));
        const QImage image = renderAt(f.view.get(), 2);
        QVERIFY(image != previous);
        previous = image;
    }
    // The dark look, in the default accent: mostly dark where the light
    // look is mostly light.
    const auto meanGrey = [](const QImage& image) {
        qint64 sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                sum += qGray(image.pixel(x, y));
        return sum / (qint64(image.width()) * image.height());
    };
    f.theme.setAccentColorRaw(QStringLiteral("Coral"));
    QCoreApplication::processEvents();
    QVERIFY(meanGrey(renderAt(f.view.get(), 1)) > 200);
    f.theme.setAppearanceRaw(QStringLiteral("Dark"));
    QCoreApplication::processEvents();
    QVERIFY(save(QStringLiteral("popover-dark"), f.view.get()));
    QVERIFY(meanGrey(renderAt(f.view.get(), 1)) < 60);
    f.theme.setAppearanceRaw(QStringLiteral("Light"));
    QCoreApplication::processEvents();
    f.view->openDetail(f.state().filteredItems().at(0));
    QCoreApplication::processEvents();
    QVERIFY(save(QStringLiteral("detail"), f.view.get()));
    QVERIFY(renderAt(f.view.get(), 2) != previous);
    ignorePopupWarnings();
    f.view->detailView()->setShowTransforms(true);
    QCoreApplication::processEvents();
    QVERIFY(save(QStringLiteral("transformations"), f.view->detailView()->transformationsPopover()));
}

QTEST_MAIN(TestPopover)
#include "tst_popover.moc"
