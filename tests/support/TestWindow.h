#pragma once

// The window of "another program" for the desktop tests: the test binary
// starts itself again with --test-window TITLE. Its WM_CLASS and Wayland app
// id are "ondrel-test-window"; it prints "active\n" when it has the focus, the
// paste chords it receives as "<chord> <clipboard text>\n", and "released v\n"
// when the V key comes up (not a repeat).

#include <QProcess>
#include <QString>

#include <functional>

namespace ondrel::test {

// Runs the window when argv asks for it; returns -1 otherwise.
int runTestWindowIfAsked(int argc, char** argv);

} // namespace ondrel::test

// The main() of a test program that also serves as the test window of its
// own tests (started again with --test-window).
#define ONDREL_TEST_MAIN_WITH_TEST_WINDOW(TestClass)                                                         \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        if (const int code = ondrel::test::runTestWindowIfAsked(argc, argv); code >= 0)                      \
            return code;                                                                                     \
        QGuiApplication app(argc, argv);                                                                     \
        TestClass test;                                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }

namespace ondrel::test {

// The window of "another program" (this test binary run with --test-window).
class TestWindow final
{
public:
    ~TestWindow();
    // Starts it and waits until it has the focus for its own Qt (keys sent
    // before that are dropped) and, when given, until `shownActive` says the
    // desktop agrees for the window's process.
    bool start(const QString& title, const std::function<bool(qint64 pid)>& shownActive = {});
    // The next paste it reports ("ctrl+v text"), or "(nothing pasted)";
    // with `releases`, a release of V counts as a report too.
    QString waitForPaste(bool releases = false);
    qint64 processId() const { return m_process.processId(); }
    QProcess& process() { return m_process; }
    // Before start(): the Wayland app id it shows under (a terminal's, say).
    void setAppId(const QString& appId)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ONDREL_TEST_WINDOW_APP_ID"), appId);
        m_process.setProcessEnvironment(environment);
    }

private:
    QProcess m_process;
};

} // namespace ondrel::test
