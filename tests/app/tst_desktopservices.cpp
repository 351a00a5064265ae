#include "DesktopServices.h"
#include "MemoryUserDefaults.h"
#include "PreferenceKeys.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QTest>

using namespace ondrel;

class TestDesktopServices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void settingsAsRead();
    void noX11NoServices();
};

void TestDesktopServices::settingsAsRead()
{
    platform::MemoryUserDefaults defaults;
    QVERIFY(keepClipboardContents(defaults)); // on unless switched off
    defaults.setBool(keys::keepClipboardContents, false);
    QVERIFY(!keepClipboardContents(defaults));
    defaults.setBool(keys::keepClipboardContents, true);
    QVERIFY(keepClipboardContents(defaults));

    QCOMPARE(pasteKeystroke(defaults), QString());
    defaults.setString(keys::pasteKeystroke, QStringLiteral("shift+insert"));
    QCOMPARE(pasteKeystroke(defaults), QStringLiteral("shift+insert"));
}

void TestDesktopServices::noX11NoServices()
{
    platform::MemoryUserDefaults defaults;
    QCOMPARE(createDesktopServices(defaults), nullptr); // this test runs on the offscreen platform
}

QTEST_MAIN(TestDesktopServices)
#include "tst_desktopservices.moc"
