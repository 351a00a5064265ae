#include "AppFixture.h"
#include "ExcludedAppsBox.h"
#include "RowContent.h"
#include "SettingsKeys.h"
#include "ShortcutField.h"
#include "ShortcutRecorder.h"
#include "Translations.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTime>
#include <QToolButton>
#include <QTranslator>

using namespace ondrel;
using namespace ondrel::test;

// The status menu and the settings window it opens.
class TestStatusMenu : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { failOnUnexpectedWarnings(); }
    void statusMenu();
    void speaksTheUsersLanguage_data();
    void speaksTheUsersLanguage();
    void settingsWindow();
    void settingsWithoutGlobalHotkeys();
    void launchAtLoginFailureDoesNotLoop();
    void updateManagerDefaults();
};

void TestStatusMenu::statusMenu()
{
    App app(3);
    QList<ClipboardItem> items = app.store().items();
    items[1].setPinned(true);
    app.store().setItems(items);
    std::unique_ptr<QMenu> menu(app.tray->buildStatusMenu());
    QStringList titles;
    for (QAction* a : menu->actions())
        titles << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(titles, (QStringList{QStringLiteral("Settings..."), QStringLiteral("-"),
                                  QStringLiteral("Check for Updates..."), QStringLiteral("Automatic Updates"),
                                  QStringLiteral("-"), QStringLiteral("Pause Recording"),
                                  QStringLiteral("Clear History"), QStringLiteral("-"),
                                  QStringLiteral("Quit Ondrel")}));
    QCOMPARE(menu->actions().at(0)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    app.scheduler.runPending();
    QVERIFY(menu->actions().at(3)->isChecked()); // first launch: automatic updates on

    menu->actions().at(3)->trigger();
    app.scheduler.runPending();
    QVERIFY(!app.settingsController->updateManager()->automaticallyChecksForUpdates());
    QVERIFY(!app.updater.m_downloads);
    QCOMPARE(app.settings.value(keys::automaticallyUpdate), QVariant(false));
    std::unique_ptr<QMenu> again(app.tray->buildStatusMenu());
    app.scheduler.runPending();
    QVERIFY(!again->actions().at(3)->isChecked());

    menu->actions().at(2)->trigger();
    app.scheduler.runPending();
    QCOMPARE(app.updater.checks, 1);

    // Pausing shows in the menus and in the popover's footer, however it
    // was paused, and ends there too.
    QLabel* paused = app.popover->popover()->content()->pausedFooter();
    QVERIFY(paused->isHidden());
    menu->actions().at(5)->trigger();
    QVERIFY(app.watcher().isPaused());
    QVERIFY(menu->actions().at(5)->isChecked());
    QVERIFY(!paused->isHidden());
    QCOMPARE(paused->text(), QStringLiteral("Recording paused"));
    app.watcher().resume();
    QVERIFY(!menu->actions().at(5)->isChecked());
    QVERIFY(paused->isHidden());
    app.watcher().pause(std::chrono::seconds(60));
    std::unique_ptr<QMenu> later(app.tray->buildStatusMenu());
    QVERIFY(later->actions().at(5)->isChecked());
    app.scheduler.advance(60);
    QVERIFY(!later->actions().at(5)->isChecked() && !menu->actions().at(5)->isChecked());

    menu->actions().at(6)->trigger(); // no question asked
    QCOMPARE(app.store().items().size(), 1);
    QVERIFY(app.store().items().first().isPinned());

    // Opening the menu closes the popover and its key monitor.
    app.popover->togglePopover();
    app.tray->showStatusMenu();
    QVERIFY(!app.popoverShown());
    QVERIFY(!app.popover->hasKeyMonitor());
    if (auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
        shown->close();
    app.tray->trayIconActivated(QSystemTrayIcon::Trigger);
    QVERIFY(app.popoverShown());
}

void TestStatusMenu::speaksTheUsersLanguage_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("shown"); // menu entry, search field, age, hotkey, a time
    const QStringList german{QStringLiteral("Verlauf leeren"),
                             QStringLiteral("Zwischenablage durchsuchen..."), QStringLiteral("5 Min."),
                             QStringLiteral("Umschalt+Super+V"), QStringLiteral("00:05")};
    const QStringList english{QStringLiteral("Clear History"), QStringLiteral("Search clipboard..."),
                              QStringLiteral("5m"), QStringLiteral("Shift+Super+V"), QString()};
    QTest::newRow("LANGUAGE alone") << QStringList{QStringLiteral("LANGUAGE=de")} << german;
    QTest::newRow("LANG with a territory") << QStringList{QStringLiteral("LANG=de_AT.UTF-8")} << german;
    QTest::newRow("LANGUAGE before LANG")
        << QStringList{QStringLiteral("LANGUAGE=fr:de"), QStringLiteral("LANG=de_DE.UTF-8")}
        << QStringList{QStringLiteral("Effacer l'historique"),
                       QStringLiteral("Rechercher dans le presse-papiers..."), QStringLiteral("5 min"),
                       QStringLiteral("Maj+Super+V"), QStringLiteral("00:05")};
    QTest::newRow("LC_MESSAGES before LANG")
        << QStringList{QStringLiteral("LC_MESSAGES=es_ES.UTF-8"), QStringLiteral("LANG=de_DE.UTF-8")}
        << QStringList{QStringLiteral("Vaciar el historial"), QStringLiteral("Buscar en el portapapeles..."),
                       QStringLiteral("5 min"), QStringLiteral("Mayús+Súper+V"), QStringLiteral("0:05")};
    QTest::newRow("LC_ALL before LC_MESSAGES")
        << QStringList{QStringLiteral("LC_ALL=de_DE.UTF-8"), QStringLiteral("LC_MESSAGES=es_ES.UTF-8")}
        << german;
    QTest::newRow("a language without a catalogue is skipped")
        << QStringList{QStringLiteral("LANGUAGE=pt_BR:de")} << german;
    QTest::newRow("English stops the list") << QStringList{QStringLiteral("LANGUAGE=en_GB:de")} << english;
    QTest::newRow("C locale") << QStringList{QStringLiteral("LANG=C.UTF-8")} << english;
}

// The tray menu, the popover, row ages, key names and times follow the
// language the environment asks for, as gettext reads it.
void TestStatusMenu::speaksTheUsersLanguage()
{
    QFETCH(QStringList, environment);
    QFETCH(QStringList, shown);
    const char* const names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<const char*, QByteArray>> saved;
    for (const char* name : names) {
        saved.emplace_back(name, qgetenv(name));
        qunsetenv(name);
    }
    for (const QString& setting : environment)
        qputenv(setting.section(u'=', 0, 0).toUtf8().constData(), setting.section(u'=', 1).toUtf8());
    const QLocale before;
    installTranslations(*qApp);
    const auto restore = qScopeGuard([&] {
        qDeleteAll(qApp->findChildren<QTranslator*>());
        QLocale::setDefault(before);
        for (const auto& [name, value] : saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    });

    App app(1);
    std::unique_ptr<QMenu> menu(app.tray->buildStatusMenu());
    QCOMPARE(menu->actions().at(6)->text(), shown[0]);
    app.popover->togglePopover();
    QCOMPARE(app.popover->popover()->content()->searchField()->placeholderText(), shown[1]);
    const Timestamp now = Timestamp::now();
    QCOMPARE(
        row::ageText(Timestamp::fromSecondsSinceReferenceDate(now.secondsSinceReferenceDate() - 300), now),
        shown[2]);
    QCOMPARE(app.openSettings()->recorder()->field()->text(), shown[3]);
    // Times (the end of a pause in the tray's tooltip) as the language writes
    // them, whatever the system locale; English leaves the system's.
    if (!shown[4].isEmpty())
        QCOMPARE(QLocale().toString(QTime(0, 5), QLocale::ShortFormat), shown[4]);
}

void TestStatusMenu::settingsWindow()
{
    App app;
    app.settingsController->openSettings();
    QVERIFY(!app.settingsController->settingsWindow());
    app.scheduler.runPending();
    SettingsView* settings = app.settingsController->settingsWindow();
    QVERIFY(settings);
    QVERIFY(settings->isVisible());
    QCOMPARE(settings->size(), QSize(350, 514));
    // Under build/<preset>/screens, for a look by eye (and the README's).
    const QString screens = QStringLiteral(QT_TESTCASE_BUILDDIR "/../../screens/");
    QVERIFY(QDir().mkpath(screens));
    QVERIFY(settings->grab().save(screens + QStringLiteral("settings.png")));
    QStringList labels;
    for (const QLabel* l : settings->findChildren<QLabel*>())
        labels << l->text();
    for (const char* text : {"Appearance:", "Accent Color", "Global Hotkey:", "Max History Items:", "Version",
                             "0.1.0", "Made by", "Kestrune"})
        QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
    // Mouse selections are recorded only once the box is ticked.
    QCheckBox* selections = settings->recordSelectionToggle();
    QCOMPARE(selections->text(), QStringLiteral("Also record text selected with the mouse"));
    QVERIFY(!selections->isChecked());
    selections->click();
    QVERIFY(app.settings.boolean(keys::recordPrimarySelection));

    // The window opens with the focus on the look's picker; the next Tab
    // goes to the first swatch, which shows it: Space would change the accent.
    QVERIFY(QTest::qWaitForWindowActive(settings));
    QCOMPARE(settings->focusWidget(), settings->appearancePicker());
    QTest::keyClick(settings->appearancePicker(), Qt::Key_Tab);
    QWidget* focused = settings->focusWidget();
    QVERIFY(focused);
    QCOMPARE(focused->toolTip(), QStringLiteral("Grey"));
    const QImage ringed = focused->grab().toImage();
    QTest::keyClick(focused, Qt::Key_Tab);
    QVERIFY(!focused->hasFocus());
    QVERIFY(focused->grab().toImage() != ringed);

    // Swatches: coral checked at first; butter when clicked.
    QAbstractButton* butter = nullptr;
    for (QAbstractButton* b : settings->findChildren<QAbstractButton*>())
        if (b->toolTip() == u"Butter")
            butter = b;
    QVERIFY(butter);
    QCOMPARE(app.shell->theme().accentColor(), AccentColor::coral);
    QTest::mouseClick(butter, Qt::LeftButton);
    QCOMPARE(app.settings.value(keys::accentColor), QVariant(QStringLiteral("Butter")));

    // The look: Dark in its picker turns the open window dark at once; Light
    // gives it the desktop's colours back.
    QComboBox* look = settings->appearancePicker();
    QCOMPARE(look->currentData().toString(), QStringLiteral("System"));
    const QColor desktopWindow = settings->palette().color(QPalette::Window);
    look->setCurrentIndex(2);
    Q_EMIT look->activated(2);
    QCOMPARE(app.settings.string(keys::appearance), std::optional<QString>(QStringLiteral("Dark")));
    QVERIFY(app.shell->theme().isDark());
    QCOMPARE(settings->palette().color(QPalette::Window), palette(AccentColor::butter, true).faint);
    QVERIFY(settings->grab().save(screens + QStringLiteral("settings-dark.png")));
    look->setCurrentIndex(1);
    Q_EMIT look->activated(1);
    QVERIFY(!app.shell->theme().isDark());
    QCOMPARE(settings->palette().color(QPalette::Window), desktopWindow);

    // The history size.
    QComboBox* picker = settings->historyPicker();
    QCOMPARE(picker->currentText(), QStringLiteral("50"));
    picker->setCurrentIndex(0);
    Q_EMIT picker->activated(0);
    QCOMPARE(app.settings.value(keys::maxHistoryItems).toInt(), 25);
    app.settings.setInteger(keys::maxHistoryItems, 30);
    QCOMPARE(picker->currentIndex(), -1); // shown as none of them, kept as it is
    QCOMPARE(app.settings.integer(keys::maxHistoryItems), 30);

    // Applications left out: the history's applications to pick from (not
    // those left out already), or an id typed in; removed again.
    QList<ClipboardItem> items;
    for (const char* app : {"Editor", "editor", "Terminal", "Browser"})
        items << ClipboardItem::makeText(QStringLiteral("copied"), QString::fromUtf8(app));
    app.store().setItems(items);
    app.settings.setStringList(keys::excludedApplications, {QStringLiteral("browser")});
    ExcludedAppsBox* exclusions = settings->exclusions();
    QVERIFY(!exclusions->note());
    const auto texts = [](const QAbstractItemModel* model) {
        QStringList out;
        for (int i = 0; i < model->rowCount(); ++i)
            out << model->index(i, 0).data().toString();
        return out;
    };
    const auto listed = [&] { return texts(exclusions->list()->model()); };
    const auto offered = [&] { return texts(exclusions->picker()->model()); };
    QCOMPARE(listed(), QStringList{QStringLiteral("browser")});
    QCOMPARE(offered(), (QStringList{QStringLiteral("Editor"), QStringLiteral("Terminal")}));
    exclusions->picker()->setCurrentIndex(1);
    exclusions->addButton()->click();
    exclusions->picker()->setCurrentText(QStringLiteral(" org.keepassxc.KeePassXC "));
    QTest::keyClick(exclusions->picker()->lineEdit(), Qt::Key_Return);
    QCOMPARE(app.settings.stringList(keys::excludedApplications),
             (QStringList{QStringLiteral("browser"), QStringLiteral("Terminal"),
                          QStringLiteral("org.keepassxc.KeePassXC")}));
    QCOMPARE(offered(), QStringList{QStringLiteral("Editor")});
    QVERIFY(!exclusions->removeButton()->isEnabled());
    exclusions->list()->setCurrentRow(0);
    exclusions->removeButton()->click();
    QCOMPARE(listed(), (QStringList{QStringLiteral("Terminal"), QStringLiteral("org.keepassxc.KeePassXC")}));
    QCOMPARE(offered(), (QStringList{QStringLiteral("Browser"), QStringLiteral("Editor")}));

    // The tray menu's keys are ours even while that menu is closed.
    hotkeys::ShortcutField* field = settings->recorder()->field();
    QVERIFY(QTest::qWaitForWindowActive(settings));
    QTest::mouseClick(field, Qt::LeftButton);
    QVERIFY(field->isRecording());
    QTest::keyClick(field, Qt::Key_Comma, Qt::ControlModifier);
    QCOMPARE(app.alerts.shown().size(), 1);
    QVERIFY2(app.alerts.shown().first().title.contains(QStringLiteral("\u201CSettings...\u201D")),
             qPrintable(app.alerts.shown().first().title));

    // A long combination shows whole, under its label if need be.
    app.shell->shortcuts().setShortcut(hotkeys::Shortcut(121, 0x1000 | 0x800 | 0x200 | 0x100),
                                       settings->recorder()->field()->shortcutName());
    QCOMPARE(field->text(), QStringLiteral("Ctrl+Alt+Shift+Super+Page Down"));
    const QWidget* clear = field->findChild<QToolButton*>();
    QTRY_VERIFY(field->fontMetrics().horizontalAdvance(field->text()) + 4 < clear->x());
    QVERIFY(clear->mapTo(settings, QPoint(clear->width(), 0)).x() <= settings->width());

    // Opening it again raises the same window.
    QCOMPARE(app.openSettings(), settings);
}

void TestStatusMenu::settingsWithoutGlobalHotkeys()
{
    App app;
    app.hotKeys.setUnavailableReason(QStringLiteral("Bind a key to ondrel toggle."));
    app.focus.setSeesApplications(false); // nor the source of a copy (KDE Plasma on Wayland)
    SettingsView* settings = app.openSettings();
    QVERIFY(settings);
    // The recorder could never work here: it says what to do instead.
    QVERIFY(!settings->recorder()->field()->isEnabled());
    QVERIFY(settings->hotkeyNote());
    QCOMPARE(settings->hotkeyNote()->text(), QStringLiteral("Bind a key to ondrel toggle."));
    QVERIFY(settings->hotkeyNote()->isVisible());
    QCOMPARE(settings->height(),
             SettingsView::kHeight + SettingsView::kNoteHeight + SettingsView::kExclusionsNoteHeight);
    QVERIFY(settings->hotkeyNote()->geometry().bottom() < settings->height());
    QLabel* exclusions = settings->exclusions()->note();
    QVERIFY(exclusions && exclusions->isVisible());
    QCOMPARE(exclusions->text(), QStringLiteral("This desktop does not tell Ondrel which application copied "
                                                "something, so these applications cannot be left out here."));
    QVERIFY(settings->exclusions()->geometry().bottom() < settings->height());
    // Where the desktop binds the hotkey itself, it says which trigger it
    // gave, also when its answer comes while the settings are open.
    App portal;
    SettingsView* open = portal.openSettings();
    QVERIFY(open->recorder()->field()->isEnabled());
    QVERIFY(!open->hotkeyNote() || !open->hotkeyNote()->isVisible());
    QCOMPARE(open->height(), SettingsView::kHeight);
    portal.hotKeys.setAssignedTriggers(QStringLiteral("Meta+Shift+V"));
    QVERIFY(open->hotkeyNote());
    QCOMPARE(
        open->hotkeyNote()->text(),
        QStringLiteral("The desktop runs this hotkey as Meta+Shift+V. Change it in the desktop's settings."));
    QVERIFY(open->hotkeyNote()->isVisible());
    QVERIFY(!open->recorder()->field()->isEnabled());
    QCOMPARE(open->height(), SettingsView::kHeight + SettingsView::kNoteHeight);
    // The note sits under the recorder, inside the window.
    QVERIFY(open->hotkeyNote()->mapTo(open, QPoint()).y() > open->recorder()->mapTo(open, QPoint()).y());
    // The settings window may be gone before the desktop answers again.
    open->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!portal.settingsController->settingsWindow());
    portal.hotKeys.setAssignedTriggers(QStringLiteral("Meta+V"));
    // Where hotkeys work, no note.
    App normal;
    QVERIFY(!normal.openSettings()->hotkeyNote());
}

void TestStatusMenu::launchAtLoginFailureDoesNotLoop()
{
    App app;
    app.autostart.setEnabled(true);
    SettingsView* settings = app.openSettings();
    QStringList console;
    settings->setConsole([&](const QString& line) { console << line; });
    QCheckBox* toggle = settings->launchAtLoginToggle();
    QVERIFY(toggle->isChecked());
    toggle->setChecked(false); // works
    QVERIFY(!app.autostart.isEnabled());
    app.autostart.refuseWith(QStringLiteral("the session refused"));
    toggle->setChecked(true);
    QCOMPARE(console, QStringList{QStringLiteral("Failed to enable launch at login: the session refused")});
    QVERIFY(!toggle->isChecked());
    QCOMPARE(app.autostart.calls(), 2); // the reversal did not try again
    app.autostart.refuseWith(std::nullopt);
    toggle->setChecked(true);
    app.autostart.refuseWith(QStringLiteral("no"));
    toggle->setChecked(false);
    QCOMPARE(console.last(), QStringLiteral("Failed to disable launch at login: no"));
    QVERIFY(toggle->isChecked());
}

void TestStatusMenu::updateManagerDefaults()
{
    {
        App app; // first launch
        QCOMPARE(app.settings.value(keys::automaticallyUpdate), QVariant(true));
        QVERIFY(app.updater.m_checks);
        QVERIFY(app.updater.m_downloads);
        app.settingsController->updateManager()->toggleAutomaticUpdates();
        app.settingsController->updateManager()->toggleAutomaticUpdates();
        QVERIFY(app.updater.m_checks && app.updater.m_downloads);
        QCOMPARE(app.settings.value(keys::automaticallyUpdate), QVariant(true));
        // Without an update feed the switch says why it does nothing.
        app.updater.reason = QStringLiteral("Updates come from your system's package manager.");
        std::unique_ptr<QMenu> menu(app.tray->buildStatusMenu());
        app.scheduler.runPending();
        QAction* automatic = menu->actions().at(3);
        QCOMPARE(automatic->text(), QStringLiteral("Automatic Updates"));
        QVERIFY(!automatic->isEnabled());
        QVERIFY(!automatic->isChecked()); // the stored choice does nothing here
        QCOMPARE(automatic->toolTip(), app.updater.reason);
        QVERIFY(menu->toolTipsVisible());
        QVERIFY(menu->actions().at(2)->isEnabled()); // a check still explains itself
        QVERIFY(app.settingsController->updateManager()->automaticallyChecksForUpdates());
    }
    App later;
    later.settings.setBool(keys::automaticallyUpdate, false);
    later.updater.m_checks = true;
    UpdateManager manager(later.settings, later.updater);
    QVERIFY(manager.automaticallyChecksForUpdates()); // the updater's own setting stands
    QCOMPARE(later.settings.value(keys::automaticallyUpdate), QVariant(false));
}

QTEST_MAIN(TestStatusMenu)
#include "tst_statusmenu.moc"
