#include "DetailView.h"
#include "PopoverFixture.h"
#include "PopoverParts.h"
#include "Text.h"
#include "TransformationsPopover.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

using namespace ondrel;
using namespace ondrel::test;

// The detail view over the popover: opening and closing, the editor, its
// counts, copying an edit, and the transformations pop-up.
class TestDetailView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { failOnUnexpectedWarnings(); }
    void detailOverlay();
    void failingTransformationKeepsPopoverOpen();
    void copyFromDetail_data();
    void copyFromDetail();
    void detailOfAText_data();
    void detailOfAText();
    void detailKeepsTheTextExact();
};

void TestDetailView::detailOverlay()
{
    test::ShownPopover f(texts(8));
    QVERIFY(f.shown);
    f.view->openDetail(f.state().filteredItems().at(1));
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
    f.scheduler.advance(2);
    QVERIFY(!f.clipboard.string());
    QVERIFY(f.view->detailView()->editor()->hasFocus());
    // Tab walks the buttons and the editor, never the column underneath;
    // the button with the keyboard is ringed in the palette's focus colour.
    auto* transforms = f.view->detailView()->findChild<IconButton*>(QStringLiteral("transformations"));
    QCOMPARE(focusRingPixels(transforms), 0);
    QStringList walk;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walk << QApplication::focusWidget()->accessibleName();
        if (i == 0)
            QVERIFY2(focusRingPixels(transforms) > transforms->width() * 2,
                     qPrintable(QString::number(focusRingPixels(transforms))));
    }
    QCOMPARE(walk, (QStringList{QStringLiteral("Transformations"), QStringLiteral("Copy"),
                                QStringLiteral("Close"), QStringLiteral("Entry text")}));
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!f.view->detailItem());
    QVERIFY(!f.view->mainColumn()->graphicsEffect());
    // Escape closes the detail view first, and gives the search field the keyboard.
    f.state().setShowDetailForSelected(true);
    QVERIFY(f.view->detailItem());
    f.state().setCloseDetailRequested(true);
    QVERIFY(!f.view->detailItem());
    QVERIFY(!f.state().closeDetailRequested());
    QVERIFY(f.view->isVisible());
    QVERIFY(f.view->searchField()->hasFocus());
}

void TestDetailView::failingTransformationKeepsPopoverOpen()
{
    const ClipboardItem item = ClipboardItem::makeText(QStringLiteral("not base64 at all!"));
    test::ShownPopover f({item});
    QVERIFY(f.shown);
    f.view->openDetail(item);
    DetailView* detail = f.view->detailView();
    ignorePopupWarnings();
    QTest::mouseClick(detail->findChild<IconButton*>(QStringLiteral("transformations")), Qt::LeftButton);
    TransformationsPopover* popover = detail->transformationsPopover();
    QVERIFY(popover);
    QVERIFY(popover->isVisible());
    QCOMPARE(popover->width(), 180);
    // Every transformation, in its section.
    QStringList rows;
    for (auto* row : popover->findChildren<QAbstractButton*>())
        rows << row->text();
    QStringList expected;
    for (Transformation t : kAllTransformations)
        expected << rawValue(t);
    QCOMPARE(rows, expected);
    // Tab reaches them, each ringed while it has the keyboard.
    QTest::keyClick(popover, Qt::Key_Tab);
    auto* first = popover->findChildren<QAbstractButton*>().first();
    QVERIFY(first->hasFocus());
    QVERIFY(focusRingPixels(first) > first->width());
    QStringList sections;
    for (auto* title : popover->findChildren<QLabel*>())
        sections << title->text();
    QCOMPARE(sections, (QStringList{QStringLiteral("Case"), QStringLiteral("Encoding"),
                                    QStringLiteral("JSON"), QStringLiteral("Lines")}));
    // One that fails leaves the text and the pop-up as they were.
    QTest::mouseClick(popover->findChild<QAbstractButton*>(QStringLiteral("base64Decode")), Qt::LeftButton);
    QVERIFY(detail->transformationsPopover());
    QVERIFY(popover->isVisible());
    QCOMPARE(detail->editedText(), item.text());
    QTest::mouseClick(popover->findChild<QAbstractButton*>(QStringLiteral("uppercase")), Qt::LeftButton);
    QCOMPARE(detail->editedText(), QStringLiteral("NOT BASE64 AT ALL!"));
    QTRY_VERIFY(!detail->transformationsPopover());
    // Nothing reaches the history until the text is copied.
    QCOMPARE(f.store().items().size(), 1);
}

void TestDetailView::copyFromDetail_data()
{
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<bool>("adds");
    QTest::newRow("unchanged") << QStringLiteral("hello") << QStringLiteral("hello") << false;
    QTest::newRow("canonically equal") << QStringLiteral("café") << QStringLiteral("café") << false;
    QTest::newRow("edited") << QStringLiteral("hello") << QStringLiteral("hello, world") << true;
    QTest::newRow("emptied") << QStringLiteral("hello") << QString() << true;
}

