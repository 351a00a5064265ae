#pragma once

// The popover over a store with in-memory services, and a sample history.

#include "HistoryFixture.h"
#include "HistoryList.h"
#include "IconButton.h"
#include "PopoverContent.h"
#include "Theme.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace ondrel::test {

inline Timestamp secondsAgo(double s)
{
    return Timestamp::fromSecondsSinceReferenceDate(Timestamp::now().secondsSinceReferenceDate() - s);
}

inline QImage sampleImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(14, 165, 233));
    g.setColorAt(1, QColor(234, 179, 8));
    p.fillRect(image.rect(), g);
    p.setBrush(QColor(225, 29, 72));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(w / 2.0, h / 2.0), w / 5.0, h / 5.0);
    return image;
}

// Two pinned entries, then every language, two images (one without its
// picture) and a file, newest first.
inline QList<ClipboardItem> sampleHistory()
{
    struct Text
    {
        const char* text;
        const char* app;
        double age;
        bool pinned;
    };
    const Text texts[] = {
        {"{\"name\": \"ondrel\", \"version\": \"0.1.0\", \"private\": true}", "Code", 7200, true},
        {"Dear Ada, the quarterly report looks great. See you Tuesday!", "Mail", 90000, true},
        {"SELECT id, name FROM users WHERE active = 1 ORDER BY name;", "DBeaver", 20, false},
        {"const total = items.reduce((a, b) => a + b, 0);\nconsole.log(total);", "Firefox", 75, false},
        {"type Props = { title: string };\nexport const Card = (p: Props) => null;", "Code", 300, false},
        {"def greet(name):\n    return f\"Hello, {name}\"", "Terminal", 900, false},
        {"#!/bin/bash\nfor f in *.log; do gzip \"$f\"; done", "Terminal", 1800, false},
        {"import SwiftUI\nstruct ContentView: View { var body: some View { Text(\"Hi\") } }", "Xcode", 4000,
         false},
        {"require \"json\"\nputs JSON.generate(data)", nullptr, 9000, false},
        {"<div class=\"card\"><a href=\"/docs\">Docs</a></div>", "Firefox", 20000, false},
        {".card { border: 2px solid #18181b; border-radius: 8px; }", "Code", 40000, false},
        {"package main\nx := compute(5)", "Code", 100000, false},
        {"fn main() {\n    let mut v: Vec<i32> = Vec::new();\n}", "Code", 200000, false},
        {"https://example.org/a/very/long/link/that/wraps/over/two/lines/and/then/some/more/so/it/is/cut",
         "Firefox", 400000, false},
    };
    QList<ClipboardItem> items;
    for (const Text& t : texts)
        items << ClipboardItem::makeText(QString::fromUtf8(t.text),
                                         t.app ? std::optional(QString::fromUtf8(t.app)) : std::nullopt,
                                         std::nullopt, secondsAgo(t.age), t.pinned);
    items.insert(3, ClipboardItem::makeImage(sampleImage(120, 80), QStringLiteral("GIMP"), std::nullopt,
                                             secondsAgo(40)));
    items << itemWithoutContent(ClipboardItemType::image, secondsAgo(500000), QStringLiteral("Screenshot"));
    items << ClipboardItem::makeFile(
        {QUrl::fromLocalFile(QStringLiteral("/home/ada/Reports/quarterly-report.pdf"))},
        QStringLiteral("Files"), std::nullopt, secondsAgo(3000000));
    return items;
}

struct PopoverFixture : Fixture
{
    ThemeManager theme{settings};
    std::unique_ptr<PopoverContent> view;

    explicit PopoverFixture(const QList<ClipboardItem>& items = {})
    {
        store().setItems(items);
        view = std::make_unique<PopoverContent>(store(), state(), paster(), theme, scheduler, clipboard);
        view->resize(PopoverContent::kWidth, PopoverContent::kHeight);
    }
};

// Pictures and helpers the popover suites share.
inline QImage renderAt(QWidget* widget, qreal dpr)
{
    QImage image(widget->size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    widget->render(&image);
    return image;
}

// How many pixels of `widget` show the palette's focus colour (a focus ring).
inline int focusRingPixels(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    const QColor ring = widget->palette().color(QPalette::Highlight);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int distance = std::abs(c.red() - ring.red()) + std::abs(c.green() - ring.green()) +
                                 std::abs(c.blue() - ring.blue());
            n += distance < 48 ? 1 : 0;
        }
    return n;
}

// The offscreen platform cannot raise windows or grab the keyboard for pop-ups.
inline void ignorePopupWarnings()
{
    static const QRegularExpression notSupported(QStringLiteral("This plugin does not support"));
    for (int i = 0; i < 2; ++i)
        QTest::ignoreMessage(QtWarningMsg, notSupported);
}

inline QList<ClipboardItem> texts(int count)
{
    QList<ClipboardItem> items;
    for (int i = 0; i < count; ++i)
        items << ClipboardItem::makeText(QStringLiteral("entry %1").arg(i), QStringLiteral("Notes"),
                                         std::nullopt, secondsAgo(i * 10));
    return items;
}

inline QPoint cardCentre(const PopoverFixture& f, int row)
{
    return f.view->list()->cardGeometry(row).center();
}

inline QStringList buttonNames(const QList<IconButton*>& buttons)
{
    QStringList names;
    for (const IconButton* b : buttons)
        names << b->accessibleName();
    names.sort();
    return names;
}

// How far a row's centre is from the middle of the list's viewport.
inline int rowCentreOffset(const PopoverFixture& f, int row)
{
    const HistoryList* list = f.view->list();
    return list->cardGeometry(row).center().y() - list->viewport()->height() / 2;
}

// The popover on screen.
struct ShownPopover : PopoverFixture
{
    explicit ShownPopover(const QList<ClipboardItem>& items = {}) : PopoverFixture(items)
    {
        view->show();
        shown = QTest::qWaitForWindowExposed(view.get());
        QCoreApplication::processEvents();
    }
    bool shown = false;
};

} // namespace ondrel::test
