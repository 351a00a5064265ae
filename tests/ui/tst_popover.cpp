#include "ClipboardItemRow.h"
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

namespace {

QImage renderAt(QWidget* widget, qreal dpr)
{
    QImage image(widget->size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    widget->render(&image);
    return image;
}

QString screensDir()
{
    const QString dir = QStringLiteral(QT_TESTCASE_BUILDDIR "/../../screens");
    QDir().mkpath(dir);
    return dir;
}

// The offscreen platform cannot raise windows or grab the keyboard for pop-ups.
void ignorePopupWarnings()
{
    static const QRegularExpression notSupported(QStringLiteral("This plugin does not support"));
    for (int i = 0; i < 2; ++i)
        QTest::ignoreMessage(QtWarningMsg, notSupported);
}

QList<ClipboardItem> texts(int count)
{
    QList<ClipboardItem> items;
    for (int i = 0; i < count; ++i)
        items << ClipboardItem::makeText(QStringLiteral("entry %1").arg(i), QStringLiteral("Notes"),
                                         std::nullopt, test::secondsAgo(i * 10));
    return items;
}

QPoint cardCentre(const test::PopoverFixture& f, int row)
{
    return f.view->list()->cardGeometry(row).center();
}

QStringList buttonNames(const QList<IconButton*>& buttons)
{
    QStringList names;
    for (const IconButton* b : buttons)
        names << b->accessibleName();
    names.sort();
    return names;
}

// The rows currently visible in the list's viewport.
int rowCentreOffset(const test::PopoverFixture& f, int row)
{
    const HistoryList* list = f.view->list();
    return list->cardGeometry(row).center().y() - list->viewport()->height() / 2;
}

struct Shown
{
    explicit Shown(test::PopoverFixture& f)
    {
        f.view->show();
        ok = QTest::qWaitForWindowExposed(f.view.get());
        QCoreApplication::processEvents();
    }
    bool ok = false;
};

} // namespace

class TestPopover : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void rowButtonsFollowHoverAndSelection();
    void hoverSelectsWithoutScrolling();
    void keyboardSelectionScrollsToCentre();
    void clickPastesAfterTheDoubleClickInterval();
    void doubleClickOpensDetailWithoutPasting();
    void noticeTimingWithTwoClicks();
    void contextMenuActions();
    void emptyStates();
    void searchResetsSelection();
    void tabOnEmptyList();
    void escapeClosesDetailFirst();
    void detailOverlay();
    void failingTransformationKeepsPopoverOpen();
    void transformationsPopoverRows();
    void copyFromDetail_data();
    void copyFromDetail();
    void detailCounts_data();
    void detailCounts();
    void detailKeepsTheTextExact();
    void detailFontAndBadge_data();
    void detailFontAndBadge();
    void previewLines_data();
    void previewLines();
    void quickLineCountsMatchTheDrawing();
    void cardOutlines();
    void accessibleNames();
    void screens();
};

