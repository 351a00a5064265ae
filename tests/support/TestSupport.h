#pragma once

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <optional>

namespace ondrel::test {

// Points HOME and the XDG folders at a fresh temporary folder for the life
// of the object, so no test touches the real ones.
class TemporaryHome final
{
public:
    TemporaryHome();
    ~TemporaryHome();
    QString path() const { return m_dir.path(); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved[4];
};

// A D-Bus session bus of the test's own (dbus-daemon), stopped with the object.
class PrivateSessionBus final
{
public:
    ~PrivateSessionBus();
    // Starts the daemon: its address, or empty when it could not start.
    QString start();
    QString address() const { return m_address; }

private:
    QTemporaryFile m_config;
    QProcess m_daemon;
    QString m_address;
};

// A real small file system (tmpfs) mounted over `folder` while the object
// lives, for full-disk cases; needs root (mounted() says whether it is).
class SmallDisk final
{
public:
    SmallDisk(const QString& folder, const QByteArray& size);
    ~SmallDisk();
    bool mounted() const { return m_mounted; }
    // Gives it another size, keeping what it holds ("8m": room again).
    bool resize(const QByteArray& size);

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

// Fails the current test on any warning it did not announce with
// QTest::ignoreMessage. Call from init().
void failOnUnexpectedWarnings();

bool runningAsRoot();
// The permission bits of a file or folder (for example 0600), or -1.
int unixMode(const QString& path);

// Runs a program to its end (on another X display if given): its standard
// output, trimmed; none when it could not run or failed.
std::optional<QString> runProgram(const QString& program, const QStringList& arguments,
                                  const QString& display = {});

QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

// An image of one colour (redSquare: 3x3, opaque red), and its file form
// ("PNG", "TIFF", ...), as another program would put it on the clipboard.
QImage filledImage(QSize size, const QColor& colour, QImage::Format format = QImage::Format_ARGB32);
QImage redSquare();
QByteArray encodedImage(const QImage& image, const char* format = "PNG");

// The cases of a clipboard owner that sends its text (read as `textType`)
// slowly or without end, for a desktop's test of it: the owner's mode (of
// the desktop's stand-in owner), how long a piece may take, whether another
// program copies while it sends, and what is said.
void addSlowOrEndlessOwnerRows(const QString& textType);

} // namespace ondrel::test
