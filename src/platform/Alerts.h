#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace ondrel::platform {

// Warnings the user must answer, and the system beep.
class Alerts
{
public:
    static constexpr int kFirstButton = 1000;
    static constexpr int kSecondButton = 1001;

    virtual ~Alerts() = default;
    // A warning with a title, optional informative text and up to two
    // buttons (none: a single "OK"); modal for `window` when given. Answers
    // kFirstButton or kSecondButton.
    virtual int warn(QWidget* window, const QString& title, const QString& informativeText,
                     const QStringList& buttons) = 0;
    virtual void beep() = 0;
};

} // namespace ondrel::platform
