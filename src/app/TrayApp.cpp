#include "TrayApp.h"

#include "AppcastUpdater.h"
#include "FormerFolders.h"
#include "HistoryFile.h"
#include "JsonSettings.h"
#include "PlatformServices.h"
#include "QtAlerts.h"
#include "QtScheduler.h"
#include "Registry.h"
#include "SingleInstance.h"
#include "Tracing.h"
#include "TrayController.h"
#include "XdgAutostart.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>

#include <csignal>
#include <cstdio>

#include <malloc.h>
#include <unistd.h>

namespace ondrel {

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the program the way "Quit" does.
void quitOnSignals()
{
    if (::pipe(g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void presentUpdate(const UpdateCheckResult& result)
{
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Software Update"));
    switch (result.kind) {
    case UpdateCheckResult::Kind::available: {
        box.setIcon(QMessageBox::Information);
        box.setText(QStringLiteral("Ondrel %1 is available.").arg(result.version));
        box.setInformativeText(
            QStringLiteral("You have version %1.").arg(QCoreApplication::applicationVersion()));
        QPushButton* notes = nullptr;
        if (result.releaseNotes.isValid())
            notes = box.addButton(QStringLiteral("Release Notes"), QMessageBox::ActionRole);
        box.addButton(QMessageBox::Ok);
        box.exec();
        if (notes && box.clickedButton() == reinterpret_cast<QAbstractButton*>(notes))
            QDesktopServices::openUrl(result.releaseNotes);
        return;
    }
    case UpdateCheckResult::Kind::upToDate:
        box.setIcon(QMessageBox::Information);
        box.setText(QStringLiteral("You're up to date!"));
        box.setInformativeText(QStringLiteral("Ondrel %1 is the newest version available.")
                                   .arg(QCoreApplication::applicationVersion()));
        break;
    case UpdateCheckResult::Kind::noFeed:
        box.setIcon(QMessageBox::Information);
        box.setText(QStringLiteral("Updates come from your system's package manager."));
        box.setInformativeText(QStringLiteral("This copy of Ondrel has no update feed configured."));
        break;
    case UpdateCheckResult::Kind::failed:
        box.setIcon(QMessageBox::Warning);
        box.setText(QStringLiteral("Ondrel could not check for updates."));
        box.setInformativeText(result.error);
        break;
    }
    box.exec();
}

} // namespace

int runTrayApp(int argc, char** argv)
{
    // Large blocks (copied texts and images, encoded history files) come
    // and go on several threads. A fixed threshold keeps each one in its own
    // mapping, returned to the system when freed; glibc's default raises the
    // threshold after the first frees and then keeps such blocks in
    // per-thread heaps, fragmented, for the life of the program.
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);

    chooseQtPlatform();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ONDREL_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ondrel"));
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start asks the first to open its popover.
    if (SingleInstance::send(QStringLiteral("toggle")))
        return 0;
    SingleInstance instance;
    if (!instance.listen()) {
        std::fprintf(stderr, "ondrel: another Ondrel is starting; not starting a second one\n");
        return 1;
    }

    // Only the one running instance takes over what earlier versions kept.
    platform::adoptFormerFolders();
    auto settings = std::make_unique<platform::JsonSettings>();
    platform::QtScheduler scheduler;
    platform::QtAlerts alerts;
    PlatformServices desktop = createPlatformServices(*settings);
    platform::XdgAutostart autostart(QCoreApplication::applicationFilePath());
    AppcastUpdater updater(*settings, QCoreApplication::applicationVersion(), presentUpdate);
    HistoryFile historyFile;

    TrayController::Services services{*settings,
                                      scheduler,
                                      *desktop.clipboard,
                                      *desktop.pasteTyper,
                                      *desktop.focus,
                                      *desktop.hotKeys,
                                      *desktop.layout,
                                      alerts,
                                      autostart,
                                      updater,
                                      &historyFile,
                                      QCoreApplication::applicationVersion(),
                                      true};
    TrayController tray(services);
    QObject::connect(&tray, &TrayController::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &tray, &TrayController::shutdown);
    QObject::connect(&instance, &SingleInstance::commandReceived, &tray, [&tray](const QString& command) {
        if (command == u"toggle")
            tray.togglePopover();
    });
    quitOnSignals();
    std::unique_ptr<PaintTracer> paintTracer;
    if (tracing())
        tray.whenPopoverBuilt([&paintTracer](PopoverWindow& popover) {
            paintTracer = std::make_unique<PaintTracer>(&popover);
        });
    tray.start();
    std::unique_ptr<MenuTracer> menuTracer;
    if (tracing()) {
        menuTracer = std::make_unique<MenuTracer>();
        QTimer::singleShot(0, [] { trace("ready"); });
        tray.shortcuts().onKeyDown(hotkeys::Name(TrayController::kHotkeyName), [] { trace("hotkey-down"); });
        // A StatusNotifier host asked for the menu the icon exports.
        if (QMenu* menu = tray.trayIcon() ? tray.trayIcon()->contextMenu() : nullptr)
            QObject::connect(menu, &QMenu::aboutToShow, [] { trace("menu-about-to-show"); });
    }
    if (!tray.trayIcon() || !QSystemTrayIcon::isSystemTrayAvailable()) {
        const hotkeys::Name hotkey(TrayController::kHotkeyName);
        const auto shortcut = tray.shortcuts().getShortcut(hotkey);
        // Only a hotkey that is really grabbed is worth naming; where the
        // desktop picks the keys, only the keys it has said.
        const auto& registrations = tray.shortcuts().registrations();
        QString opens;
        if (registrations.desktopAssignsKeys())
            opens = registrations.assignedTriggers();
        else if (shortcut && registrations.isHeld(*shortcut))
            opens = tray.shortcuts().label(*shortcut);
        if (!opens.isEmpty())
            opens += QStringLiteral(" or ");
        std::fprintf(stderr, "ondrel: no system tray found; the popover opens with %s`ondrel toggle`\n",
                     qPrintable(opens));
    }
    const int code = app.exec();
    // Language guesses still running use patterns freed at exit.
    QThreadPool::globalInstance()->waitForDone();
    if (unstoppableWorkRunning()) {
        // Everything is saved by now; waiting for a runaway image decode, or
        // destroying the application under it, is all that is left to do.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

} // namespace ondrel
