#pragma once

// A history store on a desktop's real clipboard and the real clock, for
// the desktop tests; the paste keystroke and the focus are stand-ins, and
// the history is not kept, unless given.

#include "ClipboardHistory.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "QtScheduler.h"
#include "RecordingPasteTyper.h"
#include "SettingsKeys.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace ondrel::test {

struct LiveStore
{
    explicit LiveStore(platform::Clipboard& clipboard, platform::PasteTyper* typer = nullptr,
                       platform::FocusTracker* tracker = nullptr,
                       platform::PrimarySelection* selection = nullptr, HistoryFile* file = nullptr)
        : history({settings, scheduler, clipboard, typer ? *typer : pasteTyper, tracker ? *tracker : focus,
                   file, selection})
    {
        history.watcher.startMonitoring();
        if (history.selections)
            history.selections->startMonitoring();
    }

    platform::MemorySettings settings;
    platform::QtScheduler scheduler;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    ClipboardHistory history;
};

// The cases of text selected with the mouse in another program, for a
// desktop's test of them: the setting, and how many selections are made
// 100 ms apart (a drag that lasts 2 s).
inline void addSelectionRows()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("times");
    QTest::newRow("setting off") << false << 1;
    QTest::newRow("once") << true << 1;
    QTest::newRow("dragged for 2 s") << true << 20;
}

// One of those cases on `store`, which watches the desktop's selection:
// another program copies with `copy` and selects with `select`; `selected`
// and `copied` read the selection and the clipboard as another program
// does. With the setting on, the last selection only is recorded, marked,
// once it stopped changing; the clipboard is left as it was.
struct SelectionCase
{
    std::function<void(const QString&)> copy;
    std::function<void(const QString&)> select;
    std::function<QByteArray()> selected;
    std::function<QByteArray()> copied;
};
inline void checkSelectionRow(LiveStore& store, const SelectionCase& desktop)
{
    QFETCH(bool, on);
    QFETCH(int, times);
    store.settings.setBool(keys::recordPrimarySelection, on);
    desktop.copy(QStringLiteral("copied before"));
    QTRY_COMPARE_WITH_TIMEOUT(store.history.store.items().size(), 1, 5000);
    QSignalSpy settled(store.history.selections.get(), &SelectionWatcher::settled);
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    int made = 0;
    QTimer drag;
    QObject::connect(&drag, &QTimer::timeout, [&] {
        if (++made <= times)
            desktop.select(QStringLiteral("%1 %2").arg(tag).arg(made));
        else
            drag.stop();
    });
    drag.start(100);
    QTRY_VERIFY_WITH_TIMEOUT(!drag.isActive(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 1, 5000);
    // The last program to select holds the selection (they start apart, but
    // may take it in another order).
    const QString last = QString::fromUtf8(desktop.selected());
    QVERIFY2(last.startsWith(tag), qPrintable(last));
    QStringList recorded;
    for (const ClipboardItem& item : store.history.store.items())
        recorded << (item.fromSelection() ? QStringLiteral("^") : QString()) +
                        item.text().value_or(QString());
    const QString before = QStringLiteral("copied before");
    QCOMPARE(recorded.join(u','), on ? QStringLiteral("^") + last + u',' + before : before);
    QCOMPARE(desktop.copied(), QByteArray("copied before"));
}

} // namespace ondrel::test