void TestPopover::rowButtonsFollowHoverAndSelection()
{
    test::PopoverFixture f(texts(5));
    Shown shown(f);
    QVERIFY(shown.ok);
    HistoryList* list = f.view->list();
    // On appearing the first row is selected: its two buttons show.
    QCOMPARE(f.manager->selectedIndex(), 0);
    QCOMPARE(buttonNames(list->visibleRowButtons()),
             (QStringList{QStringLiteral("Delete"), QStringLiteral("Pin")}));
    QVERIFY(list->cardGeometry(0).contains(list->visibleRowButtons().first()->geometry().center()));

    QTest::mouseMove(list->viewport(), cardCentre(f, 2));
    QCOMPARE(f.manager->selectedIndex(), 2);
    QCOMPARE(f.view->hoveredItem(), f.manager->filteredItems().at(2).id());
    QCOMPARE(list->visibleRowButtons().size(), 2);
    QVERIFY(list->cardGeometry(2).contains(list->visibleRowButtons().first()->geometry().center()));

    // The keyboard moves on while the pointer stays: both rows show buttons.
    f.manager->moveSelection(1);
    QCOMPARE(list->visibleRowButtons().size(), 4);

    // Pointer gone, nothing selected: none.
    QTest::mouseMove(f.view.get(), QPoint(5, 5));
    QVERIFY(!f.view->hoveredItem());
    QCOMPARE(f.manager->selectedIndex(), 3);
    f.manager->setSelectedIndex(-1);
    QCOMPARE(list->visibleRowButtons().size(), 0);

    // A pinned entry's button unpins; clicking it acts on that entry.
    f.manager->togglePin(f.manager->filteredItems().at(4).id());
    f.manager->setSelectedIndex(0);
    QCOMPARE(buttonNames(list->visibleRowButtons()),
             (QStringList{QStringLiteral("Delete"), QStringLiteral("Unpin")}));
    const QUuid pinned = f.manager->filteredItems().at(0).id();
    for (IconButton* b : list->visibleRowButtons())
        if (b->accessibleName() == QStringLiteral("Unpin"))
            QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(std::none_of(f.manager->items().cbegin(), f.manager->items().cend(),
                         [&](const ClipboardItem& i) { return i.id() == pinned && i.isPinned(); }));
    for (IconButton* b : list->visibleRowButtons())
        if (b->accessibleName() == QStringLiteral("Delete")) {
            QTest::mouseClick(b, Qt::LeftButton);
            break;
        }
    QCOMPARE(f.manager->items().size(), 4);
    QCOMPARE(f.queue.pendingCount(), 0u); // a button click is no row click
}

void TestPopover::hoverSelectsWithoutScrolling()
{
    test::PopoverFixture f(texts(40));
    Shown shown(f);
    QVERIFY(shown.ok);
    HistoryList* list = f.view->list();
    QTest::mouseMove(list->viewport(), cardCentre(f, 2));
    QCoreApplication::processEvents();
    QCOMPARE(f.manager->selectedIndex(), 2);
    QVERIFY(!f.manager->shouldScrollToSelection());
    QCOMPARE(list->verticalScrollBar()->value(), 0);
}

void TestPopover::keyboardSelectionScrollsToCentre()
{
    test::PopoverFixture f(texts(40));
    Shown shown(f);
    QVERIFY(shown.ok);
    HistoryList* list = f.view->list();
    QTest::mouseMove(list->viewport(), cardCentre(f, 4));
    QCOMPARE(f.manager->selectedIndex(), 4);
    // Down: the next row comes to the centre, and the request is answered.
    f.manager->moveSelection(1);
    QTRY_VERIFY(!f.manager->shouldScrollToSelection());
    QTRY_VERIFY(qAbs(rowCentreOffset(f, 5)) <= 1);

    QTRY_VERIFY(!list->isScrolling()); // the animation has landed
    // A selection set without the request does not scroll: the decision is
    // taken once the current task is done, which processing events ends.
    const int before = list->verticalScrollBar()->value();
    f.manager->setSelectedIndex(30);
    QCoreApplication::processEvents();
    QVERIFY(!list->isScrolling());
    QCOMPARE(list->verticalScrollBar()->value(), before);

    // Up from the first row wraps to the last, which scrolls as far as it can.
    f.manager->setSelectedIndex(0);
    f.manager->moveSelection(-1);
    QTRY_COMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());

    // A request for a position that is not a row stays pending.
    f.manager->setShouldScrollToSelection(true);
    f.manager->setSelectedIndex(99);
    QCoreApplication::processEvents();
    QVERIFY(f.manager->shouldScrollToSelection());
}

void TestPopover::clickPastesAfterTheDoubleClickInterval()
{
    test::PopoverFixture f(texts(3));
    Shown shown(f);
    QVERIFY(shown.ok);
    const double interval = QApplication::doubleClickInterval() / 1000.0;
    QTest::mouseClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 1));
    f.queue.advance(interval - 0.01);
    QVERIFY(!f.pasteboard.string());
    QVERIFY(!f.view->showCopiedToast());
    f.queue.advance(0.02);
    QCOMPARE(f.pasteboard.string(), QStringLiteral("entry 1"));
    QVERIFY(f.view->showCopiedToast());
    QTRY_COMPARE(f.view->copiedNotice()->progress(), 1.0);
    // The popover stays open, the entry went to the front, the keystroke follows.
    QCOMPARE(f.manager->items().first().text(), QStringLiteral("entry 1"));
    f.queue.advance(0.1);
    QCOMPARE(f.keystrokes.pasteCount(), 1);
    QVERIFY(!f.view->detailItem());
}

