#include "QtAlerts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace ondrel::platform {

int QtAlerts::warn(QWidget* window, const QString& title, const QString& informativeText,
                   const QStringList& buttons)
{
    QMessageBox box(window);
    box.setIcon(QMessageBox::Warning);
    box.setText(title);
    box.setInformativeText(informativeText);
    if (window)
        box.setWindowModality(Qt::WindowModal);
    QList<QAbstractButton*> added;
    for (const QString& label : buttons.mid(0, 2))
        added << box.addButton(label, added.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    if (added.isEmpty())
        added << box.addButton(QMessageBox::Ok);
    box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
    // Escape and closing the window answer with the first button: the
    // second ("Use Anyway") must be chosen, never fallen into.
    box.setEscapeButton(added.first());
    box.exec();
    return added.size() > 1 && box.clickedButton() == added[1] ? kSecondButton : kFirstButton;
}

void QtAlerts::beep()
{
    QApplication::beep();
}

} // namespace ondrel::platform
