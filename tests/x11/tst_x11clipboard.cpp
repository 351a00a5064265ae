#include "TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

// Checks that the private test desktop works end to end: another program's
// clipboard reaches Qt, and ours reaches another program.
class TestX11Clipboard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { ondrel::test::failOnUnexpectedWarnings(); }
    void initTestCase();
    void textFromAnotherProgramIsSeen();
    void textWeSetIsReadByAnotherProgram();
};

void TestX11Clipboard::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
}

void TestX11Clipboard::textFromAnotherProgramIsSeen()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    QSignalSpy changed(clipboard, &QClipboard::dataChanged);
    const QString text = QStringLiteral("from xclip: grüße ✓");
    QProcess xclip;
    // xclip keeps serving the selection in the background until someone else takes it.
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
    QVERIFY(xclip.waitForStarted());
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    QVERIFY(xclip.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(clipboard->text(), text, 5000);
}

void TestX11Clipboard::textWeSetIsReadByAnotherProgram()
{
    const QString text = QStringLiteral("from Qt: ünïcode");
    QGuiApplication::clipboard()->setText(text);
    // Read asynchronously: while xclip asks, this process must keep answering.
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")});
    QTRY_VERIFY_WITH_TIMEOUT(xclip.state() == QProcess::NotRunning, 5000);
    QCOMPARE(QString::fromUtf8(xclip.readAllStandardOutput()), text);
}

QTEST_MAIN(TestX11Clipboard)
#include "tst_x11clipboard.moc"