void TestPopover::doubleClickOpensDetailWithoutPasting()
{
    test::PopoverFixture f(texts(3));
    Shown shown(f);
    QVERIFY(shown.ok);
    QTest::mouseDClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 2));
    f.queue.advance(2);
    QVERIFY(!f.pasteboard.string());
    QCOMPARE(f.keystrokes.pasteCount(), 0);
    QVERIFY(f.view->detailItem());
    QCOMPARE(f.view->detailItem()->text(), QStringLiteral("entry 2"));
    QVERIFY(f.view->detailView()->isVisible());
}

void TestPopover::noticeTimingWithTwoClicks()
{
    test::PopoverFixture f(texts(3));
    Shown shown(f);
    QVERIFY(shown.ok);
    const double interval = QApplication::doubleClickInterval() / 1000.0;
    QTest::mouseClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 0));
    f.queue.advance(interval); // first paste: the notice shows, to go 1.0 s later
    QVERIFY(f.view->showCopiedToast());
    f.queue.advance(0.5);
    QTest::mouseClick(f.view->list()->viewport(), Qt::LeftButton, {}, cardCentre(f, 1));
    f.queue.advance(interval);
    QVERIFY(f.view->showCopiedToast());
    f.queue.advance(0.49 - interval);
    QVERIFY(f.view->showCopiedToast());
    f.queue.advance(0.02); // one second after the first paste
    QVERIFY(!f.view->showCopiedToast());
    QTRY_VERIFY(f.view->copiedNotice()->isHidden());
    f.queue.advance(1);
    QVERIFY(!f.view->showCopiedToast());
}

