#include "TrayController.h"

#include "ClipboardWatcher.h"
#include "HistoryStore.h"
#include "PopoverController.h"
#include "StatusMenu.h"
#include "Symbols.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace ondrel {

namespace {

// `pixmap` over a rim of `color` that follows its shape, `width` pixels
// wide. The orange symbol alone is too light for light panels, the faded
// grey one too weak for any: the rim keeps their outline readable.
QPixmap withRim(const QPixmap& pixmap, const QColor& color, int width)
{
    // The shape at full strength, so that a faded symbol gets the same rim
    // as a plain one. Gaps narrower than the rim fill with it: the symbol
    // then sits on a grey plate of its own outline.
    QImage shape = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < shape.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shape.scanLine(y));
        for (int x = 0; x < shape.width(); ++x)
            line[x] = qRgba(color.red(), color.green(), color.blue(), std::min(255, qAlpha(line[x]) * 2));
    }
    QImage rimmed(shape.size(), QImage::Format_ARGB32_Premultiplied);
    rimmed.fill(Qt::transparent);
    QPainter painter(&rimmed);
    for (int dy = -width; dy <= width; ++dy)
        for (int dx = -width; dx <= width; ++dx)
            if (dx * dx + dy * dy <= width * width + 1)
                painter.drawImage(dx, dy, shape);
    painter.drawPixmap(0, 0, pixmap);
    painter.end();
    return QPixmap::fromImage(rimmed);
}

// A grey half way in luminance between white and black, so that it stands
// out at 3:1 or more on white, black, and the usual light and dark panel
// colours (#EFF0F1, #31363B).
const QColor kRim(133, 133, 133);

} // namespace

TrayController::TrayController(Parts parts, bool showIcon, QObject* parent)
    : QObject(parent), m_parts(parts), m_showIcon(showIcon)
{}

TrayController::~TrayController()
{
    delete m_trayIcon;
}

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

void TrayController::start()
{
    if (!m_showIcon)
        return;
    // On X11 the icon is made even when no tray is there yet (started
    // before the panel): it docks once one appears. Elsewhere only a
    // StatusNotifier host can show it, and the toolkit looks for one only
    // as the icon is made: it is made once a host is there.
    if (QGuiApplication::platformName() == u"xcb")
        makeIcon();
    else
        watchForStatusNotifierHost();
}

void TrayController::watchForStatusNotifierHost()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // A panel starts the watcher, then registers its host with it. Asked
    // at once, so that a panel already there has the icon before start()
    // returns; then told.
    m_hostWatch = new QObject(this);
    auto* watcher =
        new QDBusServiceWatcher(kWatcherService, bus, QDBusServiceWatcher::WatchForRegistration, m_hostWatch);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this,
            [this] { checkStatusNotifierHost(false); });
    bus.connect(kWatcherService, kWatcherPath, kWatcherService,
                QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(statusNotifierHostRegistered()));
    checkStatusNotifierHost(true);
}

void TrayController::checkStatusNotifierHost(bool wait)
{
    if (!m_hostWatch)
        return;
    QDBusMessage ask = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    ask.setArguments({kWatcherService, QStringLiteral("IsStatusNotifierHostRegistered")});
    ask.setAutoStartService(false); // asking must not start a panel the bus could activate
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ask), m_hostWatch);
    const auto answered = [this, call] {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isValid() && reply.value().variant().toBool())
            statusNotifierHostRegistered();
    };
    if (!wait) {
        connect(call, &QDBusPendingCallWatcher::finished, m_hostWatch, answered);
        return;
    }
    call->waitForFinished();
    answered();
}

void TrayController::statusNotifierHostRegistered()
{
    if (!m_hostWatch)
        return;
    m_hostWatch->deleteLater(); // its call may be answering now
    m_hostWatch = nullptr;
    QDBusConnection::sessionBus().disconnect(kWatcherService, kWatcherPath, kWatcherService,
                                             QStringLiteral("StatusNotifierHostRegistered"), this,
                                             SLOT(statusNotifierHostRegistered()));
    makeIcon();
}

void TrayController::makeIcon()
{
    m_trayIcon = new QSystemTrayIcon();
    updateIcon();
    updateToolTip();
    connect(&m_parts.store, &HistoryStore::saveStatusChanged, m_trayIcon, [this] { updateToolTip(); });
    connect(&m_parts.watcher, &ClipboardWatcher::pausedChanged, m_trayIcon, [this] {
        updateIcon();
        updateToolTip();
    });
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

QIcon TrayController::icon(bool paused)
{
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48}) {
        QPixmap pixmap = symbolPixmap(u"layers", paused ? QColor(120, 120, 120) : QColor(249, 115, 22), side,
                                      1.0, SymbolWeight::medium);
        if (paused) {
            // A pause sign in the corner, outlined in the rim's grey so that
            // it shows on dark panels and light ones, over the faded symbol.
            QPixmap faded(pixmap.size());
            faded.fill(Qt::transparent);
            QPainter painter(&faded);
            painter.setOpacity(0.55);
            painter.drawPixmap(0, 0, pixmap);
            painter.setOpacity(1);
            painter.setRenderHint(QPainter::Antialiasing);
            const qreal bar = std::max(2.0, side / 7.0);
            const qreal height = side * 0.5;
            const QPointF corner(side - 3.2 * bar - 1, side - height - 1);
            painter.setPen(QPen(kRim, std::max(1.0, side / 16.0)));
            painter.setBrush(QColor(40, 40, 40));
            painter.drawRect(QRectF(corner, QSizeF(bar, height - 1)));
            painter.drawRect(QRectF(corner + QPointF(bar * 2.2, 0), QSizeF(bar, height - 1)));
            painter.end();
            pixmap = faded;
        }
        pixmap = withRim(pixmap, kRim, 1);
        icon.addPixmap(pixmap);
    }
    return icon;
}

void TrayController::updateIcon()
{
    m_trayIcon->setIcon(icon(m_parts.watcher.isPaused()));
}

void TrayController::updateToolTip()
{
    // Saving that fails shows on the icon too: the popover may stay closed for hours.
    QString tip = QStringLiteral("Ondrel");
    if (m_parts.watcher.isPaused()) {
        tip += u'\n';
        if (const auto until = m_parts.watcher.pausedUntil())
            tip +=
                tr("Recording paused until %1")
                    .arg(QLocale().toString(until->toDateTime().toLocalTime().time(), QLocale::ShortFormat));
        else
            tip += tr("Recording paused");
    }
    if (const QString problem = m_parts.store.notSavedText(); !problem.isEmpty())
        tip += u'\n' + problem;
    m_trayIcon->setToolTip(tip);
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
    auto* menu = new StatusMenu(m_parts.settings, m_parts.store, m_parts.watcher, m_parts.scheduler);
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
