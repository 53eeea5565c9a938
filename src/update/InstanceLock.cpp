#include "update/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString RealPathOf(const QString& path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? QFileInfo(path).absoluteFilePath() : real;
}

// A folder of ours: a directory, not a link, owned by us, mode 0700.
bool PrivateDir(const QString& dir)
{
    const QByteArray d = QFile::encodeName(dir);
    if (::mkdir(d.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st = {};
    if (::lstat(d.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(d.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString InstanceName(const QString& exePath)
{
    const QByteArray hash = QCryptographicHash::hash(RealPathOf(exePath).toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("KESTREL_pHTS_") + QString::fromLatin1(hash.left(16));
}

QString InstanceDir()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        const QString dir = QFile::decodeName(runtime) + QStringLiteral("/kestrelhts");
        if (PrivateDir(dir))
            return dir;
    }
    const QString dir = QDir::tempPath() + QStringLiteral("/kestrelhts-") + QString::number(::getuid());
    return PrivateDir(dir) ? dir : QString();
}

TInstanceLock::TInstanceLock(const QString& exePath, const QString& dir)
    : FName(InstanceName(exePath)), FDir(dir.isEmpty() ? InstanceDir() : dir)
{
    if (!FDir.isEmpty())
        FPath = FDir + QLatin1Char('/') + FName + QStringLiteral(".lock");
}

TInstanceLock::~TInstanceLock() { Release(); }

QString TInstanceLock::SocketPath() const
{
    return FDir.isEmpty() ? QString() : FDir + QLatin1Char('/') + FName + QStringLiteral(".sock");
}

TInstanceLock::TState TInstanceLock::Acquire(int waitMs)
{
    if (FFd >= 0)
        return TState::Owned;
    if (FPath.isEmpty())
        return TState::Unavailable;
    const int fd = ::open(QFile::encodeName(FPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return TState::Unavailable;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return TState::Unavailable;
        }
        if (waited.elapsed() >= waitMs) {
            ::close(fd);
            return TState::Busy;
        }
        QThread::msleep(50);
    }
    FFd = fd;
    // The owner's process id, for a person looking at the folder.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0)
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    return TState::Owned;
}

void TInstanceLock::Release()
{
    if (FFd < 0)
        return;
    ::flock(FFd, LOCK_UN);
    ::close(FFd);
    FFd = -1;
}