void TestPopover::contextMenuActions()
{
    QList<ClipboardItem> items = texts(3);
    items[1].setPinned(true);
    test::PopoverFixture f(items);
    Shown shown(f);
    QVERIFY(shown.ok);
    HistoryList* list = f.view->list();
    // The pinned entry comes first.
    const auto menuTexts = [&](int row) {
        std::unique_ptr<QMenu> menu(list->contextMenuFor(row));
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    QCOMPARE(menuTexts(0), (QStringList{QStringLiteral("Edit"), QStringLiteral("Unpin"), QStringLiteral("-"),
                                        QStringLiteral("Delete")}));
    QCOMPARE(menuTexts(1), (QStringList{QStringLiteral("Edit"), QStringLiteral("Pin"), QStringLiteral("-"),
                                        QStringLiteral("Delete")}));
    QVERIFY(!list->contextMenuFor(3));

    const auto trigger = [&](int row, int action) {
        std::unique_ptr<QMenu> menu(list->contextMenuFor(row));
        QAction* a = menu->actions().at(action);
        if (action == 3)
            QVERIFY(a->property("destructive").toBool());
        a->trigger();
    };
    trigger(0, 1); // Unpin
    QVERIFY(std::none_of(f.manager->items().cbegin(), f.manager->items().cend(),
                         [](const ClipboardItem& i) { return i.isPinned(); }));
    const ClipboardItem second = f.manager->filteredItems().at(1);
    trigger(1, 3); // Delete
    QCOMPARE(f.manager->items().size(), 2);
    QVERIFY(!f.manager->items().contains(second));
    trigger(0, 0); // Edit
    QCOMPARE(f.view->detailItem(), f.manager->filteredItems().at(0));

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
    test::PopoverFixture f;
    Shown shown(f);
    QVERIFY(shown.ok);
    QVERIFY(f.view->isShowingEmptyState());
    QCOMPARE(f.view->emptyState()->title(), QStringLiteral("No clipboard history"));
    QCOMPARE(f.view->emptyState()->subtitle(), QStringLiteral("Copy something to get started"));
    QVERIFY(f.view->searchField()->isVisible());

    f.add(QStringLiteral("hello"));
    QVERIFY(!f.view->isShowingEmptyState());
    QVERIFY(f.view->list()->isVisible());
    QTest::keyClicks(f.view->searchField(), QStringLiteral("zz"));
    QVERIFY(f.view->isShowingEmptyState());
    QCOMPARE(f.view->emptyState()->title(), QStringLiteral("No matches"));
    QCOMPARE(f.view->emptyState()->subtitle(), QStringLiteral("Try a different search"));
    QVERIFY(f.view->findChild<KeyHints*>()->isVisible());
}

void TestPopover::searchResetsSelection()
{
    QList<ClipboardItem> items = texts(6);
    test::PopoverFixture f(items);
    Shown shown(f);
    QVERIFY(shown.ok);
    QVERIFY(f.view->searchField()->hasFocus());
    QVERIFY(f.view->clearSearchButton()->isHidden());
    f.manager->setSelectedIndex(3);
    QTest::keyClicks(f.view->searchField(), QStringLiteral("entry"));
    QCOMPARE(f.manager->searchText(), QStringLiteral("entry"));
    QCOMPARE(f.manager->selectedIndex(), 0);
    QVERIFY(f.view->clearSearchButton()->isVisible());

    f.manager->setSelectedIndex(2);
    QTest::mouseClick(f.view->clearSearchButton(), Qt::LeftButton);
    QCOMPARE(f.manager->searchText(), QString());
    QCOMPARE(f.view->searchField()->text(), QString());
    QCOMPARE(f.manager->selectedIndex(), 0);
    QVERIFY(f.view->clearSearchButton()->isHidden());

    // The binding runs both ways.
    f.manager->setSearchText(QStringLiteral("3"));
    QCOMPARE(f.view->searchField()->text(), QStringLiteral("3"));
    QCOMPARE(f.view->list()->model()->rowCount(), 1);

    // Return in the field pastes the selected entry.
    QTest::keyClick(f.view->searchField(), Qt::Key_Return);
    QCOMPARE(f.pasteboard.string(), QStringLiteral("entry 3"));
}

void TestPopover::tabOnEmptyList()
{
    test::PopoverFixture f;
    Shown shown(f);
    QVERIFY(shown.ok);
    f.manager->setShowDetailForSelected(true);
    QVERIFY(!f.view->detailItem());
    // Dropped, so that the next Tab is seen.
    QVERIFY(!f.manager->showDetailForSelected());
    f.add(QStringLiteral("now there is one"));
    f.manager->setSelectedIndex(0);
    f.manager->setShowDetailForSelected(true);
    QVERIFY(f.view->detailItem());
    QCOMPARE(f.view->detailItem()->text(), QStringLiteral("now there is one"));
    QVERIFY(!f.manager->showDetailForSelected());
}

void TestPopover::escapeClosesDetailFirst()
{
    test::PopoverFixture f(texts(2));
    Shown shown(f);
    QVERIFY(shown.ok);
    f.manager->setShowDetailForSelected(true);
    QVERIFY(f.view->detailItem());
    f.manager->setCloseDetailRequested(true);
    QVERIFY(!f.view->detailItem());
    QVERIFY(!f.manager->closeDetailRequested());
    QVERIFY(f.view->isVisible());
    QVERIFY(f.view->searchField()->hasFocus());
    // Without a detail view the request is left for the popover to close.
    f.manager->setCloseDetailRequested(true);
    QVERIFY(f.manager->closeDetailRequested());
}

void TestPopover::detailOverlay()
{
    test::PopoverFixture f(texts(8));
    Shown shown(f);
    QVERIFY(shown.ok);
    f.view->openDetail(f.manager->filteredItems().at(1));
    const QRect detail = f.view->detailView()->geometry();
    // Inside the popover with a margin, the close button included.
    QVERIFY(QRect(8, 8, 304, 464).contains(detail));
    auto* close = f.view->detailView()->findChild<IconButton*>(QStringLiteral("close"));
    QVERIFY(detail.contains(close->mapTo(f.view.get(), close->rect().bottomRight())));
    // The column underneath keeps its place but cannot be seen or clicked.
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(f.view->mainColumn()->graphicsEffect());
    QVERIFY(effect);
    QCOMPARE(effect->opacity(), 0.0);
    QCOMPARE(f.view->mainColumn()->geometry(), f.view->rect());
    QVERIFY(f.view->list()->isVisible());
    QTest::mouseClick(f.view.get(), Qt::LeftButton, {}, QPoint(160, 4));
    f.queue.advance(2);
    QVERIFY(!f.pasteboard.string());
    QVERIFY(f.view->detailView()->editor()->hasFocus());
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!f.view->detailItem());
    QVERIFY(!f.view->mainColumn()->graphicsEffect());
}

