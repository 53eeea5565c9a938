#include "core/SafeFile.h"
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TFileRead Refused(const QString& why, bool notRegular = false)
{
    TFileRead r;
    r.State = TFileRead::Refused;
    r.Why = why;
    r.NotRegular = notRegular;
    return r;
}

TFileRead TooBig(qint64 cap)
{
    TFileRead r = Refused(cap >= 1024 * 1024 ? QStringLiteral("파일이 %1 MiB 보다 큽니다").arg(cap / (1024 * 1024))
                                             : QStringLiteral("파일이 %1 바이트보다 큽니다").arg(cap));
    r.TooBig = true;
    return r;
}

QString KindOf(mode_t m)
{
    if (S_ISDIR(m))
        return QStringLiteral("폴더입니다");
    if (S_ISFIFO(m))
        return QStringLiteral("일반 파일이 아닙니다 (파이프)");
    if (S_ISCHR(m) || S_ISBLK(m))
        return QStringLiteral("일반 파일이 아닙니다 (장치)");
    if (S_ISSOCK(m))
        return QStringLiteral("일반 파일이 아닙니다 (소켓)");
    return QStringLiteral("일반 파일이 아닙니다");
}

} // namespace

TFileRead ReadRegularFile(const QString& path, qint64 cap)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return Refused(QStringLiteral("파일 정보를 읽지 못했습니다: ") + qt_error_string(errno));
    }
    // Looked at before it is opened: opening a pipe would wait for a writer.
    if (::stat(native.constData(), &st) != 0)
        return Refused(QStringLiteral("가리키는 파일이 없는 링크입니다"), true);
    if (!S_ISREG(st.st_mode))
        return Refused(KindOf(st.st_mode), true);
    if (st.st_size > cap)
        return TooBig(cap);

    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return Refused(QStringLiteral("열 수 없습니다: ") + qt_error_string(errno));
    TFileRead r;
    r.State = TFileRead::Read;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {   // replaced since the look above
        r = Refused(KindOf(st.st_mode), true);
    } else {
        char buf[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                r = Refused(QStringLiteral("읽는 중 오류: ") + qt_error_string(errno));
                break;
            }
            r.Bytes.append(buf, n);
            if (r.Bytes.size() > cap) {   // grew since the look above
                r = TooBig(cap);
                break;
            }
        }
    }
    ::close(fd);
    return r;
}
