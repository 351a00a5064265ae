#include "Clipboard.h"
#include "FocusTracker.h"
#include "HotKeyService.h"
#include "KeyboardLayout.h"
#include "MemorySettings.h"
#include "PasteTyper.h"
#include "PlatformServices.h"
#include "SettingsKeys.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

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
    platform::MemorySettings settings;
    QVERIFY(keepClipboardContents(settings)); // on unless switched off
    settings.setBool(keys::keepClipboardContents, false);
    QVERIFY(!keepClipboardContents(settings));
    QCOMPARE(pasteKeystroke(settings), QString());
    settings.setString(keys::pasteKeystroke, QStringLiteral("shift+insert"));
    QCOMPARE(pasteKeystroke(settings), QStringLiteral("shift+insert"));
}

void TestPlatformServices::factoryPicksThePlatformsSet()
{
    if (QGuiApplication::platformName() != u"xcb" && QGuiApplication::platformName() != u"wayland")
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "^ondrel: (no X11 display|this build has no X11 support) ")));
    platform::MemorySettings settings;
    const PlatformServices services = createPlatformServices(settings);
    const bool onX11 = QGuiApplication::platformName() == u"xcb";
    const bool onWayland = QGuiApplication::platformName() == u"wayland";
    QCOMPARE(services.name, onX11       ? QStringLiteral("x11")
                            : onWayland ? QStringLiteral("wayland")
                                        : QStringLiteral("headless"));
    QVERIFY(services.clipboard && services.focus && services.pasteTyper && services.hotKeys &&
            services.layout);
    QCOMPARE(services.background != nullptr,
             onX11 || onWayland); // the clipboard keeper; the desktop connection
    // Key labels come from a real keyboard layout either way.
    QCOMPARE(services.layout->character(9), std::optional<QString>(QStringLiteral("v")));
}

void TestPlatformServices::headlessServicesRefuseInsteadOfPretending()
{
    PlatformServices services = createHeadlessServices();
    QVERIFY(!services.clipboard->setString(QStringLiteral("x")));
    QCOMPARE(services.clipboard->string(), std::nullopt);
    QCOMPARE(services.clipboard->changeCount(), 0);
    QCOMPARE(services.focus->activeApplication().has_value(), false);
    QVERIFY(!services.focus->seesApplications()); // the settings say exclusions cannot work
    // Each refusal says so on the console, once.
    QTest::ignoreMessage(QtWarningMsg,
                         "ondrel: this desktop offers no global hotkeys; bind a key to `ondrel toggle`");
    for (int i = 0; i < 2; ++i) {
        const auto registration = services.hotKeys->registerHotKey(9, 0x300, 1);
        QCOMPARE(registration.status, platform::HotKeyStatus::invalid);
        QVERIFY(!registration.reference);
    }
    QTest::ignoreMessage(QtWarningMsg,
                         "ondrel: this desktop takes no synthetic keystrokes; paste with Ctrl+V yourself");
    services.pasteTyper->typePaste();
    services.pasteTyper->typePaste();
    services.focus->rememberFocus();
}

QTEST_MAIN(TestPlatformServices)
#include "tst_platformservices.moc"
