#include "QtAlerts.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace ondrel;
using platform::Alerts;

// The real message box, answered the ways a user can: its buttons, Escape,
// or closing its window.
class TestAlerts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void answers_data();
    void answers();
};

void TestAlerts::answers_data()
{
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("action"); // a button's text, "escape" or "close"
    QTest::addColumn<int>("answer");
    const QStringList two{QStringLiteral("OK"), QStringLiteral("Use Anyway")};
    QTest::newRow("first button") << two << QStringLiteral("OK") << Alerts::kFirstButton;
    QTest::newRow("second button") << two << QStringLiteral("Use Anyway") << Alerts::kSecondButton;
    // Backing out never chooses the second, riskier answer.
    QTest::newRow("escape") << two << QStringLiteral("escape") << Alerts::kFirstButton;
    QTest::newRow("window closed") << two << QStringLiteral("close") << Alerts::kFirstButton;
    QTest::newRow("one button, escape") << QStringList() << QStringLiteral("escape") << Alerts::kFirstButton;
}

void TestAlerts::answers()
{
    QFETCH(QStringList, buttons);
    QFETCH(QString, action);
    QFETCH(int, answer);
    bool answered = false;
    std::function<void()> respond = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, respond); // not shown yet
            return;
        }
        answered = true;
        if (action == u"escape") {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (action == u"close") {
            box->close();
        } else {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == action)
                    b->click();
        }
    };
    QTimer::singleShot(0, respond);
    platform::QtAlerts alerts;
    QCOMPARE(alerts.warn(nullptr, QStringLiteral("Used by the system"), QStringLiteral("Why"), buttons),
             answer);
    QVERIFY(answered);
}

QTEST_MAIN(TestAlerts)
#include "tst_alerts.moc"