void TestPopover::failingTransformationKeepsPopoverOpen()
{
    const ClipboardItem item = ClipboardItem::makeText(QStringLiteral("not base64 at all!"));
    test::PopoverFixture f({item});
    Shown shown(f);
    QVERIFY(shown.ok);
    f.view->openDetail(item);
    DetailView* detail = f.view->detailView();
    ignorePopupWarnings();
    QTest::mouseClick(detail->findChild<IconButton*>(QStringLiteral("transformations")), Qt::LeftButton);
    TransformationsPopover* popover = detail->transformationsPopover();
    QVERIFY(popover);
    QVERIFY(popover->isVisible());
    QTest::mouseClick(popover->findChild<QAbstractButton*>(QStringLiteral("base64Decode")), Qt::LeftButton);
    QVERIFY(detail->transformationsPopover());
    QVERIFY(popover->isVisible());
    QCOMPARE(detail->editedText(), item.text());
    QTest::mouseClick(popover->findChild<QAbstractButton*>(QStringLiteral("uppercase")), Qt::LeftButton);
    QCOMPARE(detail->editedText(), QStringLiteral("NOT BASE64 AT ALL!"));
    QTRY_VERIFY(!detail->transformationsPopover());
    // Nothing reaches the history until the text is copied.
    QCOMPARE(f.manager->items().size(), 1);
}

void TestPopover::transformationsPopoverRows()
{
    test::PopoverFixture f;
    TransformationsPopover popover(QString(), f.theme);
    QStringList names;
    for (auto* row : popover.findChildren<QAbstractButton*>())
        names << row->text();
    QStringList expected;
    for (Transformation t : kAllTransformations)
        expected << rawValue(t);
    QCOMPARE(names, expected);
    QStringList sections;
    for (auto* title : popover.findChildren<QLabel*>())
        sections << title->text();
    QCOMPARE(sections, (QStringList{QStringLiteral("Case"), QStringLiteral("Encoding"),
                                    QStringLiteral("JSON"), QStringLiteral("Lines")}));
    QCOMPARE(popover.width(), 180);

    QStringList applied;
    popover.onApply = [&](const QString& text) { applied << text; };
    popover.pick(Transformation::uppercase);
    QCOMPARE(applied, QStringList{QString()});
    popover.pick(Transformation::jsonPrettify);
    QCOMPARE(applied.size(), 1);
}

void TestPopover::copyFromDetail_data()
{
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<bool>("adds");
    QTest::newRow("unchanged") << QStringLiteral("hello") << QStringLiteral("hello") << false;
    QTest::newRow("canonically equal") << QStringLiteral("café") << QStringLiteral("café") << false;
    QTest::newRow("edited") << QStringLiteral("hello") << QStringLiteral("hello, world") << true;
    QTest::newRow("emptied") << QStringLiteral("hello") << QString() << true;
}

void TestPopover::copyFromDetail()
{
    QFETCH(QString, original);
    QFETCH(QString, edited);
    QFETCH(bool, adds);
    test::PopoverFixture f({ClipboardItem::makeText(original, QStringLiteral("Notes"))});
    Shown shown(f);
    QVERIFY(shown.ok);
    f.pasteboard.setString(QStringLiteral("something else"));
    const qint64 before = f.pasteboard.changeCount();
    f.view->openDetail(f.manager->items().first());
    f.view->detailView()->setEditedText(edited);
    QTest::mouseClick(f.view->detailView()->findChild<IconButton*>(QStringLiteral("copy")), Qt::LeftButton);
    QCOMPARE(f.pasteboard.string(), edited);
    QCOMPARE(f.pasteboard.changeCount(), before + 2); // cleared, then written
    QVERIFY(!f.view->detailItem());
    f.queue.runPending();
    QCOMPARE(f.manager->items().size(), adds ? 2 : 1);
    if (adds) {
        const ClipboardItem& added = f.manager->items().first();
        QCOMPARE(added.text(), edited);
        QCOMPARE(added.appName(), QStringLiteral("Brisol"));
        QCOMPARE(added.type(), ClipboardItemType::text);
        QVERIFY(!added.isPinned());
    }
}