void TestDetailView::copyFromDetail()
{
    QFETCH(QString, original);
    QFETCH(QString, edited);
    QFETCH(bool, adds);
    test::ShownPopover f({ClipboardItem::makeText(original, QStringLiteral("Notes"))});
    QVERIFY(f.shown);
    f.clipboard.setString(QStringLiteral("something else"));
    const qint64 before = f.clipboard.changeCount();
    f.view->openDetail(f.store().items().first());
    f.view->detailView()->setEditedText(edited);
    QTest::mouseClick(f.view->detailView()->findChild<IconButton*>(QStringLiteral("copy")), Qt::LeftButton);
    QCOMPARE(f.clipboard.string(), edited);
    QCOMPARE(f.clipboard.changeCount(), before + 2); // cleared, then written
    QVERIFY(!f.view->detailItem());
    f.scheduler.runPending();
    QCOMPARE(f.store().items().size(), adds ? 2 : 1);
    if (adds) {
        const ClipboardItem& added = f.store().items().first();
        QCOMPARE(added.text(), edited);
        QCOMPARE(added.appName(), QStringLiteral("Ondrel"));
        QCOMPARE(added.type(), ClipboardItemType::text);
        QVERIFY(!added.isPinned());
    }
}

void TestDetailView::detailOfAText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("counts");
    QTest::addColumn<QString>("badge");   // the language, for code
    QTest::addColumn<bool>("fixedPitch"); // code is shown in the monospaced face
    QTest::newRow("empty") << QString() << "0 chars|1 lines" << QString() << false;
    QTest::newRow("final break") << "a\n"
                                 << "2 chars|2 lines" << QString() << false;
    QTest::newRow("crlf") << "a\r\nb"
                          << "3 chars|3 lines" << QString() << false;
    QTest::newRow("separators") << "a\u2028b\u0085c"
                                << "5 chars|3 lines" << QString() << false;
    QTest::newRow("clusters") << "e\u0301\U0001F44D\U0001F3FD"
                              << "2 chars|1 lines" << QString() << false;
    QTest::newRow("json") << "{\"a\": 1}"
                          << "8 chars|1 lines"
                          << "JSON" << true;
    QTest::newRow("shell") << "#!/bin/bash\necho hi"
                           << "19 chars|2 lines"
                           << "SH" << true;
}

void TestDetailView::detailOfAText()
{
    QFETCH(QString, text);
    QFETCH(QString, counts);
    QFETCH(QString, badge);
    QFETCH(bool, fixedPitch);
    test::PopoverFixture f;
    DetailView detail(ClipboardItem::makeText(text), f.theme, f.clipboard);
    const auto labelTexts = [&] {
        QStringList out;
        for (const QLabel* l : detail.findChildren<QLabel*>())
            out << l->text();
        return out;
    };
    for (const QString& count : counts.split(u'|'))
        QVERIFY2(labelTexts().contains(count), qPrintable(labelTexts().join(u'|')));
    QCOMPARE(QFontInfo(detail.editor()->font()).fixedPitch(), fixedPitch);
    QStringList names;
    for (const QWidget* w : detail.findChildren<QWidget*>())
        if (!w->accessibleName().isEmpty())
            names << w->accessibleName();
    QCOMPARE(names.contains(QStringLiteral("JSON")) || names.contains(QStringLiteral("SH")),
             !badge.isEmpty());
    QVERIFY(badge.isEmpty() || names.contains(badge));
    for (const char* button : {"Transformations", "Copy", "Close", "Entry text"})
        QVERIFY2(names.contains(QString::fromLatin1(button)), button);
    // The counts follow each edit.
    QTest::keyClicks(detail.editor(), QStringLiteral("xy"));
    QVERIFY(
        labelTexts().contains(QString::number(text::characterCount(text) + 2) + QStringLiteral(" chars")));
    // The whole footer, bullet included, is in the secondary ink.
    int footerLabels = 0;
    for (const QLabel* l : detail.findChildren<QLabel*>()) {
        if (l->text() == u"\u2022" || l->text().endsWith(QStringLiteral(" chars")) ||
            l->text().endsWith(QStringLiteral(" lines"))) {
            QCOMPARE(l->palette().color(QPalette::WindowText), inkSecondary());
            ++footerLabels;
        }
    }
    QCOMPARE(footerLabels, 3);
}

void TestDetailView::detailKeepsTheTextExact()
{
    // CR LF line ends and no-break spaces survive opening and copying.
    const QString original = QStringLiteral("one\u00a0two\r\nthree\r\n");
    test::ShownPopover f({ClipboardItem::makeText(original)});
    QVERIFY(f.shown);
    f.view->openDetail(f.store().items().first());
    DetailView* detail = f.view->detailView();
    QCOMPARE(detail->editedText(), original);
    QCOMPARE(detail->editor()->document()->blockCount(), 3); // one break per CR LF
    // Typing keeps the text's kind of line end.
    detail->editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(detail->editor(), QStringLiteral("x"));
    QCOMPARE(detail->editedText(), original + QStringLiteral("x"));
    // Tab again (as the popover's keys ask for it) keeps the open editor and its edits.
    f.state().setShowDetailForSelected(true);
    QCOMPARE(f.view->detailView(), detail);
    QCOMPARE(detail->editedText(), original + QStringLiteral("x"));
    QTest::keyClick(detail->editor(), Qt::Key_Backspace);
    detail->copy();
    QCOMPARE(f.clipboard.string(), original);
    f.scheduler.runPending();
    QCOMPARE(f.store().items().size(), 1);
}

QTEST_MAIN(TestDetailView)
#include "tst_detailview.moc"
