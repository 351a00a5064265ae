#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrel::test {

namespace {
const char* const kVariables[4] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"};
}

TemporaryHome::TemporaryHome()
{
    for (int i = 0; i < 4; ++i)
        m_saved[i] = qgetenv(kVariables[i]);
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    qputenv("XDG_CACHE_HOME", (m_dir.path() + QStringLiteral("/cache")).toUtf8());
}

TemporaryHome::~TemporaryHome()
{
    // Folders a test made unreadable must not stop the clean-up.
    QDir(m_dir.path()).removeRecursively();
    for (int i = 0; i < 4; ++i)
        qputenv(kVariables[i], m_saved[i]);
}

void failOnUnexpectedWarnings()
{
    // What the offscreen and minimal platforms say they cannot do (raise a
    // window, grab the keyboard for a pop-up) is not ours to fix.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support ).*")));
}

SmallDisk::SmallDisk(const QString& folder, const QByteArray& size) : m_folder(QFile::encodeName(folder))
{
    m_mounted = runningAsRoot() && QDir().mkpath(folder) &&
                ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, ("size=" + size).constData()) == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(m_folder.constData(), MNT_DETACH);
}

bool SmallDisk::resize(const QByteArray& size)
{
    return m_mounted &&
           ::mount("tmpfs", m_folder.constData(), "tmpfs", MS_REMOUNT, ("size=" + size).constData()) == 0;
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

int unixMode(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return static_cast<int>(st.st_mode & 07777);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QImage filledImage(QSize size, const QColor& colour, QImage::Format format)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

QImage redSquare()
{
    return filledImage(QSize(3, 3), Qt::red, QImage::Format_RGB32);
}

QByteArray encodedImage(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace ondrel::test

namespace ondrel::test {

PrivateSessionBus::~PrivateSessionBus()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

QString PrivateSessionBus::start()
{
    // A session bus that starts nothing on demand: the services a test
    // meets are the ones it put there, not whatever this machine has
    // installed (a desktop portal, say).
    if (!m_config.open())
        return {};
    m_config.write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
    m_config.flush();
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + m_config.fileName(), QStringLiteral("--nofork"),
                    QStringLiteral("--nosyslog"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted())
        return {};
    // The address is its first line; it is written once the bus listens.
    while (!m_daemon.canReadLine())
        if (!m_daemon.waitForReadyRead(10000))
            return {};
    m_address = QString::fromLatin1(m_daemon.readLine()).trimmed();
    return m_address;
}

std::optional<QString> runProgram(const QString& program, const QStringList& arguments,
                                  const QString& display)
{
    QProcess process;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        process.setProcessEnvironment(env);
    }
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void addSlowOrEndlessOwnerRows(const QString& textType)
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("dataMs");
    QTest::addColumn<bool>("copyMeanwhile");
    QTest::addColumn<QString>("said");
    QTest::addColumn<qint64>("maxEntryBytes"); // the setting; -1: unset
    // It stops sending once it loses the clipboard: what came is a fragment.
    QTest::newRow("a copy made meanwhile ends the read")
        << "--slow" << 60000 << true
        << "ondrel: a newer copy came while the clipboard was being read; the older one is not recorded"
        << qint64(-1);
    QTest::newRow("a byte a second is given up")
        << "--slow" << 2000 << false
        << "ondrel: the program that owns the clipboard sends its data too slowly; its copy is not recorded"
        << qint64(-1);
    QTest::newRow("an owner that never ends is given up at the setting's limit")
        << "--endless" << 2000 << false
        << "ondrel: not recording a copy: larger than the 64 MiB limit (setting history/maxEntryBytes)"
        << qint64(-1);
    QTest::newRow("without a limit of one's own, at the limit of every read")
        << "--endless" << 2000 << false
        << QStringLiteral("ondrel: the clipboard's %1 data is larger than 128 MiB; not recorded")
               .arg(textType)
        << qint64(0);
}

} // namespace ondrel::test
