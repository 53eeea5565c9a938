// The program itself, started more than once: the second start of the same
// file hands over to the first and ends; a copy killed with SIGKILL does not
// block the next start; a copy started by an update waits for the old one.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sys/stat.h>

namespace {

struct Program {
    QTemporaryDir dir;
    QString exe, run;

    Program()
    {
        // A copy of its own: its folder holds the files it writes.
        exe = dir.path() + QStringLiteral("/kestrelhts");
        run = dir.path() + QStringLiteral("/run");
        QDir().mkpath(run);
        ::chmod(QFile::encodeName(run).constData(), 0700);
        EXPECT_TRUE(QFile::copy(QStringLiteral(KESTREL_EXE), exe));
        QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    std::unique_ptr<QProcess> Start(const QStringList& args = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(dir.path());
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(exe, args);
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }
    // The copy holding the lock listens on its socket.
    bool Listening() const
    {
        const QStringList socks = QDir(run + QStringLiteral("/kestrelhts")).entryList({QStringLiteral("*.sock")}, QDir::System);
        return !socks.isEmpty();
    }
    static bool Within(int ms, const std::function<bool()>& done)
    {
        for (int t = 0; t < ms && !done(); t += 50)
            QThread::msleep(50);
        return done();
    }
    static void Kill(QProcess& p)
    {
        p.kill();
        p.waitForFinished(5000);
    }
};

} // namespace

TEST(SingleInstance, SecondStartHandsOverAndAKilledCopyBlocksNothing)
{
    Program prog;
    auto first = prog.Start();
    ASSERT_TRUE(Program::Within(30000, [&] { return prog.Listening(); })) << "the first copy never listened";

    auto second = prog.Start();
    ASSERT_TRUE(second->waitForFinished(15000)) << "the second copy did not end";
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    Program::Kill(*first);   // SIGKILL: no clean-up at all
    auto third = prog.Start();
    EXPECT_FALSE(third->waitForFinished(3000)) << "a start after a killed copy must run";
    EXPECT_EQ(third->state(), QProcess::Running);

    // A copy started by an update waits for the running one to end, then runs.
    auto updated = prog.Start({QStringLiteral("/UPDATED")});
    EXPECT_FALSE(updated->waitForFinished(1500));
    Program::Kill(*third);
    EXPECT_FALSE(updated->waitForFinished(3000));
    EXPECT_EQ(updated->state(), QProcess::Running);
    Program::Kill(*updated);
}
