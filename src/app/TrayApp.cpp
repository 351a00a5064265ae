#include "TrayApp.h"

#include "AppId.h"
#include "AppcastUpdater.h"
#include "Console.h"
#include "DBusService.h"
#include "FormerFolders.h"
#include "HistoryFile.h"
#include "JsonSettings.h"
#include "PlatformServices.h"
#include "PrivateFiles.h"
#include "QtAlerts.h"
#include "QtScheduler.h"
#include "SingleInstance.h"
#include "Tracing.h"
#include "Translations.h"
#include "TrayShell.h"
#include "XdgAutostart.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLockFile>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <utility>

#include <malloc.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcApp, "ondrel.app")

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
    box.setWindowTitle(QCoreApplication::translate("ondrel::Updates", "Software Update"));
    switch (result.kind) {
    case UpdateCheckResult::Kind::available: {
        box.setIcon(QMessageBox::Information);
        box.setText(
            QCoreApplication::translate("ondrel::Updates", "Ondrel %1 is available.").arg(result.version));
        box.setInformativeText(QCoreApplication::translate("ondrel::Updates", "You have version %1.")
                                   .arg(QCoreApplication::applicationVersion()));
        QPushButton* notes = nullptr;
        if (result.releaseNotes.isValid())
            notes = box.addButton(QCoreApplication::translate("ondrel::Updates", "Release Notes"),
                                  QMessageBox::ActionRole);
        box.addButton(QMessageBox::Ok);
        box.exec();
        if (notes && box.clickedButton() == reinterpret_cast<QAbstractButton*>(notes))
            QDesktopServices::openUrl(result.releaseNotes);
        return;
    }
    case UpdateCheckResult::Kind::upToDate:
        box.setIcon(QMessageBox::Information);
        box.setText(QCoreApplication::translate("ondrel::Updates", "You're up to date!"));
        box.setInformativeText(
            QCoreApplication::translate("ondrel::Updates", "Ondrel %1 is the newest version available.")
                .arg(QCoreApplication::applicationVersion()));
        break;
    case UpdateCheckResult::Kind::noFeed:
        box.setIcon(QMessageBox::Information);
        box.setText(QCoreApplication::translate("ondrel::Updates",
                                                "Updates come from your system's package manager."));
        box.setInformativeText(QCoreApplication::translate(
            "ondrel::Updates", "This copy of Ondrel has no update feed configured."));
        break;
    case UpdateCheckResult::Kind::failed:
        box.setIcon(QMessageBox::Warning);
        box.setText(QCoreApplication::translate("ondrel::Updates", "Ondrel could not check for updates."));
        box.setInformativeText(result.error);
        break;
    }
    box.exec();
}

// One writer per history file, whatever session or runtime folder each
// start sees (a second login, ssh -X, a script that changed
// XDG_RUNTIME_DIR): two would each drop the other's pins and deletions.
bool holdHistory(QLockFile& lock, const QString& folder)
{
    if (!platform::ensurePrivateFolder(folder))
        return true;          // nothing is written there; loading the history says why
    lock.setStaleLockTime(0); // a crashed owner's lock is taken over (its process is gone)
    if (lock.tryLock(100) || lock.error() != QLockFile::LockFailedError)
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    lock.getLockInfo(&pid, &host, &application);
    qCWarning(lcApp).noquote()
        << QStringLiteral(
               "ondrel: another Ondrel (process %1) is using the history in %2; not starting a second one")
               .arg(pid)
               .arg(folder);
    return false;
}

