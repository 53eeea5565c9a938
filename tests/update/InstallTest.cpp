// Where the trader's files go, and the first start's configuration.
#include "core/IniFile.h"
#include "update/Install.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(Install, FilesBesideAWritableProgramElseInTheUsersDataFolder)
{
    QTemporaryDir d;
    const QString own = d.path() + QStringLiteral("/own"), opt = d.path() + QStringLiteral("/opt"),
                  data = d.path() + QStringLiteral("/data");
    QDir().mkpath(own);
    QDir().mkpath(opt);
    const TInstallInfo mine = InstallInfoFor(own, data);
    EXPECT_FALSE(mine.Managed);
    EXPECT_EQ(mine.FilesDir, own + QLatin1Char('/'));

    // The package marks its folder (root writes every folder).
    QFile mark(opt + QLatin1Char('/') + QLatin1String(kPackagedMark));
    ASSERT_TRUE(mark.open(QIODevice::WriteOnly));
    mark.close();
    const TInstallInfo installed = InstallInfoFor(opt, data);
    EXPECT_TRUE(installed.Managed);
    EXPECT_EQ(installed.ExeDir, opt + QLatin1Char('/'));
    EXPECT_EQ(installed.FilesDir, data + QStringLiteral("/kestrelhts/"));
    EXPECT_TRUE(QDir(installed.FilesDir).exists());
    ASSERT_TRUE(mark.remove());

    // A folder the user cannot write is an installed program as well.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(opt).constData(), 0555), 0);
        EXPECT_TRUE(InstallInfoFor(opt, data).Managed);
        ::chmod(QFile::encodeName(opt).constData(), 0755);
    }
}

TEST(Install, DefaultConfigurationOnlyWhenThereIsNone)
{
    QTemporaryDir d;
    ASSERT_TRUE(WriteDefaultConfig(d.path(), QStringLiteral("/opt/kestrelhts/Res")));
    TIniFile ini(d.path() + QStringLiteral("/hts.ini"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("HOST"), {}), QStringLiteral("sim"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("LOGIN"), QStringLiteral("PORT"), 0), 20001);
    EXPECT_EQ(ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("SVRTYPE"), {}), QStringLiteral("0"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("XING"), QStringLiteral("RES"), {}), QStringLiteral("/opt/kestrelhts/Res/"));
    EXPECT_FALSE(ini.ReadString(QStringLiteral("XING"), QStringLiteral("RES"), {}).contains(QLatin1Char('\\')));

    // The trader's own file is never touched.
    QFile f(d.path() + QStringLiteral("/hts.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[LOGIN]\nID=me\n");
    f.close();
    ASSERT_TRUE(WriteDefaultConfig(d.path(), QStringLiteral("/elsewhere")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[LOGIN]\nID=me\n"));
}
