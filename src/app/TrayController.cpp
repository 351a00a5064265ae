#include "TrayController.h"

#include "PopoverController.h"
#include "StatusMenu.h"
#include "Symbols.h"

#include <QCursor>
#include <QGuiApplication>

namespace ondrel {

TrayController::TrayController(Parts parts, bool showIcon, QObject* parent)
    : QObject(parent), m_parts(parts), m_showIcon(showIcon)
{}

TrayController::~TrayController()
{
    delete m_trayIcon;
}

void TrayController::start()
{
    // Made even when no tray is there yet (started before the panel): on
    // X11 the icon docks once one appears. Elsewhere only a StatusNotifier
    // host can show it, and it must be there already.
    if (!m_showIcon ||
        (!QSystemTrayIcon::isSystemTrayAvailable() && QGuiApplication::platformName() != u"xcb"))
        return;
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48})
        icon.addPixmap(symbolPixmap(u"layers", QColor(249, 115, 22), side, 1.0, SymbolWeight::medium));
    m_trayIcon = new QSystemTrayIcon(icon);
    m_trayIcon->setToolTip(QStringLiteral("Ondrel"));
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &TrayController::trayIconActivated);
    // Off X11 the tray is a StatusNotifier host, and some (waybar) show only
    // a menu the item exports, never asking the program on a right click.
    // Its entries stay the same objects while it lives (the host names them
    // by number, and a click on a number gone would do nothing); only the
    // updates switch is brought up to date when it opens.
    if (QGuiApplication::platformName() != u"xcb") {
        m_trayMenu.reset(buildStatusMenu());
        connect(m_trayMenu.get(), &QMenu::aboutToShow, m_trayMenu.get(), &StatusMenu::syncAutomaticUpdates);
        m_trayIcon->setContextMenu(m_trayMenu.get());
    }
    m_trayIcon->show();
}

void TrayController::trayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Context) {
        showStatusMenu();
        return;
    }
    // Every left click toggles: the tray reports the second of two quick
    // clicks as a double click.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
        m_parts.popover.toggleFromTray();
}

StatusMenu* TrayController::buildStatusMenu()
{
    auto* menu = new StatusMenu(m_parts.settings, m_parts.store, m_parts.scheduler);
    connect(menu, &StatusMenu::quitRequested, this, &TrayController::quitRequested);
    return menu;
}

void TrayController::showStatusMenu()
{
    m_parts.popover.dismiss();
    StatusMenu* menu = buildStatusMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(QCursor::pos());
}

} // namespace ondrel
