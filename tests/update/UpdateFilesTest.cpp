// Receiving a file and swapping the executable: nothing half-written or
// unverified takes a real name, a link is never followed, and the program
// can always start.
#include "update/UpdateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray Read(const QString& p)
{
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}
void Put(const QString& p, const QByteArray& b, int mode = 0644)
{
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(b);
    f.close();
    ::chmod(QFile::encodeName(p).constData(), mode_t(mode));
}
QString Sha(const QByteArray& b) { return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex()); }
int ModeOf(const QString& p)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

TEST(DownloadFile, OnlyAWholeVerifiedFileTakesItsName)
{
    QTemporaryDir d;
    const QString target = d.path() + QStringLiteral("/dt.wav");
    const QByteArray body = QByteArray("RIFF") + QByteArray(5000, 'x');
    struct Case {
        const char* what;
        qint64 size;
        QString sha;
        QByteArray sent;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"size and hash right", body.size(), Sha(body), body, true},
        {"any size, hash right", 0, Sha(body).toUpper(), body, true},
        {"one byte short", body.size() + 1, Sha(body), body, false},
        {"past the declared size", body.size() - 1, Sha(body), body, false},
        {"another content", body.size(), Sha(body), QByteArray(body.size(), 'y'), false},
    };
    for (const Case& c : cases) {
        Put(target, "old");
        TDownloadFile f(target, c.size, c.sha);
        ASSERT_TRUE(f.Open()) << c.what;
        bool written = true;
        for (qsizetype at = 0; at < c.sent.size() && written; at += 1000)
            written = f.Write(c.sent.constData() + at, std::min<qsizetype>(1000, c.sent.size() - at));
        QString why;
        EXPECT_EQ(f.Commit(&why), c.ok) << c.what << " " << why.toStdString();
        EXPECT_EQ(Read(target), c.ok ? body : QByteArray("old")) << c.what;
        EXPECT_FALSE(QFile::exists(target + QStringLiteral(".dl"))) << c.what;
        if (c.ok)
            EXPECT_EQ(ModeOf(target), 0644) << c.what;
    }
}

TEST(DownloadFile, ALinkInTheWayIsRemovedNotFollowed)
{
    QTemporaryDir d;
    const QString victim = d.path() + QStringLiteral("/victim"), target = d.path() + QStringLiteral("/file");
    Put(victim, "precious");
    ASSERT_TRUE(QFile::link(victim, target + QStringLiteral(".dl")));
    {
        TDownloadFile f(target, 3, QString());
        ASSERT_TRUE(f.Open());
        ASSERT_TRUE(f.Write("new", 3));
        ASSERT_TRUE(f.Commit(nullptr, 0600));
    }
    EXPECT_EQ(Read(victim), QByteArray("precious"));
    EXPECT_EQ(Read(target), QByteArray("new"));
    EXPECT_EQ(ModeOf(target), 0600);
    // Dropped unfinished: the ".dl" goes with it.
    {
        TDownloadFile f(target, 0, QString());
        ASSERT_TRUE(f.Open());
        f.Write("half", 4);
    }
    EXPECT_FALSE(QFile::exists(target + QStringLiteral(".dl")));
    EXPECT_EQ(Read(target), QByteArray("new"));
}

TEST(ReplaceExecutable, NewBuildGetsTheModeAndTheOldOneStaysUntilItStarted)
{
    QTemporaryDir d;
    const QString exe = d.path() + QStringLiteral("/kestrelhts"), fresh = d.path() + QStringLiteral("/hts_update.tmp");
    Put(exe, "old build", 0750);
    Put(fresh, "new build", 0600);   // as downloaded
    Put(exe + QStringLiteral(".old"), "older still");
    QString why;
    ASSERT_TRUE(ReplaceExecutable(exe, fresh, &why)) << why.toStdString();
    EXPECT_EQ(Read(exe), QByteArray("new build"));
    EXPECT_EQ(ModeOf(exe), 0750) << "a downloaded file would never start";
    EXPECT_EQ(Read(exe + QStringLiteral(".old")), QByteArray("old build"));
    EXPECT_FALSE(QFile::exists(fresh));
    // The new build died at start-up: the old one comes back whole.
    ASSERT_TRUE(RollBackExecutable(exe, &why)) << why.toStdString();
    EXPECT_EQ(Read(exe), QByteArray("old build"));
    EXPECT_EQ(ModeOf(exe), 0750);
    EXPECT_FALSE(QFile::exists(exe + QStringLiteral(".old")));
    // The old one cannot be kept (its ".old" name is taken by a folder).
    ASSERT_TRUE(QDir().mkdir(exe + QStringLiteral(".old")));
    Put(fresh, "new build", 0600);
    EXPECT_FALSE(ReplaceExecutable(exe, fresh, &why));
    EXPECT_EQ(why, QStringLiteral("지금 exe 의 이름을 바꾸지 못했습니다 (권한?). 지금 버전으로 실행합니다."));
    EXPECT_EQ(Read(exe), QByteArray("old build"));
    ASSERT_TRUE(QDir().rmdir(exe + QStringLiteral(".old")));
    // Nothing to put in place: the program stays as it is.
    EXPECT_FALSE(ReplaceExecutable(exe, d.path() + QStringLiteral("/missing"), &why));
    EXPECT_EQ(why, QStringLiteral("새 파일을 넣지 못했습니다. 지금 버전으로 실행합니다."));
    EXPECT_EQ(Read(exe), QByteArray("old build"));
    EXPECT_EQ(FileSha256(exe), Sha("old build"));
    EXPECT_EQ(FileSha256(d.path()), QString());
}
