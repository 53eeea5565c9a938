// Hot words: how a headline is cut into words, which words count, and the
// two chip rows.
#include "news/HotWords.h"

#include <gtest/gtest.h>

namespace {

const QString KToday = QStringLiteral("20260310");

TNewsRow Row(const char* t, const char* title, const char* codes, const char* d = "20260310")
{
    return TNewsRow{QString::fromUtf8(d), QString::fromUtf8(t), QStringLiteral("k"), QString::fromUtf8(title),
                    QString::fromUtf8(codes), QString()};
}

// Every six-digit code starting with 00 is a listed stock.
QString NameOf(const QString& code) { return code.startsWith(QStringLiteral("00")) ? QStringLiteral("종목") + code : code; }

QStringList Words(const QVector<THot>& hot)
{
    QStringList w;
    for (const THot& h : hot)
        w << h.W;
    return w;
}

} // namespace

TEST(HotWords, StripParticle)
{
    const struct {
        const char* token;
        const char* word;
    } cases[] = {
        {"양자컴퓨터가", "양자컴퓨터"},
        {"서울에서", "서울"},
        {"이다", "이다"},       // two characters: never stripped
        {"정부는", "정부"},
        {"한국으로", "한국"},
        {"가로", "가로"},
        {"사으로", "사으"},     // "으로" would leave one character; "로" leaves two
        {"HBM의", "HBM"},
        {"서울", "서울"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StripParticle(QString::fromUtf8(c.token)), QString::fromUtf8(c.word)) << c.token;
}

TEST(HotWords, WordsOfAHeadline)
{
    const struct {
        const char* title;
        QStringList words;
    } cases[] = {
        // The tag goes; 확대 is a stop word.
        {"[특징주] 삼성전자, HBM 공급 확대", {"삼성전자", "HBM", "공급"}},
        {"【단독】<사진> 양자컴퓨터가 뜬다", {"양자컴퓨터"}},  // 뜬다: a verb ending
        {"서울에서 이다 2차전지 x", {"서울"}},           // digit first, too short
        {"[미완 태그 반도체", {"미완", "태그", "반도체"}},  // an unclosed tag stays text
        {"etf ETN Etf 코스피200", {}},                      // stop words ignore case
        {"HBM HBM hbm", {"HBM", "hbm"}},                    // once per headline (case kept)
        {"가나다라마바사아자차카타 가나다라마바사아자차카타파", {"가나다라마바사아자차카타"}}, // 12 ok, 13 not
        {"AI·반도체/로봇_주", {"AI", "반도체", "로봇"}},    // 주: one character
        {"\U0001D400\U0001D401 테스트", {"\U0001D400\U0001D401", "테스트"}}, // letters beyond the BMP
    };
    for (const auto& c : cases)
        EXPECT_EQ(HotWordsOf(QString::fromUtf8(c.title)), c.words) << c.title;
    EXPECT_EQ(StripHotTags(QStringLiteral("a[b]c[d")), QStringLiteral("a c[d"));

    // Opening marks that never close stay text, each kind on its own, while
    // the other kinds still close; a title of ninety thousand of them is
    // read through once, not once per mark.
    EXPECT_EQ(StripHotTags(QStringLiteral("【a [b] <c> d [e")), QStringLiteral("【a     d [e"));
    EXPECT_EQ(HotWordsOf(QStringLiteral("【원전 [반도체] <로봇> 전력 [조선")), (QStringList{"원전", "전력", "조선"}));
    const QString marks = QStringLiteral("[【<").repeated(30000) + QStringLiteral(" 반도체");
    EXPECT_EQ(StripHotTags(marks), marks);
    EXPECT_EQ(HotWordsOf(marks), QStringList{"반도체"});
    TNewsRow row{QStringLiteral("20260310"), QStringLiteral("090000"), QStringLiteral("k"), marks, QString(), QString()};
    const QVector<THot> hot = CalcHot({row}, QStringLiteral("20260310"), QString(), 0, 1, nullptr);
    ASSERT_EQ(hot.size(), 1);
    EXPECT_EQ(hot[0].W, QStringLiteral("반도체"));
}

// A word in three headlines about one stock stays off the today row (two
// stocks needed) but reaches the last-ten-minutes row when two are recent.
TEST(HotWords, TodayAndRecentRows)
{
    const QVector<TNewsRow> rows = {
        Row("090000", "유리기판 양산", "005930"),
        Row("101500", "유리기판 공개", "005930"),
        Row("102000", "유리기판 납품", "005930"),
        Row("090100", "로봇 수주", "000660"),
        Row("090200", "로봇 개발", "000270"),
        Row("090300", "로봇 로봇 투자", "999999"),      // no known stock; counts once
        Row("090400", "로봇 협업", "000660"),
        Row("090500", "전력 설비", "000100"),
        Row("090600", "전력 수요", "000200"),
        Row("090700", "전력 부족", "000300"),
        Row("090800", "로봇 어제", "000400", "20260309"), // another day
    };
    const QVector<THot> today = CalcHot(rows, KToday, QString(), 2, 3, NameOf);
    ASSERT_EQ(Words(today), (QStringList{"로봇", "전력"}));
    EXPECT_EQ(today[0], (THot{QStringLiteral("로봇"), 4, 4 * 3}));
    EXPECT_EQ(today[1], (THot{QStringLiteral("전력"), 3, 3 * 4}));

    const QDateTime now(QDate(2026, 3, 10), QTime(10, 25, 0));
    const THotLists l = RefreshHot(rows, KToday, now, NameOf);
    EXPECT_EQ(l.Today, today);
    EXPECT_EQ(l.Recent, CalcHot(rows, KToday, QStringLiteral("101500"), 1, 2, NameOf)); // one pass, both rows
    ASSERT_EQ(Words(l.Recent), QStringList{"유리기판"});
    EXPECT_EQ(l.Recent[0], (THot{QStringLiteral("유리기판"), 2, 2 * 2}));

    // Equal counts: the higher score, then the word.
    const QVector<TNewsRow> tie = {Row("0900", "나무 하늘", "001000"), Row("0901", "나무 하늘", "002000"),
                                   Row("0902", "하늘 가지", "003000"), Row("0903", "가지 나무", "003000"),
                                   Row("0904", "가지 물결", "003000")};
    const QVector<THot> t = CalcHot(tie, KToday, QString(), 1, 3, NameOf);
    EXPECT_EQ(Words(t), (QStringList{"나무", "하늘", "가지"}));
    EXPECT_TRUE(CalcHot({}, KToday, QString(), 1, 1, NameOf).isEmpty());
}

TEST(HotWords, ChipsAndHeaders)
{
    EXPECT_EQ(HotFromTime(QDateTime(QDate(2026, 3, 10), QTime(10, 25, 30))), QStringLiteral("101530"));
    EXPECT_EQ(HotFromTime(QDateTime(QDate(2026, 3, 10), QTime(0, 4, 0))), QStringLiteral("000000"));
    EXPECT_EQ(HotChipText({QStringLiteral("로봇"), 4, 12}), QStringLiteral(" 로봇 4 "));
    EXPECT_EQ(HotHeadText(false, QTime(9, 5), false), QStringLiteral("오늘 이슈 09:05"));
    EXPECT_EQ(HotHeadText(true, QTime(9, 5), false), QStringLiteral("최근 10분 09:05"));
    EXPECT_EQ(HotHeadText(true, QTime(9, 5), true), QStringLiteral("최근 10분 09:05  (아직 없음)"));

    // A lit chip's click takes its word out; a second click puts it back in front.
    const QStringList terms = {"비만약", "HBM", "양자&컴퓨터"};
    EXPECT_TRUE(HotIsTerm(QStringLiteral("hbm"), terms));
    EXPECT_FALSE(HotIsTerm(QStringLiteral("양자"), terms));
    const QStringList off = HotChipClick(terms, QStringLiteral("hbm"));
    EXPECT_EQ(off, (QStringList{"비만약", "양자&컴퓨터"}));
    EXPECT_EQ(HotChipClick(off, QStringLiteral("hbm")), (QStringList{"hbm", "비만약", "양자&컴퓨터"}));
    EXPECT_EQ(HotChipClick({"HBM", "hbm"}, QStringLiteral("Hbm")), QStringList{});
}