void TestPopover::detailCounts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("chars");
    QTest::addColumn<QString>("lines");
    QTest::newRow("empty") << QString() << QStringLiteral("0 chars") << QStringLiteral("1 lines");
    QTest::newRow("final break") << QStringLiteral("a\n") << QStringLiteral("2 chars")
                                 << QStringLiteral("2 lines");
    QTest::newRow("crlf") << QStringLiteral("a\r\nb") << QStringLiteral("3 chars")
                          << QStringLiteral("3 lines");
    QTest::newRow("separators") << QStringLiteral("a\u2028b\u0085c") << QStringLiteral("5 chars")
                                << QStringLiteral("3 lines");
    QTest::newRow("clusters") << QStringLiteral("e\u0301\U0001F44D\U0001F3FD") << QStringLiteral("2 chars")
                              << QStringLiteral("1 lines");
}

void TestPopover::detailCounts()
{
    QFETCH(QString, text);
    QFETCH(QString, chars);
    QFETCH(QString, lines);
    test::PopoverFixture f;
    DetailView detail(ClipboardItem::makeText(text), f.theme, f.pasteboard);
    const auto labelTexts = [&] {
        QStringList out;
        for (const QLabel* l : detail.findChildren<QLabel*>())
            out << l->text();
        return out;
    };
    QVERIFY2(labelTexts().contains(chars), qPrintable(labelTexts().join(u'|')));
    QVERIFY2(labelTexts().contains(lines), qPrintable(labelTexts().join(u'|')));
    // The counts follow each edit.
    QTest::keyClicks(detail.editor(), QStringLiteral("xy"));
    QVERIFY(
        labelTexts().contains(QString::number(text::characterCount(text) + 2) + QStringLiteral(" chars")));
}

void TestPopover::detailKeepsTheTextExact()
{
    // CR LF line ends and no-break spaces survive opening and copying.
    const QString original = QStringLiteral("one\u00a0two\r\nthree\r\n");
    test::PopoverFixture f({ClipboardItem::makeText(original)});
    Shown shown(f);
    QVERIFY(shown.ok);
    f.view->openDetail(f.manager->items().first());
    DetailView* detail = f.view->detailView();
    QCOMPARE(detail->editedText(), original);
    QCOMPARE(detail->editor()->document()->blockCount(), 3); // one break per CR LF
    // Typing keeps the text's kind of line end.
    detail->editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(detail->editor(), QStringLiteral("x"));
    QCOMPARE(detail->editedText(), original + QStringLiteral("x"));
    QTest::keyClick(detail->editor(), Qt::Key_Backspace);
    detail->copy();
    QCOMPARE(f.pasteboard.string(), original);
    f.queue.runPending();
    QCOMPARE(f.manager->items().size(), 1);
}

void TestPopover::detailFontAndBadge_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("badge");
    QTest::addColumn<bool>("fixedPitch");
    QTest::newRow("plain") << QStringLiteral("Dear Ada, see you Tuesday") << QString() << false;
    QTest::newRow("json") << QStringLiteral("{\"a\": 1}") << QStringLiteral("JSON") << true;
    QTest::newRow("shell") << QStringLiteral("#!/bin/bash\necho hi") << QStringLiteral("SH") << true;
}

void TestPopover::detailFontAndBadge()
{
    QFETCH(QString, text);
    QFETCH(QString, badge);
    QFETCH(bool, fixedPitch);
    test::PopoverFixture f;
    DetailView detail(ClipboardItem::makeText(text), f.theme, f.pasteboard);
    QCOMPARE(QFontInfo(detail.editor()->font()).fixedPitch(), fixedPitch);
    QStringList names;
    for (const QWidget* w : detail.findChildren<QWidget*>())
        if (!w->accessibleName().isEmpty())
            names << w->accessibleName();
    QCOMPARE(names.contains(QStringLiteral("JSON")) || names.contains(QStringLiteral("SH")),
             !badge.isEmpty());
    if (!badge.isEmpty())
        QVERIFY(names.contains(badge));
    for (const char* button : {"Transformations", "Copy", "Close", "Entry text"})
        QVERIFY2(names.contains(QString::fromLatin1(button)), button);
}

