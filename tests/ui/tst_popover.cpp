#include "ClipboardItemRow.h"
#include "DetailView.h"
#include "HistoryListModel.h"
#include "IconButton.h"
#include "PopoverFixture.h"
#include "PopoverParts.h"
#include "TransformationsPopover.h"

#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

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

} // namespace

class TestPopover : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void screens();
};

void TestPopover::screens()
{
    test::PopoverFixture f(test::sampleHistory());
    f.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.view.get()));
    f.manager->setSelectedIndex(1);
    for (AccentColor accent : kAllAccentColors) {
        f.theme.setAccentColorRaw(rawValue(accent));
        QCoreApplication::processEvents();
        renderAt(f.view.get(), 2)
            .save(screensDir() + QStringLiteral("/popover-") + rawValue(accent).toLower() +
                  QStringLiteral(".png"));
    }
    renderAt(f.view.get(), 1).save(screensDir() + QStringLiteral("/popover-1x.png"));
    f.view->openDetail(f.manager->filteredItems().at(0));
    QCoreApplication::processEvents();
    renderAt(f.view.get(), 2).save(screensDir() + QStringLiteral("/detail.png"));
    ignorePopupWarnings();
    f.view->detailView()->setShowTransforms(true);
    QCoreApplication::processEvents();
    renderAt(f.view->detailView()->transformationsPopover(), 2)
        .save(screensDir() + QStringLiteral("/transformations.png"));
}

QTEST_MAIN(TestPopover)
#include "tst_popover.moc"
