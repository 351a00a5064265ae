#include "HistoryList.h"

#include "Symbols.h"
#include "Theme.h"

#include <QMenu>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

// A row's menu: edit, pin, leave its application out of the history, delete.
namespace ondrel {

namespace {

// Menu entries marked "destructive" are drawn in red.
class MenuStyle final : public QProxyStyle
{
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_MenuItem)
            if (const auto* menu = qobject_cast<const QMenu*>(widget))
                if (const QAction* action = menu->actionAt(option->rect.center());
                    action && action->property("destructive").toBool()) {
                    QStyleOptionMenuItem copy = *qstyleoption_cast<const QStyleOptionMenuItem*>(option);
                    for (auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText,
                                      QPalette::HighlightedText})
                        copy.palette.setColor(role, kDestructive);
                    QProxyStyle::drawControl(element, &copy, painter, widget);
                    return;
                }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    static inline const QColor kDestructive{220, 38, 38};
};

QStyle* menuStyle()
{
    static QStyle* const style = new MenuStyle; // lives as long as the program
    return style;
}

QIcon menuIcon(const QString& symbol, const QColor& color)
{
    QIcon icon;
    for (qreal dpr : {1.0, 2.0})
        icon.addPixmap(symbolPixmap(symbol, color, 14, dpr));
    return icon;
}

} // namespace

QMenu* HistoryList::contextMenuFor(int row)
{
    const ClipboardItem* found = itemAt(row);
    if (!found)
        return nullptr;
    const ClipboardItem item = *found;
    auto* menu = new QMenu(this);
    menu->setStyle(menuStyle());
    menu->setAccessibleName(tr("Entry actions"));
    // The menu keeps the desktop's own colours: in the dark look its icons
    // take the menu's text colour, which reads on whatever it is.
    const QColor ink = m_theme.isDark() ? menu->palette().color(QPalette::Text) : ondrel::ink();
    QAction* edit = menu->addAction(menuIcon(QStringLiteral("pencil"), ink), tr("Edit"));
    connect(edit, &QAction::triggered, this, [this, item] {
        if (m_actions.openDetail)
            m_actions.openDetail(item);
    });
    QAction* pin =
        menu->addAction(menuIcon(item.isPinned() ? QStringLiteral("pin-off") : QStringLiteral("pin"), ink),
                        item.isPinned() ? tr("Unpin") : tr("Pin"));
    connect(pin, &QAction::triggered, this, [this, id = item.id()] {
        if (m_actions.togglePin)
            m_actions.togglePin(id);
    });
    if (const auto& app = item.appName(); app && m_actions.exclude) {
        QAction* exclude =
            menu->addAction(menuIcon(QStringLiteral("circle-x"), ink), tr("Don't Record from %1").arg(*app));
        connect(exclude, &QAction::triggered, this, [this, app = *app] { m_actions.exclude(app); });
    }
    menu->addSeparator();
    QAction* remove =
        menu->addAction(menuIcon(QStringLiteral("trash"), MenuStyle::kDestructive), tr("Delete"));
    remove->setProperty("destructive", true);
    connect(remove, &QAction::triggered, this, [this, id = item.id()] {
        if (m_actions.remove)
            m_actions.remove(id);
    });
    return menu;
}

} // namespace ondrel
