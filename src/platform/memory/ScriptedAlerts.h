#pragma once

#include "Alerts.h"

#include <QList>

namespace ondrel::platform {

// Alerts answered in advance; every one shown and every beep is recorded.
class ScriptedAlerts final : public Alerts
{
public:
    struct Shown
    {
        QString title;
        QString informativeText;
        QStringList buttons;
    };

    int warn(QWidget*, const QString& title, const QString& informativeText,
             const QStringList& buttons) override
    {
        m_shown.append({title, informativeText, buttons});
        return m_answer;
    }
    void beep() override { ++m_beeps; }

    void answerWith(int response) { m_answer = response; }
    const QList<Shown>& shown() const { return m_shown; }
    int beeps() const { return m_beeps; }

private:
    int m_answer = kFirstButton;
    QList<Shown> m_shown;
    int m_beeps = 0;
};

} // namespace ondrel::platform
