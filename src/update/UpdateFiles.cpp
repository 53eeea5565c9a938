#include "update/UpdateFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Enc(const QString& p) { return QFile::encodeName(p); }

QString Errno() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Copies `from` to `to` (created exclusively), synced; false on any fault.
bool CopyFile(const QString& from, const QString& to)
{
    const int in = ::open(Enc(from).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        return false;
    const int out = ::open(Enc(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0700);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buf[1 << 16];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0 || ::write(out, buf, size_t(n)) != n) {
            ok = false;
            break;
        }
    }
    ok = ok && ::fsync(out) == 0;
    ::close(in);
    ok = ::close(out) == 0 && ok;
    if (!ok)
        ::unlink(Enc(to).constData());
    return ok;
}

void SyncFolderOf(const QString& path)
{
    const int d = ::open(Enc(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d);
        ::close(d);
    }
}

} // namespace

TDownloadFile::TDownloadFile(const QString& path, qint64 size, const QString& sha)
    : FPath(path), FTemp(path + QStringLiteral(".dl")), FSha(sha.toLower()), FSize(std::max<qint64>(0, size))
{
}

TDownloadFile::~TDownloadFile() { Discard(); }

bool TDownloadFile::Open(QString* err)
{
    Discard();
    // unlink removes a link itself, never what it points at.
    if (::unlink(Enc(FTemp).constData()) != 0 && errno != ENOENT) {
        if (err)
            *err = Errno();
        return false;
    }
    FFd = ::open(Enc(FTemp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (FFd < 0) {
        if (err)
            *err = Errno();
        return false;
    }
    FGot = 0;
    FOver = false;
    FHash.reset();
    return true;
}

bool TDownloadFile::Write(const char* data, qint64 n)
{
    if (FFd < 0 || FOver || n < 0)
        return false;
    if (FSize > 0 && FGot + n > FSize) {
        FOver = true;
        return false;
    }
    qint64 done = 0;
    while (done < n) {
        const ssize_t w = ::write(FFd, data + done, size_t(n - done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        done += w;
    }
    FHash.addData(QByteArrayView(data, n));
    FGot += n;
    return true;
}

bool TDownloadFile::Commit(QString* err, int mode)
{
    const auto fail = [this, err](const QString& why) {
        if (err)
            *err = why;
        Discard();
        return false;
    };
    if (FFd < 0)
        return fail(QStringLiteral("받는 중인 파일이 없습니다"));
    if (FOver)
        return fail(QStringLiteral("선언된 크기(%1 바이트)보다 큽니다").arg(FSize));
    if (FSize > 0 && FGot != FSize)
        return fail(QStringLiteral("크기가 다릅니다 (%1 / %2 바이트)").arg(FGot).arg(FSize));
    if (!FSha.isEmpty() && QString::fromLatin1(FHash.result().toHex()) != FSha)
        return fail(QStringLiteral("해시가 다릅니다"));
    if (::fchmod(FFd, mode < 0 ? 0644 : mode_t(mode)) != 0 || ::fsync(FFd) != 0)
        return fail(Errno());
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) {
        ::unlink(Enc(FTemp).constData());
        return fail(Errno());
    }
    if (::rename(Enc(FTemp).constData(), Enc(FPath).constData()) != 0) {
        const QString why = Errno();
        ::unlink(Enc(FTemp).constData());
        return fail(why);
    }
    SyncFolderOf(FPath);
    return true;
}

void TDownloadFile::Discard()
{
    if (FFd < 0)
        return;
    ::close(FFd);
    FFd = -1;
    ::unlink(Enc(FTemp).constData());
}

QString FileSha256(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f))
        return QString();
    return QString::fromLatin1(h.result().toHex());
}

bool ReplaceExecutable(const QString& exe, const QString& newFile, QString* err)
{
    const auto fail = [err](const QString& why) {
        if (err)
            *err = why;
        return false;
    };
    struct stat st = {};
    if (::stat(Enc(exe).constData(), &st) != 0)
        return fail(QStringLiteral("지금 exe 를 찾지 못했습니다. 지금 버전으로 실행합니다."));
    const QString old = exe + QStringLiteral(".old");
    ::unlink(Enc(old).constData());
    // Keep the running program under its ".old" name first: a hard link, or a
    // copy where the folder cannot hold one.
    if (::link(Enc(exe).constData(), Enc(old).constData()) != 0 && !CopyFile(exe, old))
        return fail(QStringLiteral("지금 exe 의 이름을 바꾸지 못했습니다 (권한?). 지금 버전으로 실행합니다."));
    // A downloaded file is 0600/0644: without the old mode it would never start.
    if (::chmod(Enc(newFile).constData(), st.st_mode & 07777) != 0
        || ::rename(Enc(newFile).constData(), Enc(exe).constData()) != 0) {
        ::unlink(Enc(old).constData());
        return fail(QStringLiteral("새 파일을 넣지 못했습니다. 지금 버전으로 실행합니다."));
    }
    SyncFolderOf(exe);
    return true;
}

bool RollBackExecutable(const QString& exe, QString* err)
{
    const QString old = exe + QStringLiteral(".old");
    if (::rename(Enc(old).constData(), Enc(exe).constData()) != 0) {
        if (err)
            *err = Errno();
        return false;
    }
    SyncFolderOf(exe);
    return true;
}
