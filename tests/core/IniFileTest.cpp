#include "core/IniFile.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir FDir;
    QString FPath;

    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath("hts.ini");
    }
    void WriteRaw(const QByteArray& bytes, const QString& path = QString())
    {
        QFile f(path.isEmpty() ? FPath : path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray ReadRaw(const QString& path = QString())
    {
        QFile f(path.isEmpty() ? FPath : path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(IniFileTest, ReadsWithAndWithoutBomAndCrLf)
{
    const QByteArray bodies[] = {
        "[LOGIN]\nID=abc\n",
        "\xEF\xBB\xBF[LOGIN]\nID=abc\n",
        "\xEF\xBB\xBF[LOGIN]\r\nID=abc\r\n",
        "[LOGIN]\nID=abc", // no final line break
    };
    for (const QByteArray& b : bodies) {
        WriteRaw(b);
        TIniFile ini;
        ASSERT_TRUE(ini.Load(FPath));
        EXPECT_TRUE(ini.Exists());
        EXPECT_EQ(ini.ReadString("LOGIN", "ID", "def"), "abc") << b.toStdString();
        EXPECT_FALSE(ini.HadInvalidText());
    }
}

TEST_F(IniFileTest, NamesCompareCaseInsensitively)
{
    WriteRaw("[login]\n  Id  =x\n[Ui]\nlastcode=000660\n");
    TIniFile ini(FPath);
    EXPECT_EQ(ini.ReadString("LOGIN", "ID", ""), "x");
    EXPECT_EQ(ini.ReadString("UI", "LASTCODE", ""), "000660");
    EXPECT_TRUE(ini.ValueExists("Login", "iD"));
    EXPECT_FALSE(ini.ValueExists("LOGIN", "LASTCODE")); // key of another section
    ini.WriteString("LOGIN", "ID", "y");                 // updates in place
    EXPECT_EQ(ini.Text(), "[login]\nId=y\n[Ui]\nlastcode=000660\n");
}

TEST_F(IniFileTest, RoundTripKeepsUnknownLinesAndOrder)
{
    WriteRaw("; settings\n"
             "[LOGIN]\n"
             "ID=me\n"
             "FUTURE=keep me\n"
             "garbage line\n"
             "\n"
             "[OTHER]\n"
             "A=1\n"
             "; trailing comment\n");
    TIniFile ini(FPath);
    ini.WriteString("LOGIN", "ID", "you");
    ini.WriteString("LOGIN", "PW", "pw");     // new key after the section's last key
    ini.WriteInteger("LAYOUT", "W", 1200);    // new section at the end
    ini.WriteBool("LAYOUT", "MAX", true);
    QString err;
    ASSERT_TRUE(ini.UpdateFile(&err)) << err.toStdString();

    const QByteArray want = "\xEF\xBB\xBF"
                            "; settings\n"
                            "[LOGIN]\n"
                            "ID=you\n"
                            "FUTURE=keep me\n"
                            "PW=pw\n"
                            "garbage line\n"
                            "\n"
                            "[OTHER]\n"
                            "A=1\n"
                            "; trailing comment\n"
                            "\n"
                            "[LAYOUT]\n"
                            "W=1200\n"
                            "MAX=1\n";
    EXPECT_EQ(ReadRaw(), want);

    TIniFile again(FPath);
    EXPECT_EQ(again.ReadString("LOGIN", "FUTURE", ""), "keep me");
    EXPECT_EQ(again.ReadInteger("LAYOUT", "W", 0), 1200);
    EXPECT_EQ(again.Text(), QString::fromUtf8(want.mid(3)));
}

TEST_F(IniFileTest, NamesAreFoundAsTheyAreWritten)
{
    // A caller's name with blanks around it is the name written to the file:
    // it finds the section and key already there instead of adding another.
    WriteRaw("[SIM]\nRATE=2\n");
    TIniFile ini(FPath);
    for (const QString sec : {QStringLiteral(" SIM"), QStringLiteral("SIM\t"), QStringLiteral("\u2028sim")}) {
        ini.WriteInteger(sec, " RATE ", 5);
        EXPECT_EQ(ini.ReadInteger("SIM", "RATE", 0), 5) << sec.toStdString();
        EXPECT_EQ(ini.ReadInteger(sec, "RATE", 0), 5) << sec.toStdString();
        EXPECT_TRUE(ini.SectionExists(sec));
        ini.WriteInteger("SIM", "RATE", 2);
    }
    EXPECT_EQ(ini.Text().count("[SIM]"), 1);
    EXPECT_EQ(ini.Text().count("RATE="), 1);
}

TEST_F(IniFileTest, IntegersAndBooleans)
{
    WriteRaw("[UI]\nN= 42 \nBAD=4x\nEMPTY=\nT2=2\nTM=-1\nF=0\nWORD=yes\n");
    TIniFile ini(FPath);
    EXPECT_EQ(ini.ReadInteger("UI", "N", 7), 42);
    EXPECT_EQ(ini.ReadInteger("UI", "BAD", 7), 7);
    EXPECT_EQ(ini.ReadInteger("UI", "EMPTY", 7), 7);
    EXPECT_EQ(ini.ReadInteger("UI", "MISSING", 7), 7);
    EXPECT_TRUE(ini.ReadBool("UI", "T2", false));
    EXPECT_TRUE(ini.ReadBool("UI", "TM", false));
    EXPECT_FALSE(ini.ReadBool("UI", "F", true));
    EXPECT_TRUE(ini.ReadBool("UI", "WORD", true));
    EXPECT_FALSE(ini.ReadBool("UI", "WORD", false));
    EXPECT_TRUE(ini.ReadBool("UI", "MISSING", true));

    ini.WriteBool("UI", "F", true);
    ini.WriteBool("UI", "T2", false);
    EXPECT_EQ(ini.ReadString("UI", "F", ""), "1");
    EXPECT_EQ(ini.ReadString("UI", "T2", ""), "0");
}

TEST_F(IniFileTest, ValuesAreKeptExactly)
{
    TIniFile ini(FPath);
    EXPECT_FALSE(ini.Exists());
    ini.WriteString("LOGIN", "PW", "  p a=ss  ");
    ini.WriteString("UI", "ISSUEKW", QString::fromUtf8("반도체 2차전지"));
    ini.WriteString("UI", "MULTI", "a\r\nb"); // must not become a second line
    ASSERT_TRUE(ini.UpdateFile());

    TIniFile again(FPath);
    EXPECT_TRUE(again.Exists());
    EXPECT_EQ(again.ReadString("LOGIN", "PW", ""), "  p a=ss  ");
    EXPECT_EQ(again.ReadString("UI", "ISSUEKW", ""), QString::fromUtf8("반도체 2차전지"));
    EXPECT_EQ(again.ReadString("UI", "MULTI", ""), "a  b");
    EXPECT_EQ(again.Text().count('\n'), 6); // [LOGIN], PW, blank, [UI], ISSUEKW, MULTI
}

TEST_F(IniFileTest, SaveIsAtomicAndPrivate)
{
    WriteRaw("[A]\nK=old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(FPath).constData(), 0644), 0);
    TIniFile ini(FPath);
    ini.WriteString("A", "K", "new");
    QString err;
    ASSERT_TRUE(ini.UpdateFile(&err)) << err.toStdString();

    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(FPath).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"hts.ini"});
    EXPECT_EQ(ReadRaw(), QByteArray("\xEF\xBB\xBF[A]\nK=new\n"));
}

TEST_F(IniFileTest, FailedSaveLeavesOldFile)
{
    // A name so long that no temporary file can be made beside it: the save
    // fails for every user, root included.
    const QString longPath = FDir.filePath(QString(250, 'h'));
    WriteRaw("[A]\nK=old\n", longPath);
    TIniFile ini(longPath);
    ini.WriteString("A", "K", "new");
    QString err;
    EXPECT_FALSE(ini.UpdateFile(&err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(ReadRaw(longPath), QByteArray("[A]\nK=old\n"));
}

TEST_F(IniFileTest, SaveIntoReadOnlyFolderFails)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    WriteRaw("[A]\nK=old\n");
    TIniFile ini(FPath);
    ini.WriteString("A", "K", "new");
    const QByteArray dir = QFile::encodeName(FDir.path());
    ASSERT_EQ(::chmod(dir.constData(), 0500), 0);
    QString err;
    const bool ok = ini.UpdateFile(&err);
    ::chmod(dir.constData(), 0700);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(ReadRaw(), QByteArray("[A]\nK=old\n"));
}

TEST_F(IniFileTest, InvalidUtf8IsReadLeniently)
{
    WriteRaw("\xFF\xFE[UI]\nBAD=\xC3(\nGOOD=1\n");
    TIniFile ini;
    EXPECT_TRUE(ini.Load(FPath));
    EXPECT_TRUE(ini.HadInvalidText());
    EXPECT_FALSE(ini.SectionExists("UI")); // the broken first line is no section header
    EXPECT_EQ(ini.ReadInteger("UI", "GOOD", 0), 0);
    WriteRaw("[UI]\nBAD=\xC3(\nGOOD=1\n");
    ASSERT_TRUE(ini.Load(FPath));
    EXPECT_EQ(ini.ReadInteger("UI", "GOOD", 0), 1);
    EXPECT_EQ(ini.ReadString("UI", "BAD", ""), QString(QChar(0xFFFD)) + "(");
    // Writing it back would turn the unreadable bytes into U+FFFD for good.
    ini.WriteString("UI", "GOOD", "2");
    QString err;
    EXPECT_FALSE(ini.UpdateFile(&err));
    EXPECT_TRUE(err.contains("UTF-8"));
    EXPECT_EQ(ReadRaw(), QByteArray("[UI]\nBAD=\xC3(\nGOOD=1\n"));
    // A sequence cut off by the end of the file is as invalid as one in the middle.
    const QByteArray cut("[LOGIN]\nID=\xEA\xB9\x80\n\xEA\xB9");
    WriteRaw(cut);
    ASSERT_TRUE(ini.Load(FPath));
    EXPECT_TRUE(ini.HadInvalidText());
    ini.WriteString("LOGIN", "PW", "x");
    EXPECT_FALSE(ini.UpdateFile(&err));
    EXPECT_EQ(ReadRaw(), cut);
}

TEST_F(IniFileTest, UnreadableFileIsNeverOverwritten)
{
    // A folder, a pipe (opening it would wait for a writer for ever) and a
    // file far too big for settings: refused with a reason, left as they are.
    const struct {
        const char* What;
        std::function<bool(const QByteArray&)> Make;
        const char* Says;
    } cases[] = {
        {"folder", [](const QByteArray& p) { return ::mkdir(p.constData(), 0700) == 0; }, "폴더"},
        {"pipe", [](const QByteArray& p) { return ::mkfifo(p.constData(), 0600) == 0; }, "파이프"},
        {"huge", [](const QByteArray& p) {
             QFile f(QString::fromLocal8Bit(p));
             return f.open(QIODevice::WriteOnly) && f.resize(TIniFile::kMaxBytes + 1);
         }, "MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const QString path = FDir.filePath(QString::fromLatin1(c.What) + ".ini");
        ASSERT_TRUE(c.Make(QFile::encodeName(path)));
        const QFileInfo before(path);
        TIniFile ini;
        QString err;
        EXPECT_FALSE(ini.Load(path, &err));
        EXPECT_TRUE(ini.Exists());
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.Says))) << err.toStdString();
        ini.WriteString("A", "K", "v");
        err.clear();
        EXPECT_FALSE(ini.UpdateFile(&err));
        EXPECT_FALSE(err.isEmpty());
        const QFileInfo after(path);
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_EQ(after.size(), before.size());
        EXPECT_EQ(after.lastModified(), before.lastModified());
    }
}

TEST(CommaText, ReadWriteAndRoundTrip)
{
    const struct {
        const char* Text;
        QStringList Items;
    } reads[] = {
        {"005930,000660", {"005930", "000660"}},
        {"a b  c", {"a", "b", "c"}},
        {" a , b ", {"a", "b"}},
        {"", {}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"\"x\"\"y\"", {"x\"y"}},
        {"\"a b\",\"c,d\"", {"a b", "c,d"}},
        {"\"open", {"open"}},
        {"\"\"", {""}},
    };
    for (const auto& r : reads)
        EXPECT_EQ(CommaTextToList(r.Text), r.Items) << r.Text;

    EXPECT_EQ(ListToCommaText({"005930", "000660"}), "005930,000660");
    EXPECT_EQ(ListToCommaText({"a b", "c,d", "e\"f"}), "\"a b\",\"c,d\",\"e\"\"f\"");
    EXPECT_EQ(ListToCommaText({}), "");

    const QStringList lists[] = {
        {"15"},
        {"a b", "c,d", "e\"f", "plain"},
        {"x", "", "y"},
        {""},
        {" lead", "trail ", "\"q\""},
    };
    for (const QStringList& l : lists)
        EXPECT_EQ(CommaTextToList(ListToCommaText(l)), l) << ListToCommaText(l).toStdString();
}

} // namespace