// Where no tray shows the icon, says once how the popover opens. Only a
// hotkey that is really grabbed is worth naming; where the desktop picks the
// keys, only the keys it has said, which it says in its answer to the
// registration: the line waits for that answer, a while at most.
void sayHowToOpen(TrayShell& shell)
{
    constexpr int kAnswerWaitMs = 3000;
    auto& registrations = shell.shortcuts().registrations();
    const auto say =
        [&shell, said = std::make_shared<bool>(false)] {
            auto& registrations = shell.shortcuts().registrations();
            if (std::exchange(*said, true))
                return;
            const auto shortcut = shell.shortcuts().getShortcut(hotkeys::Name(TrayShell::kHotkeyName));
            QString opens;
            if (registrations.desktopAssignsKeys())
                opens = registrations.assignedTriggers();
            else if (shortcut && registrations.isHeld(*shortcut))
                opens = shell.shortcuts().label(*shortcut);
            if (!opens.isEmpty())
                opens += QStringLiteral(" or ");
            qCWarning(lcApp).noquote()
                << QStringLiteral("ondrel: no system tray found; the popover opens with %1`ondrel toggle`")
                       .arg(opens);
        };
    if (!registrations.desktopAssignsKeys() || registrations.hotKeys().empty() ||
        !registrations.assignedTriggers().isEmpty() || !registrations.unavailableReason().isEmpty()) {
        say();
        return;
    }
    registrations.setDescriptionHandler(say);
    QTimer::singleShot(kAnswerWaitMs, &shell.tray(), say);
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

    installConsoleFormat();
    chooseQtPlatform();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ONDREL_VERSION));
    // The tray application speaks the user's language; the commands' output
    // and the console lines stay English for the scripts that read them.
    installTranslations(app);
    QGuiApplication::setDesktopFileName(platform::appId());
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start asks the first to open its popover.
    const auto toggled = SingleInstance::send(QStringLiteral("toggle"));
    if (toggled)
        return 0;
    if (toggled.reply == SingleInstance::Reply::Unsafe) {
        qCWarning(lcApp).noquote() << toggled.message();
        return 1;
    }
    SingleInstance instance;
    QString unsafe;
    if (!instance.listen(&unsafe)) {
        qCWarning(lcApp).noquote()
            << (!unsafe.isEmpty() ? QStringLiteral("ondrel: ") + unsafe
                : toggled.reply == SingleInstance::Reply::NoAnswer
                    ? QStringLiteral("ondrel: the running Ondrel did not answer; not starting a second one")
                    : QStringLiteral("ondrel: another Ondrel is starting; not starting a second one"));
        return 1;
    }

    // Only the one running instance takes over what earlier versions kept.
    platform::adoptFormerFolders();
    HistoryFile historyFile;
    QLockFile historyLock(historyFile.folder() + QStringLiteral("/history.lock"));
    if (!holdHistory(historyLock, historyFile.folder()))
        return 1;
    auto settings = std::make_unique<platform::JsonSettings>();
    platform::QtScheduler scheduler;
    platform::QtAlerts alerts;
    PlatformServices desktop = createPlatformServices(*settings);
    platform::XdgAutostart autostart(QCoreApplication::applicationFilePath());
    if (const auto error = autostart.adoptFormerEntry())
        qCWarning(lcApp).noquote() << QStringLiteral("ondrel: launch at login: ") + *error;
    AppcastUpdater updater(*settings, scheduler, QCoreApplication::applicationVersion(), presentUpdate);

    TrayShell::Services services{*settings,
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
                                 true,
                                 desktop.name == u"x11"       ? QStringLiteral("X11")
                                 : desktop.name == u"wayland" ? QStringLiteral("Wayland")
                                                              : QStringLiteral("headless"),
                                 desktop.selection.get(),
                                 desktop.colorScheme.get()};
    TrayShell shell(services);
    QObject::connect(&shell.tray(), &TrayController::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &shell.tray(), [&shell] { shell.shutdown(); });
    QObject::connect(&instance, &SingleInstance::commandReceived, &shell.popover(),
                     [&shell](const QString& command) {
                         if (command == u"toggle")
                             shell.popover().togglePopover();
                     });
    instance.setCallHandler([&shell](const SingleInstance::Call& call, SingleInstance::Respond reply) {
        shell.service().run(call.args, call.input, [reply = std::move(reply)](commands::Answer answer) {
            reply({answer.code, std::move(answer.out), std::move(answer.err)});
        });
    });
    DBusService dbus(shell.service());
    dbus.publish(QDBusConnection::sessionBus());
    quitOnSignals();
    std::unique_ptr<PaintTracer> paintTracer;
    if (tracing())
        shell.popover().whenPopoverBuilt([&paintTracer](PopoverWindow& popover) {
            paintTracer = std::make_unique<PaintTracer>(&popover);
        });
    shell.start();
    std::unique_ptr<MenuTracer> menuTracer;
    if (tracing()) {
        menuTracer = std::make_unique<MenuTracer>();
        QTimer::singleShot(0, [] { trace("ready"); });
        shell.shortcuts().onKeyDown(hotkeys::Name(TrayShell::kHotkeyName), [] { trace("hotkey-down"); });
        // A paste is typed, or given up on (no window to go to).
        QObject::connect(&shell.history().paster, &EntryPaster::pasteKeystrokePosted,
                         [] { trace("paste-done"); });
        // A StatusNotifier host asked for the menu the icon exports.
        if (QMenu* menu = shell.tray().trayIcon() ? shell.tray().trayIcon()->contextMenu() : nullptr)
            QObject::connect(menu, &QMenu::aboutToShow, [] { trace("menu-about-to-show"); });
    }
    if (!shell.tray().trayIcon() || !QSystemTrayIcon::isSystemTrayAvailable())
        sayHowToOpen(shell);
    return app.exec();
}

} // namespace ondrel
