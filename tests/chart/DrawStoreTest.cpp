// Drawings per stock and chart in draws.json: keys, round trip, the file's
// form, damaged files set aside and failing saves.
#include "chart/DrawStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& body)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(body);
}

const QByteArray Bom("\xEF\xBB\xBF");

// Names of everything set aside beside draws.json, sorted.
QStringList SetAside(const QString& dir)
{
    return QDir(dir).entryList({"draws.json.bad-*"}, QDir::AllEntries | QDir::System | QDir::Hidden,
                               QDir::Name);
}

} // namespace

TEST(DrawStore, KeysPerChart)
{
    EXPECT_EQ(TDrawStore::DrawKey("005930", true, 2), "005930|N");
    EXPECT_EQ(TDrawStore::DrawKey("005930", false, 0), "005930|D");
    EXPECT_EQ(TDrawStore::DrawKey("005930", false, 1), "005930|W");
    EXPECT_EQ(TDrawStore::DrawKey("005930", false, 2), "005930|M");
    EXPECT_EQ(TDrawStore::DrawKey("005930", false, 7), "005930|M");
    EXPECT_EQ(TDrawStore::DrawKey("005930", false, -1), "005930|D");
    EXPECT_TRUE(TDrawStore::DrawKey("", true, 0).isEmpty());
}

TEST(DrawStore, RoundTripThroughTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("draws.json");

    const QVector<TDrawObj> day = {{QLatin1Char('H'), "20250312", "", 71000, 0}};
    const QVector<TDrawObj> min = {
        {QLatin1Char('L'), "202503120901", "202503121030", 70100.5, 71250},
        {QLatin1Char('C'), "202503120905", "202503120915", 70000, 70500},
        {QLatin1Char('V'), "202503121100", "", 0, 0},
    };
    {
        TDrawStore s(path);
        EXPECT_TRUE(s.Load().isEmpty());  // missing file: empty, no message
        EXPECT_TRUE(s.IsEmpty());
        EXPECT_TRUE(s.SaveDraws("005930|D", day).isEmpty());
        EXPECT_EQ(ReadAll(path),
                  Bom + R"({"005930|D":[{"k":"H","d1":"20250312","d2":"","p1":71000,"p2":0}]})");
        EXPECT_TRUE(s.SaveDraws("000660|N", min).isEmpty());
        EXPECT_TRUE(s.SaveDraws("", min).isEmpty());  // no stock: nothing stored
        EXPECT_EQ(s.Keys(), (QStringList{"005930|D", "000660|N"}));
    }
    TDrawStore s(path);
    EXPECT_TRUE(s.Load().isEmpty());  // a good file loads silently
    EXPECT_EQ(s.Draws("005930|D"), day);
    EXPECT_EQ(s.Draws("000660|N"), min);
    EXPECT_TRUE(s.Draws("005930|W").isEmpty());
    EXPECT_TRUE(s.Draws("").isEmpty());

    // A changed chart moves to the end; clearing removes its key from the file.
    EXPECT_TRUE(s.SaveDraws("005930|D", {day[0], day[0]}).isEmpty());
    EXPECT_EQ(s.Keys(), (QStringList{"000660|N", "005930|D"}));
    EXPECT_TRUE(s.SaveDraws("000660|N", {}).isEmpty());
    EXPECT_FALSE(ReadAll(path).contains("000660"));
    TDrawStore again(path);
    again.Load();
    EXPECT_EQ(again.Keys(), QStringList{"005930|D"});
    EXPECT_EQ(again.Draws("005930|D").size(), 2);
    QDir d(dir.path());
    EXPECT_EQ(d.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"draws.json"});  // no temporary or set-aside file left
}

TEST(DrawStore, FileIsPlainAscii)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("draws.json");
    TDrawStore s(path);
    ASSERT_TRUE(s.SaveDraws("가나|N", {{QChar(0xAC00), "a\nb\tc\"\\", "", 1.25, -3}}).isEmpty());
    const QByteArray body = ReadAll(path);
    ASSERT_TRUE(body.startsWith(Bom));
    const QByteArray text = body.mid(3);
    for (const char c : text)
        EXPECT_TRUE(c >= 32 && c < 127) << int(c);
    EXPECT_TRUE(text.contains(R"(\uac00\ub098|N)")) << text.constData();
    EXPECT_TRUE(text.contains(R"("a\u000ab\u0009c\"\\")")) << text.constData();
    EXPECT_TRUE(text.contains(R"("p1":1.25,"p2":-3)")) << text.constData();

    TDrawStore back(path);
    back.Load();
    const QVector<TDrawObj> d = back.Draws("가나|N");
    ASSERT_EQ(d.size(), 1);
    EXPECT_EQ(d[0].K, QChar(0xAC00));
    EXPECT_EQ(d[0].D1, "a\nb\tc\"\\");
    EXPECT_EQ(d[0].P2, -3);
}

