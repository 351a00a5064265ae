#include "HotKeyService.h"
#include "KeyboardLayout.h"
#include "KeystrokePoster.h"
#include "MemoryUserDefaults.h"
#include "Pasteboard.h"
#include "PlatformServices.h"
#include "PreferenceKeys.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QGuiApplication>
#include <QTest>

using namespace ondrel;

// Built three times: on the offscreen platform (ui), inside the private X11
// desktop (x11) and in a Wayland compositor with data control (wayland),
// where the factory must pick that platform's set.
class TestPlatformServices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void settingsAsRead();
    void factoryPicksThePlatformsSet();
    void headlessServicesRefuseInsteadOfPretending();
};

void TestPlatformServices::settingsAsRead()
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

void TestPlatformServices::factoryPicksThePlatformsSet()
{
    platform::MemoryUserDefaults defaults;
    const PlatformServices services = createPlatformServices(defaults);
    const bool onX11 = QGuiApplication::platformName() == u"xcb";
    const bool onWayland = QGuiApplication::platformName() == u"wayland";
    QCOMPARE(services.name, onX11       ? QStringLiteral("x11")
                            : onWayland ? QStringLiteral("wayland")
                                        : QStringLiteral("headless"));
    QVERIFY(services.pasteboard && services.workspace && services.keystrokes && services.hotKeys &&
            services.layout);
    QCOMPARE(services.background != nullptr,
             onX11 || onWayland); // the clipboard keeper; the desktop connection
    // Key labels come from a real keyboard layout either way.
    QCOMPARE(services.layout->character(9), std::optional<QString>(QStringLiteral("v")));
}

void TestPlatformServices::headlessServicesRefuseInsteadOfPretending()
{
    PlatformServices services = createHeadlessServices();
    QVERIFY(!services.pasteboard->setString(QStringLiteral("x")));
    QCOMPARE(services.pasteboard->string(), std::nullopt);
    QCOMPARE(services.pasteboard->changeCount(), 0);
    QCOMPARE(services.workspace->frontmostApplication().has_value(), false);
    const auto registration = services.hotKeys->registerHotKey(9, 0x300, 1, 1);
    QCOMPARE(registration.status, platform::HotKeyService::kParamErr);
    QVERIFY(!registration.reference);
    services.keystrokes->postPaste(); // says so on the console, once
    services.workspace->rememberFocus();
}

QTEST_MAIN(TestPlatformServices)
#include "tst_platformservices.moc"
