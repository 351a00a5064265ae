#pragma once

#include <QJsonArray>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace ondrel::test {

// The real program, started as a user would but with a home of its own:
// its console lines gathered as they come (with tracing on), its stored
// history read back. Killed with the object if still running.
class AppProcess final
{
public:
    explicit AppProcess(QString binary);
    ~AppProcess();

    // Starts it in the test's environment changed by `extra`; the names in
    // `unset` are removed (QT_QPA_PLATFORM, to let the program choose).
    // Waits until it says it is ready.
    bool start(const QProcessEnvironment& extra = {}, const QStringList& unset = {});
    // Waits for a console line that starts with `prefix`, and takes it.
    std::optional<QString> line(const QString& prefix, int timeoutMs = 10000);
    bool said(const QString& prefix, int timeoutMs = 10000) { return line(prefix, timeoutMs).has_value(); }
    // Once a menu of the program is on screen: the screen point of its entry `text`.
    std::optional<QPoint> menuItem(const QString& text, int timeoutMs = 5000);
    // Drops the trace lines said so far: waits that follow are for new ones.
    void forgetTrace();
    // What it said beyond its trace and the `expected` lines.
    QStringList unexpectedLines(const QStringList& expected);
    // Runs `ondrel toggle` beside it: whether that found it and succeeded.
    bool toggle() const;
    // Runs `ondrel ARGS` beside it (also before or after it runs), with
    // `input` on standard input; standard output goes to `outFile` when
    // given; the names in `unset` are left out of its environment.
    struct Command
    {
        int code = -1; // -1: did not end in time, -2: crashed
        QByteArray out;
        QByteArray err;
    };
    Command command(const QStringList& args, const QByteArray& input = {}, const QString& outFile = {},
                    const QStringList& unset = {}) const;

    // The history file it keeps, and what it holds.
    QString historyFile() const
    {
        return m_home.path() + QStringLiteral("/.local/share/ondrel/history.json");
    }
    QJsonArray history() const;
    QString home() const { return m_home.path(); }
    QProcess& process() { return m_process; }

private:
    void collect();
    // The test's environment with the program's own home, less `unset`.
    QProcessEnvironment environment(const QStringList& unset) const;

    QString m_binary;
    QTemporaryDir m_home;
    QProcess m_process;
    QStringList m_lines;
};

// What the program says on a desktop without a session bus (the openbox
// and sway test desktops): its history is not on D-Bus there.
inline const QString kNoSessionBusLine = QStringLiteral(
    "ondrel: no D-Bus session bus; io.github.ondrel.Ondrel is not offered (the ondrel commands still work)");

// Another Wayland program copies: wl-copy serves `bytes` as `type` in the background.
bool wlCopy(const QByteArray& bytes, const QString& type = QStringLiteral("text/plain;charset=utf-8"));
// What another Wayland program pastes (wl-paste). The event loop keeps
// running meanwhile: the data may be served from this very process.
QByteArray wlPaste(const QString& type = QStringLiteral("text/plain;charset=utf-8"));

// The program's environment on the XWayland display the test desktop
// started (scripts/with-kwin, scripts/with-sway): Qt's X11 platform on it.
// Empty when the desktop started none.
QProcessEnvironment xwaylandEnvironment();

} // namespace ondrel::test