// A draws.json that cannot be used is renamed aside, whatever it is, and the
// next save starts a fresh file while the old one keeps its bytes.
TEST(DrawStore, DamagedFileIsSetAsideNotOverwritten)
{
    QByteArray tooDeep = "{\"005930|D\":";
    tooDeep += QByteArray(1000000, '[') + QByteArray(1000000, ']') + "}";
    QByteArray tooBig = Bom + "{\"005930|D\":[]";
    tooBig += QByteArray(64 * 1024 * 1024, ' ') + "}";
    const struct {
        const char* Name;
        QByteArray Body;
    } files[] = {
        {"garbage", "\xff\xfe garbage"},
        {"empty", ""},
        {"truncated", "{\"005930|D\":[{\"k\":\"H\""},
        {"array", "[{\"k\":\"H\"}]"},
        {"string", "\"text\""},
        {"null after the mark", Bom + "null"},
        {"not UTF-8", "{\"005930|D\":[{\"k\":\"\xc0\xaf\"}]}"},
        {"number out of range", "{\"005930|D\":[{\"k\":\"H\",\"p1\":1e999}]}"},
        {"nested too deep", tooDeep},
        {"over 64 MiB", tooBig},
    };
    for (const auto& c : files) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir dir;
        const QString path = dir.filePath("draws.json");
        WriteAll(path, c.Body);
        TDrawStore s(path);
        const QString msg = s.Load();
        EXPECT_TRUE(s.IsEmpty());
        const QStringList aside = SetAside(dir.path());
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(msg.startsWith("!! draws.json ")) << msg.toStdString();
        EXPECT_TRUE(msg.contains(aside[0])) << msg.toStdString();
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_TRUE(ReadAll(dir.filePath(aside[0])) == c.Body);

        ASSERT_TRUE(s.SaveDraws("005930|M", {{QLatin1Char('X'), "20250301", "", 5, 0}}).isEmpty());
        TDrawStore back(path);
        EXPECT_TRUE(back.Load().isEmpty());
        EXPECT_EQ(back.Keys(), QStringList{"005930|M"});
        EXPECT_TRUE(ReadAll(dir.filePath(aside[0])) == c.Body);
        EXPECT_EQ(SetAside(dir.path()), aside);
    }
}