void TestPopover::previewLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("cardHeight");
    QTest::newRow("short prose") << QStringLiteral("Call Ada back") << 1 << 52;
    QTest::newRow("short code") << QStringLiteral("SELECT 1 FROM t;") << 1 << 52;
    QTest::newRow("long prose") << QString(QStringLiteral("word ")).repeated(18) << 2 << 0;
    QTest::newRow("two code lines") << QStringLiteral("SELECT a\nFROM t;") << 2 << 0;
    QTest::newRow("many lines") << QStringLiteral("SELECT a\nFROM t\nWHERE x = 1;") << 2 << 0;
}

void TestPopover::previewLines()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    QFETCH(int, cardHeight);
    test::PopoverFixture f({ClipboardItem::makeText(text)});
    Shown shown(f);
    QVERIFY(shown.ok);
    HistoryList* list = f.view->list();
    const ClipboardItem& item = f.manager->items().first();
    const int width = list->viewport()->width() - 2 * ClipboardItemRow::kHorizontalInset;
    QCOMPARE(list->rowDelegate()->previewLineCount(item, width), lines);
    const int height = list->cardGeometry(0).height();
    if (cardHeight)
        QCOMPARE(height, cardHeight);
    else
        QVERIFY(height > 52);
}

void TestPopover::quickLineCountsMatchTheDrawing()
{
    // Row heights are measured without laying text out; drawing lays it out
    // and re-measures a row whose count was wrong. Over varied texts that
    // must not happen.
    QList<ClipboardItem> items = test::sampleHistory();
    const QString pieces[] = {
        QStringLiteral("caf\u00e9 "),       QStringLiteral("\U0001F600 "), QStringLiteral("x"),
        QStringLiteral("if (a) { b(); } "), QStringLiteral("\t"),          QStringLiteral("  "),
        QStringLiteral("\u4e2d\u6587"),     QStringLiteral("word "),       QStringLiteral("\n")};
    // Code of growing length around the width of one line.
    for (int k = 0; k < 16; ++k)
        items << ClipboardItem::makeText(QStringLiteral("SELECT ") + QStringLiteral("c, ").repeated(k) +
                                         QStringLiteral("d FROM t;"));
    for (int i = 0; i < 60; ++i) {
        QString text;
        for (int j = 0; j < (i * 7) % 31 + 1; ++j)
            text += pieces[(i + j * j) % std::size(pieces)];
        items << ClipboardItem::makeText(text);
    }
    test::PopoverFixture f(items);
    Shown shown(f);
    QVERIFY(shown.ok);
    QSignalSpy remeasured(f.view->list()->rowDelegate(), &QAbstractItemDelegate::sizeHintChanged);
    QScrollBar* bar = f.view->list()->verticalScrollBar();
    for (int value = 0; value <= bar->maximum(); value += 200) {
        bar->setValue(value);
        renderAt(f.view.get(), 1);
    }
    QCOMPARE(remeasured.count(), 0);
}

void TestPopover::cardOutlines()
{
    test::PopoverFixture f(texts(4));
    Shown shown(f);
    QVERIFY(shown.ok);
    f.manager->setSelectedIndex(1);
    HistoryList* list = f.view->list();
    for (AccentColor accent : kAllAccentColors) {
        f.theme.setAccentColorRaw(rawValue(accent));
        const QImage image = renderAt(f.view.get(), 2);
        const auto outlineAt = [&](int row) {
            const QRect card = list->cardGeometry(row);
            const QPoint edge = list->viewport()->mapTo(f.view.get(), QPoint(card.left(), card.center().y()));
            return image.pixelColor(edge * 2);
        };
        QCOMPARE(outlineAt(1), palette(accent).accent);
        QCOMPARE(outlineAt(0), ink());
        QCOMPARE(outlineAt(2), ink());
        // The background is the accent's palest tint.
        QCOMPARE(image.pixelColor(2, image.height() / 2), palette(accent).faint);
    }
}

