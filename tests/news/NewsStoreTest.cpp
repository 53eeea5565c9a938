// The day's headlines and their day file: the line format, loading, live
// headlines, the server archive, earlier days, and surviving a kill while
// the file is being written.
#include "news/NewsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString KToday = QStringLiteral("20260310"); // a Tuesday
const QByteArray KBom("\xEF\xBB\xBF");

TNewsRow Row(const QString& d, const char* t, const char* key, const char* title = "제목",
             const char* codes = "005930", const char* src = "")
{
    return TNewsRow{d, QString::fromUtf8(t), QString::fromUtf8(key), QString::fromUtf8(title),
                    QString::fromUtf8(codes), QString::fromUtf8(src)};
}

bool Same(const TNewsRow& a, const TNewsRow& b)
{
    return a.D == b.D && a.T == b.T && a.Key == b.Key && a.Title == b.Title && a.Codes == b.Codes && a.Src == b.Src;
}

QStringList KeysOf(const QVector<TNewsRow>& rows)
{
    QStringList k;
    for (const TNewsRow& r : rows)
        k << r.Key;
    return k;
}

QString NameOf(const QString& code)
{
    if (code == u"005930")
        return QStringLiteral("삼성전자");
    if (code == u"000660")
        return QStringLiteral("SK하이닉스");
    return code;
}

class NewsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir Tmp;
    QString Dir = Tmp.filePath(QStringLiteral("news"));

    QString PathOf(const QString& day) const { return QDir(Dir).filePath(QStringLiteral("news_") + day + ".txt"); }
    void Write(const QString& day, const QByteArray& bytes) const
    {
        QDir().mkpath(Dir);
        QFile f(PathOf(day));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Read(const QString& day) const
    {
        QFile f(PathOf(day));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QByteArray Line(const TNewsRow& r) { return FormatNewsLine(r).toUtf8() + "\r\n"; }
};

} // namespace

// A title holding a TAB or any kind of line break is written on one line
// and reads back as the same six fields (Codes before Title in the file).
TEST(NewsLine, OneLineAndBack)
{
    const struct {
        const char* title;
        const char* stored;
    } cases[] = {
        {"가\t나", "가 나"},
        {"가\r\n나", "가 나"},
        {"가\n나", "가 나"},
        {"가\r나", "가 나"},
        {"가\r\n\r\n나\t", "가  나 "},
        {"평범한 제목", "평범한 제목"},
    };
    for (const auto& c : cases) {
        const TNewsRow r = Row(KToday, "093000", "k1", c.title, "005930 000660", "15");
        const QString line = FormatNewsLine(r);
        EXPECT_FALSE(line.contains(u'\r') || line.contains(u'\n')) << c.title;
        EXPECT_EQ(line, KToday + "\t093000\tk1\t005930 000660\t" + QString::fromUtf8(c.stored) + "\t15");
        TNewsRow back;
        ASSERT_TRUE(ParseNewsLine(line, back));
        EXPECT_TRUE(Same(back, OneLineRow(r))) << c.title;
    }
    // A TAB in another field would shift every field after it.
    TNewsRow back;
    ASSERT_TRUE(ParseNewsLine(FormatNewsLine(Row(KToday, "0930", "k\t2", "t", "00\n5930", "1\t5")), back));
    EXPECT_EQ(back.Key, QStringLiteral("k 2"));
    EXPECT_EQ(back.Codes, QStringLiteral("00 5930"));
    EXPECT_EQ(back.Src, QStringLiteral("1 5"));
}

TEST(NewsLine, FieldsOnReading)
{
    TNewsRow r;
    EXPECT_FALSE(ParseNewsLine(u"20260310\t0930\tk\tcodes", r));
    EXPECT_FALSE(ParseNewsLine(u"", r));
    ASSERT_TRUE(ParseNewsLine(u"20260310\t0930\tk\tcodes\ttitle", r));
    EXPECT_EQ(r.Title, QStringLiteral("title"));
    EXPECT_TRUE(r.Src.isEmpty());
    ASSERT_TRUE(ParseNewsLine(u"\uFEFF20260310\t0930\tk\uFEFF\tcodes\ttitle\tsrc\textra\tmore", r));
    EXPECT_EQ(r.D, KToday);
    EXPECT_EQ(r.Key, QStringLiteral("k"));
    EXPECT_EQ(r.Src, QStringLiteral("src"));
    ASSERT_TRUE(ParseNewsLine(u"\t\t\t\t", r)); // five empty fields: a line, dropped later for its key
    EXPECT_TRUE(r.Key.isEmpty());
}

