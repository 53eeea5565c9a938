// One running copy per executable: the lock's name, who gets it, and that a
// killed owner or a started child never keeps it; the "come to the front"
// socket.
#include "update/InstanceLink.h"
#include "update/InstanceLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using TState = TInstanceLock::TState;

struct LockDirs {
    QTemporaryDir locks, exes;
    QString Exe(const QString& rel)
    {
        const QString p = exes.path() + QLatin1Char('/') + rel;
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return p;
    }
};

} // namespace

TEST(InstanceLock, NameFollowsTheRealPathWithItsCase)
{
    LockDirs d;
    const QString a = d.Exe(QStringLiteral("a/kestrelhts"));
    const QString upper = d.Exe(QStringLiteral("A/kestrelhts"));
    const QString link = d.exes.path() + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(a, link));
    EXPECT_TRUE(InstanceName(a).startsWith(QStringLiteral("KESTREL_pHTS_")));
    EXPECT_EQ(InstanceName(a).size(), 13 + 16);
    EXPECT_EQ(InstanceName(a), InstanceName(link)) << "a link names the file it points at";
    EXPECT_EQ(InstanceName(a), InstanceName(d.exes.path() + QStringLiteral("/a/../a/kestrelhts")));
    EXPECT_NE(InstanceName(a), InstanceName(upper)) << "two files, two copies";
}

TEST(InstanceLock, OneOwnerPerExecutableAndCopiesElsewhereRunSideBySide)
{
    LockDirs d;
    const QString a = d.Exe(QStringLiteral("one/kestrelhts")), b = d.Exe(QStringLiteral("two/kestrelhts"));
    TInstanceLock first(a, d.locks.path()), second(a, d.locks.path()), other(b, d.locks.path());
    EXPECT_EQ(first.Acquire(), TState::Owned);
    EXPECT_EQ(second.Acquire(), TState::Busy);
    EXPECT_EQ(other.Acquire(), TState::Owned);
    // The restarted copy waits for the old one to let go.
    std::thread exiting([&first] {
        QThread::msleep(200);
        first.Release();
    });
    EXPECT_EQ(second.Acquire(3000), TState::Owned);
    exiting.join();
    EXPECT_TRUE(second.Owned());
    EXPECT_EQ(QFileInfo(second.LockPath()).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup), 0);
}

TEST(InstanceLock, AKilledOwnerLeavesNoLock)
{
    LockDirs d;
    const QString exe = d.Exe(QStringLiteral("kestrelhts"));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TInstanceLock lock(exe, d.locks.path());
        const char c = lock.Acquire() == TState::Owned ? 'y' : 'n';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &c, 1);
        for (;;)
            ::pause();
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    TInstanceLock mine(exe, d.locks.path());
    EXPECT_EQ(mine.Acquire(), TState::Busy);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(mine.Acquire(), TState::Owned);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(InstanceLock, AStartedChildDoesNotInheritTheLock)
{
    LockDirs d;
    TInstanceLock lock(d.Exe(QStringLiteral("kestrelhts")), d.locks.path());
    ASSERT_EQ(lock.Acquire(), TState::Owned);
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("ls -l /proc/$$/fd")});
    ASSERT_TRUE(p.waitForFinished(5000));
    const QString fds = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_FALSE(fds.isEmpty());
    EXPECT_FALSE(fds.contains(QFileInfo(lock.LockPath()).fileName())) << fds.toStdString();
}

TEST(InstanceLock, WithoutAFolderTheProgramStartsAnyway)
{
    LockDirs d;
    const QString notADir = d.Exe(QStringLiteral("file"));
    TInstanceLock lock(d.Exe(QStringLiteral("kestrelhts")), notADir);
    EXPECT_EQ(lock.Acquire(), TState::Unavailable);
    EXPECT_FALSE(lock.Owned());
}

TEST(InstanceLink, SecondStartAsksTheFirstToComeToTheFront)
{
    LockDirs d;
    TInstanceLock lock(d.Exe(QStringLiteral("kestrelhts")), d.locks.path());
    ASSERT_EQ(lock.Acquire(), TState::Owned);
    // No copy listens yet (a socket file left by a killed copy included).
    EXPECT_FALSE(TInstanceLink::AskToRaise(lock.SocketPath(), 300));
    QFile stale(lock.SocketPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    TInstanceLink link;
    int raised = 0;
    bool windowUp = true;
    ASSERT_TRUE(link.Listen(lock.SocketPath(), [&] {
        ++raised;
        return windowUp;
    }));
    for (const bool up : {true, false}) {
        windowUp = up;
        std::atomic<int> answer{-1};
        std::thread second([&] { answer = TInstanceLink::AskToRaise(lock.SocketPath(), 3000) ? 1 : 0; });
        for (int i = 0; i < 300 && answer < 0; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        second.join();
        EXPECT_EQ(answer, up ? 1 : 0);
    }
    EXPECT_EQ(raised, 2);
}
