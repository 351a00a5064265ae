#pragma once

// The tray application over in-memory services.

#include "AppcastUpdater.h"
#include "ManualScheduler.h"
#include "MemoryAutostart.h"
#include "MemoryClipboard.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "PopoverContent.h"
#include "PopoverWindow.h"
#include "RecordingPasteTyper.h"
#include "ScriptedAlerts.h"
#include "ScriptedHotKeyService.h"
#include "StatusMenu.h"
#include "TestSupport.h"
#include "TrayShell.h"
#include "UpdateManager.h"
#include "XkbKeyboardLayout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace ondrel::test {

class ScriptedUpdater final : public platform::Updater
{
public:
    bool automaticallyChecksForUpdates() const override { return m_checks; }
    void setAutomaticallyChecksForUpdates(bool on) override { m_checks = on; }
    bool automaticallyDownloadsUpdates() const override { return m_downloads; }
    void setAutomaticallyDownloadsUpdates(bool on) override { m_downloads = on; }
    bool canCheckForUpdates() const override { return true; }
    void checkForUpdates() override { ++checks; }
    QString unavailableReason() const override { return reason; }
    int checks = 0;
    QString reason;
    bool m_checks = false;
    bool m_downloads = false;
};

// The tray application's parts over in-memory services.
struct App
{
    platform::MemorySettings settings;
    platform::ManualScheduler scheduler;
    platform::MemoryClipboard clipboard;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    platform::ScriptedHotKeyService hotKeys;
    std::unique_ptr<platform::XkbKeyboardLayout> layout =
        platform::XkbKeyboardLayout::fromNames(QStringLiteral("us"));
    platform::ScriptedAlerts alerts;
    platform::MemoryAutostart autostart;
    ScriptedUpdater updater;
    std::unique_ptr<TrayShell> shell;
    TrayController* tray = nullptr;
    PopoverController* popover = nullptr;
    SettingsController* settingsController = nullptr;

    explicit App(int entries = 0)
    {
        shell = std::make_unique<TrayShell>(TrayShell::Services{
            settings, scheduler, clipboard, pasteTyper, focus, hotKeys, *layout, alerts, autostart, updater,
            nullptr, QStringLiteral("0.1.0"), false, QStringLiteral("headless")});
        tray = &shell->tray();
        popover = &shell->popover();
        settingsController = &shell->settings();
        QList<ClipboardItem> items;
        for (int i = 0; i < entries; ++i)
            items << ClipboardItem::makeText(QStringLiteral("entry %1").arg(i + 1), std::nullopt,
                                             std::nullopt,
                                             Timestamp::fromSecondsSinceReferenceDate(1000 - i));
        store().setItems(items);
        shell->start();
    }
    HistoryStore& store() { return shell->history().store; }
    PopoverState& state() { return shell->history().state; }
    ClipboardWatcher& watcher() { return shell->history().watcher; }
    // The settings window, opened as the menu opens it (built on the next turn).
    SettingsView* openSettings()
    {
        settingsController->openSettings();
        scheduler.runPending();
        return settingsController->settingsWindow();
    }
    bool popoverShown() const { return popover->isPopoverBuilt() && popover->popover()->isShown(); }
    // A key as X delivers it: with the key's hardware code.
    bool key(int qtKey, int evdev, Qt::KeyboardModifiers modifiers = {})
    {
        const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, quint32(evdev + 8), 0, 0);
        return popover->handleKeyDown(event);
    }
};

inline constexpr int kEvdev1 = 2, kEvdev3 = 4, kReturn = 28, kTab = 15, kEscape = 1, kDown = 108;

} // namespace ondrel::test
