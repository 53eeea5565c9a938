// Drawings per stock and chart in draws.json: keys, round trip, the file's
// form, broken files and failing saves.
#include "chart/DrawStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        s.Load();  // missing file: empty, no error
        EXPECT_TRUE(s.IsEmpty());
        EXPECT_TRUE(s.SaveDraws("005930|D", day).isEmpty());
        EXPECT_EQ(ReadAll(path),
                  Bom + R"({"005930|D":[{"k":"H","d1":"20250312","d2":"","p1":71000,"p2":0}]})");
        EXPECT_TRUE(s.SaveDraws("000660|N", min).isEmpty());
        EXPECT_TRUE(s.SaveDraws("", min).isEmpty());  // no stock: nothing stored
        EXPECT_EQ(s.Keys(), (QStringList{"005930|D", "000660|N"}));
    }
    TDrawStore s(path);
    s.Load();
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
    EXPECT_EQ(d.entryList(QDir::Files), QStringList{"draws.json"});  // no temporary left
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

TEST(DrawStore, BrokenFilesStartEmpty)
{
    const QByteArray bodies[] = {
        "",
        "{\"005930|D\":[{\"k\":\"H\"",          // truncated
        "[{\"k\":\"H\"}]",                       // top level is an array
        "\"text\"",
        "\xff\xfe garbage",
        Bom + "null",
    };
    for (const QByteArray& body : bodies) {
        QTemporaryDir dir;
        const QString path = dir.filePath("draws.json");
        WriteAll(path, body);
        TDrawStore s(path);
        s.Load();
        EXPECT_TRUE(s.IsEmpty()) << body.constData();
        // The first save overwrites the broken file.
        ASSERT_TRUE(s.SaveDraws("005930|M", {{QLatin1Char('X'), "20250301", "", 5, 0}}).isEmpty());
        TDrawStore back(path);
        back.Load();
        EXPECT_EQ(back.Keys(), QStringList{"005930|M"});
    }

    QTemporaryDir dir;  // a folder where the file should be: unreadable, empty store
    ASSERT_TRUE(QDir(dir.path()).mkdir("draws.json"));
    TDrawStore s(dir.filePath("draws.json"));
    s.Load();
    EXPECT_TRUE(s.IsEmpty());
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
