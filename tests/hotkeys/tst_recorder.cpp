#include "ShortcutRecorder.h"
#include "ShortcutsFixture.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace ondrel;
using namespace ondrel::hotkeys;
using test::kCommandShiftV;
using test::kStoredKey;

namespace {

// A settings-like window: the recorder and another field.
struct RecorderWindow : test::ShortcutsFixture
{
    QWidget window;
    Name name = registry->makeName(QStringLiteral("togglePopover"), kCommandShiftV);
    ShortcutRecorder* row = nullptr;
    QLineEdit* other = nullptr;
    QList<std::optional<Shortcut>> changes;
    QMenu menu;

    RecorderWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        row = new ShortcutRecorder(
            *registry, alerts, scheduler, name, QStringLiteral("Global Hotkey:"),
            [this](std::optional<Shortcut> s) { changes << s; }, &window);
        other = new QLineEdit(&window);
        layout->addWidget(row);
        layout->addWidget(other);
        field()->setApplicationMenus([this] { return QList<QMenu*>{&menu}; });
    }
    ShortcutField* field() const { return row->field(); }
    bool show()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        scheduler.runPending();
        return true;
    }
    // A click in the field starts recording.
    void startRecording() { QTest::mouseClick(field(), Qt::LeftButton); }
    QVariant stored() const { return settings.value(kStoredKey); }
};

QVariant json(qint64 code, qint64 modifiers)
{
    return QString::fromUtf8(Shortcut(code, modifiers).toJson());
}

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void showsAndRecordsAShortcut();
    void refusesKeysWithoutModifiers_data();
    void refusesKeysWithoutModifiers();
    void escapeTabAndDelete();
    void recordingPausesHotkeysAndSaysSo();
    void menuItemConflict();
    void systemConflict();
    void whatStartsAndEndsRecording();
};