TEST(NewsLine, FirstCode)
{
    const struct {
        const char* codes;
        const char* want;
    } cases[] = {
        {"005930", "005930"},
        {"  A005930  ", "005930"},             // last six of a short token
        {"KR7005930003", ""},                  // 12 characters not starting with a digit: last six unknown
        {"KR7000660001 005930", "005930"},
        {"000000000000001234005930", "005930"}, // slots "000000" (never a code) and "005930"
        {"123456000660", "000660"},            // one slot: characters 7-12
        {"123456999999 005930", ""},           // the first slotted token ends the search
        {"999999 005930", "005930"},           // an unknown short token lets the search go on
        {"12345", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NewsFirstCode(QString::fromUtf8(c.codes), NameOf), QString::fromUtf8(c.want)) << c.codes;
    EXPECT_TRUE(NewsFirstCode(QStringLiteral("005930"), TNameOf()).isEmpty());
    EXPECT_TRUE(NewsFirstCode(QStringLiteral("005930"), [](const QString&) { return QString(); }).isEmpty());
}

// A mark anywhere is harmless; other days, keyless lines and repeated keys
// are dropped; a damaged line is skipped and counted for the log.
TEST_F(NewsStoreTest, LoadsTodaysFile)
{
    const QByteArray body = Line(Row(KToday, "090000", "a")) + Line(Row("20260309", "090100", "old"))
        + "20260310\t0902\tnot enough fields\r\n" + Line(Row(KToday, "090300", "")) + Line(Row(KToday, "090400", "b"))
        + Line(Row(KToday, "090500", "a", "again")) + "\r\n" + "\xEF\xBB\xBF" + Line(Row(KToday, "090600", "c"));
    for (const QByteArray& file : {body, KBom + body}) {
        Write(KToday, file);
        TNewsStore s(Dir);
        const TNewsLoadStats st = s.LoadTodayNews(KToday);
        EXPECT_EQ(KeysOf(s.News()), (QStringList{"a", "b", "c"}));
        EXPECT_EQ(s.News()[0].Title, QStringLiteral("제목"));
        EXPECT_EQ(st.Rows, 3);
        EXPECT_EQ(st.OtherDay, 1);
        EXPECT_EQ(st.Malformed, 1);
        EXPECT_EQ(st.NoKey, 1);
        EXPECT_EQ(st.Duplicates, 1);
        EXPECT_FALSE(st.TornTail);
        EXPECT_TRUE(s.Seen(QStringLiteral("a")) && !s.Seen(QStringLiteral("old")));
        EXPECT_EQ(NewsLoadNote(st, NewsFileName(KToday)),
                  QStringLiteral("뉴스 파일 news_20260310.txt: 칸이 모자란 줄 1개 건너뜀"));
    }
    // Bytes that are not UTF-8 read as replacement characters.
    Write(KToday, KBom + "20260310\t0900\tx\t005930\t\xFF\xFE\xC3 \xE2\x82\r\n");
    TNewsStore s(Dir);
    s.LoadTodayNews(KToday);
    ASSERT_EQ(s.News().size(), 1);
    EXPECT_TRUE(s.News()[0].Title.contains(QChar(0xFFFD)));

    // Something else under the day file's name is left alone.
    QFile::remove(PathOf(KToday));
    QDir().mkpath(PathOf(KToday));
    TNewsStore folder(Dir);
    const TNewsLoadStats st = folder.LoadTodayNews(KToday);
    EXPECT_FALSE(st.Refused.isEmpty());
    EXPECT_TRUE(NewsLoadNote(st, NewsFileName(KToday)).startsWith(QStringLiteral("!! ")));
    EXPECT_EQ(folder.AddNewsReal(Row(KToday, "0900", "n")), 0);
    EXPECT_TRUE(QFileInfo(PathOf(KToday)).isDir());
}

// A kill can stop the program anywhere inside a write. Whatever is left of
// the file loads as whole headlines only (each exactly as written, none
// twice), and the next headline appended after the restart is read back
// intact.
TEST_F(NewsStoreTest, SurvivesAKillAtEveryByte)
{
    const QVector<TNewsRow> rows = {Row(KToday, "090000", "k1", "첫 뉴스", "005930", "15"),
                                    Row(KToday, "090100", "k2", "둘째\t뉴스"),
                                    Row(KToday, "090200", "k3", "셋째 뉴스", "", "")};
    {
        TNewsStore s(Dir);
        s.LoadTodayNews(KToday);
        for (const TNewsRow& r : rows)
            ASSERT_GE(s.AddNewsReal(r), 0);
    }
    const QByteArray full = Read(KToday);
    ASSERT_TRUE(full.startsWith(KBom));
    ASSERT_EQ(full.count('\n'), 3);

    const TNewsRow late = Row(KToday, "091000", "k9", "다시 켠 뒤");
    for (qsizetype cut = 0; cut <= full.size(); ++cut) {
        Write(KToday, full.left(cut));
        TNewsStore s(Dir);
        const TNewsLoadStats st = s.LoadTodayNews(KToday);
        // Lines written up to their end (a CR alone ends one too).
        const qsizetype whole = full.left(cut).count('\n') + (full.left(cut).endsWith('\r') ? 1 : 0);
        ASSERT_EQ(s.News().size(), whole) << "cut at " << cut;
        for (int i = 0; i < s.News().size(); ++i)
            ASSERT_TRUE(Same(s.News()[i], OneLineRow(rows[i]))) << "cut at " << cut;
        EXPECT_EQ(st.Malformed, 0) << "cut at " << cut;
        EXPECT_EQ(st.TornTail, cut > 0 && !full.left(cut).endsWith('\n') && !full.left(cut).endsWith('\r'))
            << "cut at " << cut;

        ASSERT_GE(s.AddNewsReal(late), 0);
        TNewsStore again(Dir);
        const TNewsLoadStats st2 = again.LoadTodayNews(KToday);
        ASSERT_EQ(again.News().size(), s.News().size()) << "cut at " << cut;
        EXPECT_TRUE(Same(again.News().back(), late)) << "cut at " << cut;
        EXPECT_EQ(st2.Malformed + st2.Duplicates, 0) << "cut at " << cut;
        EXPECT_FALSE(st2.TornTail);
        EXPECT_TRUE(Read(KToday).startsWith(KBom)) << "cut at " << cut;
    }
}

// Even when the torn line could not be cut off, an append starts a line of
// its own.
TEST_F(NewsStoreTest, AppendNeverGluesOntoATornLine)
{
    TNewsStore s(Dir);
    s.LoadTodayNews(KToday);
    Write(KToday, KBom + Line(Row(KToday, "0900", "a")) + "20260310\t0901\tto");
    s.AppendNewsLine(Row(KToday, "0902", "b"));
    TNewsStore back(Dir);
    back.LoadTodayNews(KToday);
    EXPECT_EQ(KeysOf(back.News()), (QStringList{"a", "b"}));
}

TEST_F(NewsStoreTest, RealHeadlines)
{
    TNewsStore s(Dir);
    s.LoadTodayNews(KToday);
    EXPECT_EQ(s.AddNewsReal(Row("", "090000", "k1", "제목\r\n둘째 줄")), 0);   // no date: today
    EXPECT_EQ(s.AddNewsReal(Row(KToday, "090001", "k1", "다시")), -1);       // same key
    EXPECT_EQ(s.AddNewsReal(Row("20260309", "090002", "k2")), -1);           // yesterday's
    EXPECT_EQ(s.AddNewsReal(Row(KToday, "090003", "k3", "")), -1);           // no title
    EXPECT_EQ(s.AddNewsReal(Row(KToday, "090004", "")), -1);                 // no key
    EXPECT_EQ(s.AddNewsReal(Row(KToday, "090005", "k4")), 1);
    EXPECT_EQ(s.News()[0].D, KToday);
    EXPECT_EQ(s.News()[0].Title, QStringLiteral("제목 둘째 줄")); // as the file holds it
    EXPECT_EQ(Read(KToday), KBom + Line(s.News()[0]) + Line(s.News()[1]));
    EXPECT_EQ(s.NewsCaption(QStringLiteral("k1")), QStringLiteral("09:00 제목 둘째 줄"));
    EXPECT_EQ(s.NewsCaption(QStringLiteral("nope")), QStringLiteral("nope"));
    s.AddNewsReal(Row(KToday, "0906", "k5", "가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나다라"));
    EXPECT_EQ(s.NewsCaption(QStringLiteral("k5")), QStringLiteral("09:06 가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나"));
}

TEST_F(NewsStoreTest, ServerArchive)
{
    TNewsStore s(Dir);
    s.LoadTodayNews(KToday);
    s.AddNewsReal(Row(KToday, "091000", "live", "실시간"));
    const QByteArray before = Read(KToday);

    const TServerMerge err = s.MergeServerNews(QStringLiteral("#ERR 404"));
    EXPECT_TRUE(err.Failed);
    EXPECT_EQ(err.LogLine, QStringLiteral("서버 뉴스 받기 실패: 404 — 켜 둔 뒤 들어오는 뉴스만 쌓입니다"));
    EXPECT_EQ(s.News().size(), 1);

    // Nothing new: the count line, and the file is left as it is.
    const TServerMerge none = s.MergeServerNews(FormatNewsLine(Row(KToday, "091000", "live", "실시간")));
    EXPECT_EQ(none.LogLine, QStringLiteral("서버 뉴스: 오늘 1건 받음 · 새로 0건 합침"));
    EXPECT_FALSE(none.Rewritten);
    EXPECT_EQ(Read(KToday), before);

    const QString body = QStringLiteral("\uFEFF") + FormatNewsLine(Row(KToday, "093000", "s2")) + "\n"
        + FormatNewsLine(Row(KToday, "091000", "live", "실시간")) + "\r"
        + FormatNewsLine(Row(KToday, "080000", "s1")) + "\r\n" + FormatNewsLine(Row("20260309", "080000", "y"))
        + "\r\n" + FormatNewsLine(Row(KToday, "080100", "notitle", "")) + "\r\nbroken line\r\n"
        + FormatNewsLine(Row(KToday, "093000", "s3"));
    const TServerMerge m = s.MergeServerNews(body);
    EXPECT_FALSE(m.Failed);
    EXPECT_EQ(m.Received, 4);
    EXPECT_EQ(m.Merged, 3);
    EXPECT_EQ(m.Malformed, 1);
    EXPECT_TRUE(m.Rewritten);
    EXPECT_EQ(m.LogLine, QStringLiteral("서버 뉴스: 오늘 4건 받음 · 새로 3건 합침"));
    EXPECT_EQ(KeysOf(s.News()), (QStringList{"s1", "live", "s2", "s3"})); // by time, equal times in arrival order

    // The file is the merged list, and a live repeat of a merged key is dropped.
    EXPECT_EQ(s.AddNewsReal(Row(KToday, "093000", "s2")), -1);
    TNewsStore back(Dir);
    back.LoadTodayNews(KToday);
    EXPECT_EQ(KeysOf(back.News()), KeysOf(s.News()));
    EXPECT_TRUE(Read(KToday).startsWith(KBom));
    EXPECT_EQ(QDir(Dir).entryList(QDir::Files), QStringList{NewsFileName(KToday)}); // no temporary left
}

// Today's file exists but cannot be opened (here: no file handle left):
// its headlines are still in it, so a merge must not replace it by the
// archive alone, and the load says why nothing was read.
TEST_F(NewsStoreTest, UnopenableFileIsNeverReplaced)
{
    const QByteArray kept = KBom + Line(Row(KToday, "080000", "a")) + Line(Row(KToday, "081000", "b"));
    Write(KToday, kept);

    TNewsStore s(Dir);
    TNewsLoadStats st;
    {
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
        const int next = ::dup(0); // the lowest free descriptor
        ASSERT_GE(next, 0);
        ::close(next);
        rlimit tight = old;
        tight.rlim_cur = rlim_t(next);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
        st = s.LoadTodayNews(KToday);
        setrlimit(RLIMIT_NOFILE, &old);
    }
    EXPECT_TRUE(s.News().isEmpty());
    EXPECT_FALSE(st.Refused.isEmpty());
    EXPECT_FALSE(NewsLoadNote(st, NewsFileName(KToday)).isEmpty());

    const TServerMerge m = s.MergeServerNews(FormatNewsLine(Row(KToday, "090000", "c")));
    EXPECT_EQ(m.Merged, 1);
    EXPECT_FALSE(m.Rewritten);
    EXPECT_EQ(Read(KToday), kept);
}

TEST_F(NewsStoreTest, PrunesOnlyOldDayFiles)
{
    for (const char* name : {"news_20260302.txt", "news_20260303.txt", "news_20260310.txt", "news_2025_old.txt",
                             "news_.txt", "news_20250101.txt.bak", "other.txt"}) {
        QDir().mkpath(Dir);
        QFile f(QDir(Dir).filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TNewsStore s(Dir);
    EXPECT_EQ(s.LoadTodayNews(KToday).Pruned, 1);
    QStringList left = QDir(Dir).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, (QStringList{"news_.txt", "news_20250101.txt.bak", "news_2025_old.txt", "news_20260303.txt",
                                 "news_20260310.txt", "other.txt"}));
    TNewsStore noFolder(Tmp.filePath(QStringLiteral("missing")));
    EXPECT_EQ(noFolder.LoadTodayNews(KToday).Pruned, 0);
}

// From Friday 6 March on Tuesday 10 March: Friday and Monday, never the
// weekend or today; a day with a file is read from it, the others fetched.
TEST_F(NewsStoreTest, EarlierDays)
{
    Write(QStringLiteral("20260306"), KBom + Line(Row("20260306", "150000", "fri")) + Line(Row(KToday, "0900", "x")));
    TNewsStore s(Dir);
    s.LoadTodayNews(KToday);
    s.AddNewsReal(Row(KToday, "090000", "today"));

    TPastNewsPlan p = s.EnsurePastNews(QStringLiteral("20260306"));
    EXPECT_TRUE(p.MinFromChanged);
    EXPECT_EQ(p.Merged, 1);
    EXPECT_EQ(p.Fetch, QStringList{"20260309"});
    EXPECT_EQ(s.PastDays(), (QStringList{"20260306", "20260309"}));
    EXPECT_EQ(s.MinNewsFrom(), QStringLiteral("20260306"));
    EXPECT_EQ(KeysOf(s.News()), (QStringList{"today", "fri"}));
    EXPECT_FALSE(s.Seen(QStringLiteral("fri")));

    p = s.EnsurePastNews(QStringLiteral("20260306")); // asked for already
    EXPECT_FALSE(p.MinFromChanged);
    EXPECT_TRUE(p.Fetch.isEmpty());

    // A failed fetch is asked for again next time.
    EXPECT_EQ(s.PastNewsArrived(QStringLiteral("20260309"), false, QString()), 0);
    EXPECT_EQ(s.EnsurePastNews(QStringLiteral("20260306")).Fetch, QStringList{"20260309"});

    // The archive is saved as that day's file and merged; its mark does not
    // cost the first line; rows of other days and known keys are left out.
    const QString body = QStringLiteral("\uFEFF") + FormatNewsLine(Row("20260309", "100000", "mon1")) + "\r\n"
        + FormatNewsLine(Row("20260309", "100100", "fri")) + "\r\n" + FormatNewsLine(Row(KToday, "1002", "t2"))
        + "\r\n" + FormatNewsLine(Row("20260309", "100300", "mon2"));
    EXPECT_EQ(s.PastNewsArrived(QStringLiteral("20260309"), true, body), 2);
    EXPECT_EQ(KeysOf(s.News()), (QStringList{"today", "fri", "mon1", "mon2"}));
    EXPECT_EQ(Read(QStringLiteral("20260309")), KBom + body.mid(1).toUtf8());
    EXPECT_EQ(s.PastNewsArrived(QStringLiteral("20260309"), true, QString()), 0);

    // Today's rows never come in this way, and today's file is never replaced.
    EXPECT_EQ(s.MergePastNewsDay(KToday, FormatNewsLine(Row(KToday, "1100", "z"))), 0);
    const QByteArray todayFile = Read(KToday);
    s.PastNewsArrived(KToday, true, FormatNewsLine(Row(KToday, "1100", "z")));
    EXPECT_EQ(Read(KToday), todayFile);

    // Not a day: nothing; a day from the future or today: no fetch.
    EXPECT_FALSE(s.EnsurePastNews(QStringLiteral("202603")).MinFromChanged);
    EXPECT_TRUE(s.EnsurePastNews(QStringLiteral("abcdefgh")).Fetch.isEmpty());
    EXPECT_TRUE(s.EnsurePastNews(KToday).Fetch.isEmpty());
    // A nonsense early date asks for at most a year of weekdays.
    EXPECT_LE(s.EnsurePastNews(QStringLiteral("19000101")).Fetch.size(), 262);

    // A new day forgets the earlier days.
    s.LoadTodayNews(KToday);
    EXPECT_TRUE(s.PastDays().isEmpty());
    EXPECT_EQ(KeysOf(s.News()), QStringList{"today"});
}