void TestPopover::accessibleNames()
{
    test::PopoverFixture f(test::sampleHistory());
    Shown shown(f);
    QVERIFY(shown.ok);
    QCOMPARE(f.view->searchField()->accessibleName(), QStringLiteral("Search clipboard"));
    QCOMPARE(f.view->clearSearchButton()->accessibleName(), QStringLiteral("Clear search"));
    QCOMPARE(f.view->list()->accessibleName(), QStringLiteral("Clipboard history"));
    for (const QAbstractButton* b : f.view->findChildren<QAbstractButton*>())
        QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
    // Each row reads out its content and details.
    const QString row = f.view->list()->model()->index(0, 0).data(Qt::AccessibleTextRole).toString();
    QVERIFY2(row.contains(QStringLiteral("JSON")) && row.contains(QStringLiteral("pinned")), qPrintable(row));
}

// The pictures under build/<preset>/screens are for looking at; what can be
// checked of them is: each was written whole, at its size, and each accent,
// the detail view and the notice change what is drawn.
void TestPopover::screens()
{
    QHash<QString, QImage> saved;
    const auto save = [&](const QString& name, const QImage& image) {
        const QString path = screensDir() + u'/' + name + QStringLiteral(".png");
        if (!image.save(path))
            return false;
        const QImage back(path);
        saved.insert(name, back);
        return back.size() == image.size();
    };

    test::PopoverFixture f(test::sampleHistory());
    f.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.view.get()));
    f.manager->setSelectedIndex(1);
    const QSize popover2x = f.view->size() * 2;
    for (AccentColor accent : kAllAccentColors) {
        f.theme.setAccentColorRaw(rawValue(accent));
        QCoreApplication::processEvents();
        QVERIFY(save(QStringLiteral("popover-") + rawValue(accent).toLower(), renderAt(f.view.get(), 2)));
        QCOMPARE(saved.value(QStringLiteral("popover-") + rawValue(accent).toLower()).size(), popover2x);
    }
    for (std::size_t i = 1; i < kAllAccentColors.size(); ++i)
        QVERIFY(saved.value(QStringLiteral("popover-") + rawValue(kAllAccentColors[i]).toLower()) !=
                saved.value(QStringLiteral("popover-") + rawValue(kAllAccentColors[i - 1]).toLower()));
    QVERIFY(save(QStringLiteral("popover-1x"), renderAt(f.view.get(), 1)));
    QCOMPARE(saved.value(QStringLiteral("popover-1x")).size(), f.view->size());

    f.theme.setAccentColorRaw(QStringLiteral("Coral"));
    QCoreApplication::processEvents();
    const QImage coral = renderAt(f.view.get(), 2);
    f.view->openDetail(f.manager->filteredItems().at(0));
    QCoreApplication::processEvents();
    QVERIFY(save(QStringLiteral("detail"), renderAt(f.view.get(), 2)));
    QVERIFY(saved.value(QStringLiteral("detail")) !=
            coral.convertToFormat(saved.value(QStringLiteral("detail")).format()));
    ignorePopupWarnings();
    f.view->detailView()->setShowTransforms(true);
    QCoreApplication::processEvents();
    QWidget* transforms = f.view->detailView()->transformationsPopover();
    QVERIFY(save(QStringLiteral("transformations"), renderAt(transforms, 2)));
    QCOMPARE(saved.value(QStringLiteral("transformations")).size(), transforms->size() * 2);
    f.view->closeDetail();
    f.view->pasteEntry(f.manager->filteredItems().at(2));
    QTRY_COMPARE(f.view->copiedNotice()->progress(), 1.0);
    QVERIFY(save(QStringLiteral("copied"), renderAt(f.view.get(), 2)));
    QVERIFY(saved.value(QStringLiteral("copied")) !=
            coral.convertToFormat(saved.value(QStringLiteral("copied")).format()));

    test::PopoverFixture empty;
    empty.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(empty.view.get()));
    QVERIFY(save(QStringLiteral("empty"), renderAt(empty.view.get(), 2)));
    QCOMPARE(saved.value(QStringLiteral("empty")).size(), popover2x);
}

QTEST_MAIN(TestPopover)
#include "tst_popover.moc"