void TestRecorder::showsAndRecordsAShortcut()
{
    RecorderWindow w;
    QVERIFY(w.show());
    QCOMPARE(w.field()->text(), QStringLiteral("Shift+Super+V"));
    QVERIFY(w.field()->isCancelButtonShown());
    QCOMPARE(w.field()->placeholderText(), QStringLiteral("Record Shortcut"));
    QCOMPARE(w.field()->sizeHint().width(), 130);
    QVERIFY(w.row->hasLabel());
    QCOMPARE(w.row->findChild<QLabel*>()->text(), QStringLiteral("Global Hotkey:"));
    // A change made elsewhere shows at once.
    w.registry->setShortcut(Shortcut(40, 6144), w.name);
    QCOMPARE(w.field()->text(), QStringLiteral("Ctrl+Alt+K"));
    w.registry->setShortcut(std::nullopt, w.name);
    QCOMPARE(w.field()->text(), QString());
    QVERIFY(!w.field()->isCancelButtonShown());
    // Recording one.
    w.startRecording();
    QVERIFY(w.field()->isRecording());
    QCOMPARE(w.field()->placeholderText(), QStringLiteral("Press Shortcut"));
    QVERIFY(w.field()->isCaretHidden());
    QTest::keyClick(w.field(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(w.stored(), json(40, 6144));
    QCOMPARE(w.field()->text(), QStringLiteral("Ctrl+Alt+K"));
    QVERIFY(!w.field()->isRecording());
    QVERIFY(!w.field()->isCaretHidden());
    QCOMPARE(w.changes, (QList<std::optional<Shortcut>>{Shortcut(40, 6144)}));
    // The hotkey follows: the new combination is registered, the old one gone.
    QCOMPARE(w.hotKeys.grabs().size(), size_t(1));
    QCOMPARE(w.hotKeys.grabs().begin()->second.keyCode, 40u);
}

void TestRecorder::refusesKeysWithoutModifiers_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QVariant>("stored"); // none: refused, the old one stays
    QTest::addColumn<bool>("told");       // refused with an alert rather than a beep
    const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier;
    QTest::newRow("A") << int(Qt::Key_A) << 0 << QVariant() << false;
    QTest::newRow("Shift-A") << int(Qt::Key_A) << shift << QVariant() << false;
    QTest::newRow("Space") << int(Qt::Key_Space) << 0 << QVariant() << false;
    QTest::newRow("unknown key") << int(Qt::Key_LaunchMail) << ctrl << QVariant() << false;
    QTest::newRow("F5") << int(Qt::Key_F5) << 0 << json(96, 0) << false;
    QTest::newRow("Shift-F5") << int(Qt::Key_F5) << shift << json(96, 0x200) << false;
    // Keys that type nothing stand alone; Menu opens context menus.
    QTest::newRow("Print") << int(Qt::Key_Print) << 0 << json(0x1000 + 99, 0) << false;
    QTest::newRow("F24") << int(Qt::Key_F24) << 0 << json(0x1000 + 194, 0) << false;
    QTest::newRow("Play") << int(Qt::Key_MediaPlay) << 0 << json(0x1000 + 164, 0) << false;
    QTest::newRow("Menu") << int(Qt::Key_Menu) << 0 << QVariant() << false;
    QTest::newRow("Super+Menu") << int(Qt::Key_Menu) << int(Qt::MetaModifier) << json(110, 0x100) << false;
    // Bare F12 is never the system's, whoever holds it.
    QTest::newRow("F12") << int(Qt::Key_F12) << 0 << json(111, 0) << false;
    // Alt combinations are as good as any other here (no system refuses them).
    QTest::newRow("Alt-A") << int(Qt::Key_A) << alt << json(0, 0x800) << false;
    // What applications type with.
    QTest::newRow("Ctrl+V") << int(Qt::Key_V) << ctrl << QVariant() << true;
    QTest::newRow("Ctrl+1, the popover's") << int(Qt::Key_1) << ctrl << QVariant() << true;
    QTest::newRow("Ctrl+Shift+V, the terminals' paste")
        << int(Qt::Key_V) << ctrl + shift << QVariant() << true;
    QTest::newRow("Ctrl+Shift+C") << int(Qt::Key_C) << ctrl + shift << json(8, 0x1200) << false;
    QTest::newRow("Ctrl+Alt+V") << int(Qt::Key_V) << ctrl + alt << json(9, 0x1800) << false;
    QTest::newRow("Ctrl+F5") << int(Qt::Key_F5) << ctrl << json(96, 0x1000) << false;
    QTest::newRow("Ctrl+Space") << int(Qt::Key_Space) << ctrl << json(49, 0x1000) << false;
    QTest::newRow("Super+C") << int(Qt::Key_C) << int(Qt::MetaModifier) << json(8, 0x100) << false;
}

void TestRecorder::refusesKeysWithoutModifiers()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QVariant, stored);
    QFETCH(bool, told);
    RecorderWindow w;
    w.hotKeys.takeElsewhere(111, 0);
    QVERIFY(w.show());
    w.startRecording();
    QTest::keyClick(w.field(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(w.alerts.beeps(), stored.isValid() || told ? 0 : 1);
    QCOMPARE(w.alerts.shown().size(), told ? 1 : 0);
    QCOMPARE(w.field()->isRecording(), !stored.isValid());
    QCOMPARE(w.stored(), stored.isValid() ? stored : json(9, 768));
    if (told) {
        const auto& alert = w.alerts.shown().first();
        QVERIFY2(alert.title.endsWith(QStringLiteral(" cannot be used as a global shortcut")),
                 qPrintable(alert.title));
        QVERIFY(alert.informativeText.contains(QStringLiteral("Super or Alt")));
        QVERIFY(alert.buttons.isEmpty()); // no way to force it
    }
}

void TestRecorder::escapeTabAndDelete()
{
    RecorderWindow w;
    QVERIFY(w.show());
    w.startRecording();
    QTest::keyClick(w.field(), Qt::Key_Escape);
    QVERIFY(!w.field()->isRecording());
    QCOMPARE(w.stored(), json(9, 768));

    w.startRecording();
    QTest::keyClick(w.field(), Qt::Key_Tab);
    QVERIFY(!w.field()->isRecording());

    // Delete clears and records again at once.
    w.startRecording();
    QTest::keyClick(w.field(), Qt::Key_Backspace);
    QCOMPARE(w.stored(), QVariant(false));
    QCOMPARE(w.field()->text(), QString());
    QVERIFY(!w.field()->isCancelButtonShown());
    QVERIFY(w.field()->isRecording());
    QCOMPARE(w.changes, (QList<std::optional<Shortcut>>{std::nullopt}));
    QVERIFY(w.hotKeys.grabs().empty());

    // The clear button does the same, clicked as the window system delivers
    // it: through the window, so the press starts recording and the release
    // passes the recorder's filter.
    w.registry->setShortcut(kCommandShiftV, w.name);
    w.other->setFocus();
    auto* clear = w.field()->findChild<QToolButton*>();
    QVERIFY(clear && clear->isVisible());
    QTest::mouseClick(w.window.windowHandle(), Qt::LeftButton, {},
                      clear->mapTo(&w.window, clear->rect().center()));
    QCOMPARE(w.stored(), QVariant(false)); // removed on purpose
    QVERIFY(!w.changes.last());
    QVERIFY(w.field()->text().isEmpty());
    QVERIFY(w.field()->isRecording()); // the replacement is recorded at once
}

void TestRecorder::recordingPausesHotkeysAndSaysSo()
{
    RecorderWindow w;
    QVERIFY(w.show());
    QSignalSpy status(w.registry.get(), &Registry::recorderActiveStatusDidChange);
    int ups = 0;
    w.registry->onKeyUp(w.name, [&] { ++ups; });
    w.startRecording();
    QVERIFY(w.registry->isPaused());
    w.pressAndRelease(kCommandShiftV);
    QCOMPARE(ups, 0);
    w.other->setFocus();
    QVERIFY(!w.registry->isPaused());
    w.pressAndRelease(kCommandShiftV);
    QCOMPARE(ups, 1);
    QCOMPARE(status.count(), 2);
    QCOMPARE(status.at(0).at(0).toBool(), true);
    QCOMPARE(status.at(1).at(0).toBool(), false);
}

void TestRecorder::menuItemConflict()
{
    RecorderWindow w;
    QMenu* sub = w.menu.addMenu(QStringLiteral("&Edit"));
    QMenu* deeper = sub->addMenu(QStringLiteral("More"));
    QAction* keep = deeper->addAction(QStringLiteral("&Keep Everything"));
    keep->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K));
    QVERIFY(w.show());
    w.startRecording();
    QTest::keyClick(w.field(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(w.alerts.shown().size(), 1);
    QVERIFY2(w.alerts.shown().first().title.contains(QStringLiteral("\u201CKeep Everything\u201D")),
             qPrintable(w.alerts.shown().first().title));
    QCOMPARE(w.stored(), json(9, 768));
    QVERIFY(w.field()->isRecording()); // back to recording after the alert
    // Other modifiers are another combination.
    QTest::keyClick(w.field(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QCOMPARE(w.stored(), json(40, 0x1A00));
}

void TestRecorder::systemConflict()
{
    RecorderWindow w;
    w.hotKeys.takeElsewhere(40, 0x1800);
    QVERIFY(w.show());
    w.startRecording();
    QTest::keyClick(w.field(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(w.alerts.shown().size(), 1);
    const auto& alert = w.alerts.shown().first();
    QCOMPARE(alert.buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Use Anyway")}));
    QVERIFY(!alert.informativeText.isEmpty());
    QCOMPARE(w.stored(), json(9, 768));
    QVERIFY(w.field()->isRecording());
    // Forced, it is stored when it can be held...
    w.hotKeys.takeElsewhere(37, 0x1800);
    w.hotKeys.allowDespiteElsewhere(37, 0x1800);
    w.alerts.answerWith(platform::Alerts::kSecondButton);
    QTest::keyClick(w.field(), Qt::Key_L, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(w.stored(), json(37, 0x1800));
    QVERIFY(!w.field()->isRecording());
    QCOMPARE(w.alerts.shown().size(), 2);
    QVERIFY(w.console.isEmpty());
    // ...but one another program holds for good is not stored dead: the
    // previous shortcut stays and the user is told why.
    w.startRecording();
    QTest::keyClick(w.field(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(w.stored(), json(37, 0x1800));
    QCOMPARE(w.field()->text(), QStringLiteral("Ctrl+Alt+L"));
    QCOMPARE(w.alerts.shown().size(), 4);
    QCOMPARE(w.alerts.shown().last().title,
             QStringLiteral("Ctrl+Alt+K") + QStringLiteral(" is held by another application"));
    QVERIFY(w.field()->isRecording()); // recording resumes after the alert
    QCOMPARE(w.console.size(), 1);     // the refused registration
    QVERIFY(w.changes.isEmpty() || w.changes.last() == Shortcut(37, 0x1800));
}

void TestRecorder::whatStartsAndEndsRecording()
{
    RecorderWindow w;
    w.field()->setFocus(); // the first field would get the focus on activation
    w.window.show();
    QApplication::setActiveWindow(&w.window);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QVERIFY(!w.field()->acceptsFocus());
    QVERIFY(!w.field()->isRecording());
    w.scheduler.runPending();
    QVERIFY(w.field()->acceptsFocus());
    w.startRecording();
    QVERIFY(w.field()->isRecording());
    // A click inside, or just outside within the 3-point margin, goes on
    // recording; one elsewhere ends it and does its work.
    QTest::mouseClick(w.field(), Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {},
                        w.field()->mapTo(&w.window, QPoint(w.field()->width() + 2, 5)));
    QVERIFY(w.field()->isRecording());
    QTest::mouseClick(w.other, Qt::LeftButton);
    QVERIFY(!w.field()->isRecording());
    QVERIFY(w.other->hasFocus());
    w.startRecording();
    // Losing the window's activation ends recording.
    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    QTRY_VERIFY(!w.field()->isRecording());
    QVERIFY(!w.registry->isPaused());
}

QTEST_MAIN(TestRecorder)
#include "tst_recorder.moc"
