#include "core/Config.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class ConfigTest : public ::testing::Test {
protected:
    QTemporaryDir FDir;
    QString FIni;
    QString FExeRes; // stands in for the Res folder beside the executable

    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FIni = FDir.filePath("hts.ini");
        FExeRes = FDir.filePath("exe/Res/");
        ASSERT_TRUE(QDir().mkpath(FExeRes));
    }
    void Write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString MakeResDir(const QString& name)
    {
        const QString dir = FDir.filePath(name);
        EXPECT_TRUE(QDir().mkpath(dir));
        Write(dir + "/t1101.res", "layout");
        return dir;
    }
};

TEST_F(ConfigTest, MissingFileKeepsDefaults)
{
    Write(FExeRes + "t1101.res", "layout");
    TConfig cfg;
    cfg.ID = "stale";
    QString err;
    EXPECT_FALSE(LoadConfig(FIni, cfg, err, FExeRes));
    EXPECT_EQ(err, QString::fromUtf8("설정 파일이 없습니다: ") + FIni
                       + QString::fromUtf8("  (exe 와 같은 폴더에 hts.ini 를 두세요)"));
    EXPECT_EQ(cfg.ID, "");
    EXPECT_EQ(cfg.Host, kDefaultHost);
    EXPECT_EQ(cfg.Host, "sim");
    EXPECT_EQ(cfg.Port, 20001);
    EXPECT_EQ(cfg.SvrType, 0);
    EXPECT_EQ(cfg.LastCode, "005930");
    EXPECT_EQ(cfg.ResPath, FExeRes);
}

TEST_F(ConfigTest, RequiredKeys)
{
    const QString idPw = QString::fromUtf8("ini [LOGIN] ID/PW 가 비어 있습니다");
    const QString acno = QString::fromUtf8("ini [ACCOUNT] ACNO 가 비어 있습니다");
    const struct {
        const char* Body;
        bool Ok;
        QString Err;
    } cases[] = {
        {"[LOGIN]\nID=u\nPW=p\n[ACCOUNT]\nACNO=1\n", true, ""},
        {"[LOGIN]\nPW=p\n[ACCOUNT]\nACNO=1\n", false, idPw},
        {"[LOGIN]\nID=   \nPW=p\n[ACCOUNT]\nACNO=1\n", false, idPw},
        {"[LOGIN]\nID=u\nPW=\n[ACCOUNT]\nACNO=1\n", false, idPw},
        {"[LOGIN]\nID=u\n[ACCOUNT]\n", false, idPw}, // ID/PW reported first
        {"[LOGIN]\nID=u\nPW=p\n", false, acno},
        {"[LOGIN]\nID=u\nPW=p\n[ACCOUNT]\nACNO=  \n", false, acno},
    };
    for (const auto& c : cases) {
        Write(FIni, c.Body);
        TConfig cfg;
        QString err = "stale";
        EXPECT_EQ(LoadConfig(FIni, cfg, err, FExeRes), c.Ok) << c.Body;
        EXPECT_EQ(err, c.Err) << c.Body;
    }
}

TEST_F(ConfigTest, TrimsNamesButNotPasswords)
{
    Write(FIni, "\xEF\xBB\xBF[login]\n"
                "ID=  user  \n"
                "PW=  pw  \n"
                "CERT= c e r t \n"
                "HOST=  10.0.0.1 \n"
                "PORT=20002\n"
                "SVRTYPE=1\n"
                "[ACCOUNT]\n"
                "ACNO= 12345678901 \n"
                "ACPW= 0000 \n"
                "[UI]\n"
                "LASTCODE= 000660 \n");
    TConfig cfg;
    QString err;
    ASSERT_TRUE(LoadConfig(FIni, cfg, err, FExeRes)) << err.toStdString();
    EXPECT_EQ(cfg.ID, "user");
    EXPECT_EQ(cfg.PW, "  pw  ");
    EXPECT_EQ(cfg.CertPW, " c e r t ");
    EXPECT_EQ(cfg.Host, "10.0.0.1");
    EXPECT_EQ(cfg.Port, 20002);
    EXPECT_EQ(cfg.SvrType, 1);
    EXPECT_EQ(cfg.Acno, "12345678901");
    EXPECT_EQ(cfg.AcPw, " 0000 ");
    EXPECT_EQ(cfg.LastCode, "000660");
}