// Not a regular file: renamed aside without being opened, so a pipe never
// blocks the start-up and a folder keeps its contents.
TEST(DrawStore, NonRegularFileIsSetAsideUnopened)
{
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "fifo" : "folder");
        QTemporaryDir dir;
        const QString path = dir.filePath("draws.json");
        const QByteArray native = QFile::encodeName(path);
        if (fifo) {
            if (::mkfifo(native.constData(), 0600) != 0)
                continue; // a file system without pipes
        } else {
            ASSERT_TRUE(QDir(dir.path()).mkpath("draws.json"));
            WriteAll(dir.filePath("draws.json/keep.txt"), "keep");
        }
        // Should Load open the pipe, this ends the wait after a few seconds
        // and the elapsed time shows it.
        std::atomic<bool> done{false};
        std::thread unblock([&] {
            for (int i = 0; i < 300 && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
        QElapsedTimer t;
        t.start();
        TDrawStore s(path);
        const QString msg = s.Load();
        const qint64 ms = t.elapsed();
        done = true;
        unblock.join();
        EXPECT_LT(ms, 2000);
        EXPECT_TRUE(msg.startsWith("!! draws.json ")) << msg.toStdString();
        const QStringList aside = SetAside(dir.path());
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(msg.contains(aside[0])) << msg.toStdString();
        const QString moved = dir.filePath(aside[0]);
        if (fifo) {
            struct stat st {};
            ASSERT_EQ(::lstat(QFile::encodeName(moved).constData(), &st), 0);
            EXPECT_TRUE(S_ISFIFO(st.st_mode));
        } else {
            EXPECT_EQ(ReadAll(moved + "/keep.txt"), "keep");
        }
        ASSERT_TRUE(s.SaveDraws("005930|N", {{QLatin1Char('H'), "202503120901", "", 70000, 0}}).isEmpty());
        EXPECT_TRUE(QFileInfo(path).isFile());
        EXPECT_EQ(SetAside(dir.path()), aside);
    }
}

// Every set-aside copy gets a name of its own, however quickly they follow.
TEST(DrawStore, SetAsideNeverReplacesAnEarlierOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("draws.json");
    QSet<QString> names;
    for (int i = 0; i < 30; ++i) {
        WriteAll(path, "broken " + QByteArray::number(i));
        TDrawStore s(path);
        EXPECT_TRUE(s.Load().startsWith("!! "));
    }
    const QStringList aside = SetAside(dir.path());
    ASSERT_EQ(aside.size(), 30);
    QSet<QByteArray> bodies;
    for (const QString& name : aside) {
        EXPECT_TRUE(name.startsWith("draws.json.bad-")) << name.toStdString();
        bodies.insert(ReadAll(dir.filePath(name)));
    }
    EXPECT_EQ(bodies.size(), 30);
}

// When the damaged file cannot be renamed it stays as it is, and the store
// refuses to save over it.
TEST(DrawStore, UnmovableDamagedFileIsNeverSavedOver)
{
    QTemporaryDir dir;
    // 240 characters: a save's temporary name still fits in a folder entry
    // (255 at most), the ".bad-..." name beside it does not.
    const QString path = dir.filePath(QString(235, QLatin1Char('d')) + ".json");
    const QByteArray body = "{\"005930|D\": [ broken";
    WriteAll(path, body);
    ASSERT_TRUE(ReadAll(path) == body);
    TDrawStore s(path);
    const QString msg = s.Load();
    EXPECT_TRUE(msg.startsWith("!! ")) << msg.toStdString();
    EXPECT_TRUE(msg.contains("저장하지 않습니다")) << msg.toStdString();
    EXPECT_TRUE(s.IsEmpty());

    const QString saved = s.SaveDraws("005930|N", {{QLatin1Char('H'), "202503120901", "", 70000, 0}});
    EXPECT_TRUE(saved.startsWith("!! 그린 것 저장 실패: ")) << saved.toStdString();
    EXPECT_EQ(s.Draws("005930|N").size(), 1); // memory keeps the change
    EXPECT_TRUE(s.Save().startsWith("!! "));
    EXPECT_TRUE(ReadAll(path) == body);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(), 1);
}

// Unreadable for the user: set aside like any other damage.
TEST(DrawStore, UnreadableFileIsSetAside)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    QTemporaryDir dir;
    const QString path = dir.filePath("draws.json");
    WriteAll(path, "{}");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    TDrawStore s(path);
    const QString msg = s.Load();
    EXPECT_TRUE(msg.startsWith("!! draws.json ")) << msg.toStdString();
    EXPECT_EQ(SetAside(dir.path()).size(), 1);
    EXPECT_TRUE(s.SaveDraws("005930|D", {{QLatin1Char('H'), "20250312", "", 1, 0}}).isEmpty());
}

TEST(DrawStore, LenientMembers)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("draws.json");
    WriteAll(path, Bom + R"({"005930|D":[{"d1":"20250312","p1":71000},
        7, "x", [1], {"k":"","p1":"70000"}, {"k":"Lxx","d1":5,"d2":"20250314","p2":-1.5}],
        "005930|W":{"k":"H"}})");
    TDrawStore s(path);
    s.Load();
    const QVector<TDrawObj> d = s.Draws("005930|D");
    ASSERT_EQ(d.size(), 3);  // elements that are not objects are skipped
    EXPECT_EQ(d[0], (TDrawObj{QLatin1Char('H'), "20250312", "", 71000, 0}));
    EXPECT_EQ(d[1], (TDrawObj{QLatin1Char('H'), "", "", 0, 0}));
    EXPECT_EQ(d[2], (TDrawObj{QLatin1Char('L'), "", "20250314", 0, -1.5}));
    EXPECT_TRUE(s.Draws("005930|W").isEmpty());  // not an array
}

TEST(DrawStore, FailedSaveIsReportedAndKept)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/draws.json");  // folder does not exist
    TDrawStore s(path);
    const QString msg = s.SaveDraws("005930|N", {{QLatin1Char('H'), "202503120901", "", 70000, 0}});
    EXPECT_TRUE(msg.startsWith("!! 그린 것 저장 실패: ")) << msg.toStdString();
    EXPECT_GT(msg.size(), QString("!! 그린 것 저장 실패: ").size());
    EXPECT_EQ(s.Draws("005930|N").size(), 1);  // memory keeps the change
    // The next save writes it once the folder is there.
    ASSERT_TRUE(QDir(dir.path()).mkdir("missing"));
    EXPECT_TRUE(s.Save().isEmpty());
    TDrawStore back(path);
    back.Load();
    EXPECT_EQ(back.Draws("005930|N").size(), 1);
}
