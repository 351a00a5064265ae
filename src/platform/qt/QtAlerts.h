#pragma once

#include "Alerts.h"

namespace ondrel::platform {

// Warnings as message boxes (modal for the window when there is one) and
// the desktop's beep.
class QtAlerts final : public Alerts
{
public:
    int warn(QWidget* window, const QString& title, const QString& informativeText,
             const QStringList& buttons) override;
    void beep() override;
};

} // namespace ondrel::platform
