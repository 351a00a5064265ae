#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel::platform {

// The application that holds the keyboard focus.
struct ApplicationInfo
{
    std::optional<QString> name;
    std::optional<QImage> icon;
    // The ids the desktop knows it by, as far as it tells: its desktop
    // entry's id, X11's WM_CLASS class and instance and its executable, or
    // a Wayland app_id. What the settings leave applications out by.
    QStringList ids = {};
};

class FocusTracker
{
public:
    virtual ~FocusTracker() = default;
    // None when no application has the focus; never this program itself.
    virtual std::optional<ApplicationInfo> activeApplication() const = 0;
    // False where the desktop never says which application has the focus:
    // copies then have no source, and applications cannot be left out.
    virtual bool seesApplications() const { return true; }
    // Notes the window that has the keyboard now, before one of ours takes
    // it, so that the paste keystroke can be sent back there.
    virtual void rememberFocus() = 0;
    // Gives the keyboard to one of our windows (a native window id) as the
    // user's own doing: right after we moved the focus away ourselves, a
    // window manager that prevents focus stealing refuses the toolkit's
    // ordinary request. False when this tracker cannot; ask the toolkit.
    virtual bool activate(quintptr window)
    {
        Q_UNUSED(window);
        return false;
    }
};

} // namespace ondrel::platform
