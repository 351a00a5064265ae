#pragma once

#include "Clipboard.h"
#include "FocusTracker.h"
#include "HotKeyService.h"
#include "PasteTyper.h"

// The services of a session without a desktop Ondrel can talk to (no X11
// display: offscreen, or a Wayland session without XWayland). Each does
// nothing, says so where the user would otherwise wait for it, and never
// pretends to have succeeded. The history file and the popover still work.
namespace ondrel::platform {

// No clipboard to watch or write: nothing ever changes, reads find nothing,
// writes fail.
class NullClipboard final : public Clipboard
{
public:
    qint64 changeCount() const override { return 0; }
    // There are no changes to announce, so there is nothing to poll either.
    bool observeChanges(std::function<void()>) override { return true; }
    std::optional<QString> string() const override { return std::nullopt; }
    std::optional<QImage> image() const override { return std::nullopt; }
    std::optional<QList<QUrl>> fileURLs() const override { return std::nullopt; }
    QStringList types() const override { return {}; }
    QByteArray data(const QString&) const override { return {}; }
    void clearContents() override {}
    using Clipboard::setString;
    bool setString(const QString&, const QList<ClipboardFormat>&) override { return false; }
    bool setImage(const QImage&, const std::optional<EncodedImage>&) override { return false; }
    bool writeFileURLs(const QList<QUrl>&) override { return false; }
};

// No focused application can be seen.
class NullFocusTracker final : public FocusTracker
{
public:
    std::optional<ApplicationInfo> activeApplication() const override { return std::nullopt; }
    bool seesApplications() const override { return false; }
    void rememberFocus() override {}
};

// No keystroke can be sent: the first attempt says so on the console.
class NullPasteTyper final : public PasteTyper
{
public:
    void typePaste() override;
    bool canPaste() const override { return false; }

private:
    bool m_told = false;
};

// No global hotkeys: every registration is refused with HotKeyStatus::invalid (the
// caller's console line names the shortcut), and the first refusal says why.
class NullHotKeyService final : public HotKeyService
{
public:
    Registration registerHotKey(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void unregisterHotKey(quint64) override {}
    void setHotKeyHandler(HotKeyHandler) override {}
    void setRawKeyHandler(RawKeyHandler) override {}
    void setHotKeyEventsEnabled(bool) override {}
    void setRawKeyEventsEnabled(bool) override {}
    bool isTakenElsewhere(quint32, quint32) override { return false; }
    QString unavailableReason() const override;

private:
    bool m_told = false;
};

} // namespace ondrel::platform