TEST_F(ConfigTest, BadOrEmptyValuesFallBackToDefaults)
{
    Write(FIni, "[LOGIN]\nID=u\nPW=p\nHOST=  \nPORT=abc\nSVRTYPE=x\n[ACCOUNT]\nACNO=1\n[UI]\nLASTCODE=\n");
    TConfig cfg;
    QString err;
    ASSERT_TRUE(LoadConfig(FIni, cfg, err, FExeRes));
    EXPECT_EQ(cfg.Host, kDefaultHost);
    EXPECT_EQ(cfg.Port, 20001);
    EXPECT_EQ(cfg.SvrType, 0);
    EXPECT_EQ(cfg.LastCode, "005930");

    Write(FIni, "[LOGIN]\nID=u\nPW=p\nPORT=0\n[ACCOUNT]\nACNO=1\n");
    ASSERT_TRUE(LoadConfig(FIni, cfg, err, FExeRes));
    EXPECT_EQ(cfg.Port, 20001);
}

TEST_F(ConfigTest, ResolveResPath)
{
    const QString conf = MakeResDir("xing/Res");  // holds t1101.res, no trailing '/'
    const QString empty = FDir.filePath("empty"); // exists, no t1101.res
    ASSERT_TRUE(QDir().mkpath(empty));
    const QString missing = FDir.filePath("nowhere");

    // The Res folder beside the executable is empty at first.
    EXPECT_EQ(ResolveResPath(conf, FExeRes), conf + "/");
    EXPECT_EQ(ResolveResPath(conf + "/", FExeRes), conf + "/");
    EXPECT_EQ(ResolveResPath("  " + conf + "  ", FExeRes), conf + "/");
    EXPECT_EQ(ResolveResPath(empty, FExeRes), empty + "/");
    EXPECT_EQ(ResolveResPath(missing, FExeRes), missing + "/");
    EXPECT_EQ(ResolveResPath("", FExeRes), FExeRes);
    EXPECT_EQ(ResolveResPath("   ", FExeRes), FExeRes);

    Write(FExeRes + "t1101.res", "layout");
    EXPECT_EQ(ResolveResPath(conf, FExeRes), conf + "/"); // configured folder first
    EXPECT_EQ(ResolveResPath(missing, FExeRes), FExeRes);
    EXPECT_EQ(ResolveResPath("", FExeRes), FExeRes);
    // The Res folder may be given without its trailing separator.
    EXPECT_EQ(ResolveResPath("", FDir.filePath("exe/Res")), FExeRes);
}

TEST_F(ConfigTest, LoadConfigResolvesResFolder)
{
    const QString conf = MakeResDir("layouts");
    Write(FIni, ("[LOGIN]\nID=u\nPW=p\n[ACCOUNT]\nACNO=1\n[xing]\nRES=  " + conf + "\n").toUtf8());
    TConfig cfg;
    QString err;
    ASSERT_TRUE(LoadConfig(FIni, cfg, err, FExeRes));
    EXPECT_EQ(cfg.ResPath, conf + "/");

    Write(FIni, "[LOGIN]\nID=u\nPW=p\n[ACCOUNT]\nACNO=1\n[XING]\nRES=/no/such/dir\n");
    ASSERT_TRUE(LoadConfig(FIni, cfg, err, FExeRes));
    EXPECT_EQ(cfg.ResPath, "/no/such/dir/");
}

TEST_F(ConfigTest, DefaultResFolderIsBesideExecutable)
{
    EXPECT_EQ(ResolveResPath(""), QCoreApplication::applicationDirPath() + "/Res/");
}

} // namespace
