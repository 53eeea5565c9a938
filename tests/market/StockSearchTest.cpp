#include "market/StockSearch.h"
#include "sim/Universe.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

QHash<QString, TStockInfo> Master(const QVector<TStockInfo>& list)
{
    QHash<QString, TStockInfo> m;
    for (const TStockInfo& s : list)
        m.insert(s.Code, s);
    return m;
}

TStockInfo S(const char* code, const QString& name, char mkt = '1')
{
    return {QString::fromLatin1(code), name, QChar(mkt)};
}

QStringList Codes(const QVector<TSugItem>& items)
{
    QStringList out;
    for (const TSugItem& i : items)
        out << i.Info.Code;
    return out;
}

QList<int> Scores(const QVector<TSugItem>& items)
{
    QList<int> out;
    for (const TSugItem& i : items)
        out << i.Score;
    return out;
}

// A small master with the usual suspects.
QHash<QString, TStockInfo> Sample()
{
    return Master({
        S("005930", u"삼성전자"_qs),
        S("005935", u"삼성전자우"_qs),
        S("006400", u"삼성SDI"_qs),
        S("028260", u"삼성물산"_qs),
        S("207940", u"삼성바이오로직스"_qs),
        S("009150", u"삼성전기"_qs),
        S("000660", u"SK하이닉스"_qs),
        S("034730", u"SK"_qs),
        S("096770", u"SK이노베이션"_qs),
        S("035420", u"NAVER"_qs),
        S("123450", u"대한삼성전자재료"_qs, '2'),   // initials contain ㅅㅅㅈㅈ
        S("300593", u"우리기술"_qs, '2'),
        S("111111", u"코드005930포함"_qs, '2'),     // name contains 005930
    });
}

}  // namespace

TEST(StockSearchTest, InitialsAndJamo)
{
    const struct {
        QString In, Want;
    } ini[] = {
        {u""_qs, u""_qs},
        {u"삼성전자"_qs, u"ㅅㅅㅈㅈ"_qs},
        {u"까치"_qs, u"ㄲㅊ"_qs},
        {u"힣가"_qs, u"ㅎㄱ"_qs},  // last and first syllables of the block
        {u"SK하이닉스"_qs, u"SKㅎㅇㄴㅅ"_qs},
        {u"naver 2x레버리지"_qs, u"NAVER 2Xㄹㅂㄹㅈ"_qs},
        {u"KODEX 200선물인버스2X"_qs, u"KODEX 200ㅅㅁㅇㅂㅅ2X"_qs},
        {u"ㅅ(주)é"_qs, u"ㅅ(ㅈ)é"_qs},  // jamo, punctuation, non-ASCII Latin stay
    };
    for (const auto& c : ini)
        EXPECT_EQ(Initials(c.In), c.Want) << c.In.toStdString();

    const struct {
        QString In;
        bool Want;
    } jamo[] = {
        {u""_qs, false},      {u"ㅅㅅ"_qs, true},  {u"ㅅa"_qs, false}, {u"ㄱㅎ"_qs, true},
        {u"ㅏ"_qs, false},    // a vowel, beyond U+314E
        {u"삼"_qs, false},    {u"ㅅ ㅅ"_qs, false},
    };
    for (const auto& c : jamo)
        EXPECT_EQ(IsAllJamo(c.In), c.Want) << c.In.toStdString();
}

TEST(StockSearchTest, RanksByScoreTable)
{
    const TSearchIndex idx(Sample());
    const struct {
        QString Typed;
        QStringList Codes;
        QList<int> Scores;
    } cases[] = {
        // Initials that start with the consonants before those containing them;
        // within score 3 the shorter name first.
        {u"ㅅㅅㅈㅈ"_qs, {u"005930"_qs, u"005935"_qs, u"123450"_qs}, {3, 3, 5}},
        // Code prefix before name containing; the full code first.
        {u"00593"_qs, {u"005930"_qs, u"005935"_qs, u"111111"_qs}, {1, 1, 4}},
        {u"005930"_qs, {u"005930"_qs, u"111111"_qs}, {0, 4}},
        {u" 005930 "_qs, {u"005930"_qs, u"111111"_qs}, {0, 4}},
        // Exact name, then names starting (shorter first), then containing.
        {u"sk"_qs, {u"034730"_qs, u"000660"_qs, u"096770"_qs}, {0, 2, 2}},
        // Digits not at the start: the code is not searched by prefix.
        {u"x00593"_qs, {}, {}},
        // Name prefix, length, then ordinal name order for equal lengths.
        // 물 < 전기 < 전자; "S" < "전".
        {u"삼성"_qs,
         {u"028260"_qs, u"009150"_qs, u"005930"_qs, u"006400"_qs, u"005935"_qs, u"207940"_qs,
          u"123450"_qs},
         {2, 2, 2, 2, 2, 2, 4}},
        // Consonants matching the start of a name's initials.
        {u"ㄷㅎ"_qs, {u"123450"_qs}, {3}},
        {u"   "_qs, {}, {}},
        {u"없는종목"_qs, {}, {}},
    };
    for (const auto& c : cases) {
        const QVector<TSugItem> got = RankSuggestions(idx, c.Typed);
        EXPECT_EQ(Codes(got), c.Codes) << c.Typed.toStdString();
        EXPECT_EQ(Scores(got), c.Scores) << c.Typed.toStdString();
    }
    // The master form gives the same answer; an empty master gives none.
    EXPECT_EQ(Codes(RankSuggestions(Sample(), u"ㅅㅅㅈㅈ"_qs)), Codes(RankSuggestions(idx, u"ㅅㅅㅈㅈ"_qs)));
    EXPECT_TRUE(RankSuggestions(QHash<QString, TStockInfo>{}, u"삼성"_qs).isEmpty());
    EXPECT_TRUE(RankSuggestions(TSearchIndex{}, u"삼성"_qs).isEmpty());
}

TEST(StockSearchTest, RebuiltIndexKnowsOnlyTheNewMaster)
{
    // A new master answer replaces the old one completely, also when the new
    // one is smaller; a cleared index finds nothing.
    TSearchIndex idx(Sample());
    idx.Build(Master({S("900000", u"삼양식품"_qs, '2')}));
    const auto got = RankSuggestions(idx, u"삼"_qs);
    ASSERT_EQ(Codes(got), QStringList{u"900000"_qs});
    EXPECT_EQ(got[0].Info.Name, u"삼양식품"_qs);
    EXPECT_EQ(got[0].Info.Mkt, QChar(u'2'));
    EXPECT_TRUE(RankSuggestions(idx, u"005930"_qs).isEmpty());
    EXPECT_TRUE(RankSuggestions(idx, u"ㅅㅅㅈㅈ"_qs).isEmpty());

    const TSearchIndex copy = idx;  // copies keep working on their own
    idx.Clear();
    EXPECT_TRUE(RankSuggestions(idx, u"삼"_qs).isEmpty());
    EXPECT_EQ(Codes(RankSuggestions(copy, u"ㅅㅇ"_qs)), QStringList{u"900000"_qs});
}

TEST(StockSearchTest, SameScoreOrderedByLengthThenName)
{
    // Same score 2; lengths 3, 2, 3, 4; "가나다" < "가나라" in ordinal order.
    const auto m = Master({S("000004", u"가나라마"_qs), S("000003", u"가나라"_qs),
                           S("000002", u"가나"_qs), S("000001", u"가나다"_qs)});
    const auto got = RankSuggestions(m, u"가"_qs);
    EXPECT_EQ(Codes(got), (QStringList{u"000002"_qs, u"000001"_qs, u"000003"_qs, u"000004"_qs}));
}

TEST(StockSearchTest, AtMostLimitRowsKeepingTheBest)
{
    QVector<TStockInfo> list;
    for (int i = 0; i < 100; ++i)  // names 가 + 0..99 padded: all score 2
        list.append(S(QString::number(100000 + i).toLatin1().constData(),
                      u"가"_qs + QString::number(i).rightJustified(3, u'0')));
    list.append(S("999999", u"가"_qs));  // exact: must survive the cut at the top
    const auto m = Master(list);
    const auto got = RankSuggestions(m, u"가"_qs);
    ASSERT_EQ(got.size(), kSugMaxRows);
    EXPECT_EQ(got[0].Info.Code, u"999999"_qs);
    EXPECT_EQ(got[1].Info.Name, u"가000"_qs);
    EXPECT_EQ(got[39].Info.Name, u"가038"_qs);
    EXPECT_EQ(RankSuggestions(m, u"가"_qs, 5).size(), 5);
    EXPECT_TRUE(RankSuggestions(m, u"가"_qs, 0).isEmpty());
}

TEST(StockSearchTest, OpenTypedChoosesExactThenStartingThenContaining)
{
    const struct {
        QVector<TStockInfo> List;
        QString Typed;
        QString Code;
        QString Log;
    } cases[] = {
        // Exact match wins over many starting names; one exact: no candidates line.
        {{S("005930", u"삼성전자"_qs), S("000001", u"삼성"_qs), S("000002", u"삼성물산"_qs)},
         u"삼성"_qs, u"000001"_qs, u""_qs},
        // No exact: the starting names in code order, all named.
        {{S("028260", u"삼성물산"_qs), S("005930", u"삼성전자"_qs), S("123450", u"대한삼성"_qs)},
         u" 삼성 "_qs, u"005930"_qs, u"후보:  삼성전자(005930)  삼성물산(028260)"_qs},
        // Only containing further in.
        {{S("123450", u"대한삼성"_qs), S("005930", u"우리기술"_qs)}, u"삼성"_qs, u"123450"_qs, u""_qs},
        // Case-insensitive Latin.
        {{S("035420", u"NAVER"_qs)}, u"naver"_qs, u"035420"_qs, u""_qs},
        // Six characters starting with a digit: that code, even when unknown.
        {{S("005930", u"삼성전자"_qs)}, u"12345a"_qs, u"12345A"_qs, u""_qs},
        // Same with no master at all.
        {{}, u"005930"_qs, u"005930"_qs, u""_qs},
        // A name without a master.
        {{}, u"삼성"_qs, u""_qs, u"종목 목록을 아직 못 받았다 — 코드 6자리로 입력하거나 잠시 뒤 다시"_qs},
        {{S("005930", u"삼성전자"_qs)}, u"  없는종목 "_qs, u""_qs,
         u"\"없는종목\" — 일치하는 종목이 없습니다"_qs},
        // Five digits are a name search.
        {{S("005930", u"삼성전자"_qs)}, u"00593"_qs, u""_qs, u"\"00593\" — 일치하는 종목이 없습니다"_qs},
        {{S("005930", u"삼성전자"_qs)}, u"   "_qs, u""_qs, u""_qs},
    };
    for (const auto& c : cases) {
        const TOpenTypedResult r = OpenTypedMatch(Master(c.List), c.Typed);
        EXPECT_EQ(r.Code, c.Code) << c.Typed.toStdString();
        EXPECT_EQ(r.Log, c.Log) << c.Typed.toStdString();
        EXPECT_EQ(r.NoMaster, c.List.isEmpty() && !c.Log.isEmpty()) << c.Typed.toStdString();
        EXPECT_EQ(r.NoMatch, c.Log.startsWith(u'"')) << c.Typed.toStdString();
    }
}

TEST(StockSearchTest, OpenTypedNamesAtMostEightCandidates)
{
    QVector<TStockInfo> list;
    for (int i = 0; i < 12; ++i)
        list.append(S(QString::number(200000 + i).toLatin1().constData(),
                      u"삼성"_qs + u"가나다라마바사아자차카타"_qs.at(i)));
    const TOpenTypedResult r = OpenTypedMatch(Master(list), u"삼성"_qs);
    EXPECT_EQ(r.Code, u"200000"_qs);
    ASSERT_EQ(r.Candidates.size(), kOpenTypedMaxCandidates);
    EXPECT_EQ(r.Candidates.first(), u"  삼성가(200000)"_qs);
    EXPECT_EQ(r.Candidates.last(), u"  삼성아(200007)"_qs);
    EXPECT_EQ(r.Log, u"후보:"_qs + r.Candidates.join(QString()));
    EXPECT_FALSE(r.Log.contains(u"200008"_qs));
}

TEST(StockSearchTest, RecentListKeepsTenNewestFirst)
{
    QStringList recent;
    for (int i = 1; i <= 11; ++i)
        AddRecent(recent, QString::number(i));
    ASSERT_EQ(recent.size(), kRecentMax);
    EXPECT_EQ(recent.first(), u"11"_qs);
    EXPECT_EQ(recent.last(), u"2"_qs);  // "1" pushed out

    AddRecent(recent, u"5"_qs);  // present: moves to the front, no duplicate
    EXPECT_EQ(recent.size(), kRecentMax);
    EXPECT_EQ(recent.mid(0, 3), (QStringList{u"5"_qs, u"11"_qs, u"10"_qs}));
    EXPECT_EQ(recent.count(u"5"_qs), 1);

    AddRecent(recent, QString());
    EXPECT_EQ(recent.first(), u"5"_qs);
    EXPECT_EQ(recent.size(), kRecentMax);
}

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// The ranking rules of StockSearch.h done the plain way: every entry scored
// with QString calls and everything sorted; the suggestions are the first
// `limit` of it.
QVector<TSugItem> PlainRanking(const QHash<QString, TStockInfo>& master, const QString& typed)
{
    const QString q = typed.trimmed();
    if (q.isEmpty())
        return {};
    const QString uq = q.toUpper();
    const bool digit = q[0] >= u'0' && q[0] <= u'9';
    const bool jamo = std::all_of(q.cbegin(), q.cend(), [](QChar c) { return c >= u'\u3131' && c <= u'\u314E'; });
    QVector<TSugItem> all;
    for (const TStockInfo& s : master) {
        const QString n = s.Name.toUpper();
        const QString ini = Initials(s.Name);
        int score;
        if (s.Code == uq || n == uq)
            score = 0;
        else if (digit && s.Code.startsWith(uq))
            score = 1;
        else if (n.startsWith(uq))
            score = 2;
        else if (n.contains(uq))
            score = 4;
        else if (jamo && ini.startsWith(q))
            score = 3;
        else if (jamo && ini.contains(q))
            score = 5;
        else
            continue;
        all.append({score, s});
    }
    std::sort(all.begin(), all.end(), [](const TSugItem& a, const TSugItem& b) {
        if (a.Score != b.Score)
            return a.Score < b.Score;
        if (a.Info.Name.size() != b.Info.Name.size())
            return a.Info.Name.size() < b.Info.Name.size();
        if (a.Info.Name != b.Info.Name)
            return a.Info.Name < b.Info.Name;
        return a.Info.Code < b.Info.Code;
    });
    return all;
}

QString Rows(const QVector<TSugItem>& items)
{
    QStringList out;
    for (const TSugItem& i : items)
        out << QStringLiteral("%1 %2 %3 %4").arg(i.Score).arg(i.Info.Code, i.Info.Name, QString(i.Info.Mkt));
    return out.join(u'\n');
}

TEST(StockSearch, RankingMatchesThePlainRulesOverTheWholeUniverse)
{
    const TUniverse universe = TUniverse::Default();
    QHash<QString, TStockInfo> master;
    for (const TSimStock& s : universe.Stocks())
        master.insert(s.Code, {s.Code, s.Name, s.Market == TSimMarket::Kosdaq ? u'2' : u'1'});
    // Names the generator never makes, each at an edge of the rules. Codes
    // from 900000 up are free in the default universe.
    const struct {
        const char* Code;
        const char* Name;
    } extra[] = {
        {"900010", "ㅅㅅ전자"},          // the consonants in the name itself: 2, not 3
        {"900020", "대ㅅㅅ"},            // ... further in: 4, not 3 or 5
        {"900030", "sk스퀘어"},          // lower-case Latin name
        {"900040", "straße"},            // longer in upper case (STRASSE)
        {"900050", "가\xF0\x9F\x98\x80"},  // a surrogate pair, same length as the next:
        {"900060", "가\xEF\xBC\xA1\xEF\xBC\xA2"},  // ordinal order, not code point order
        {"900070", "겹침"},              // two equal names: the code decides
        {"900080", "겹침"},
        {"900090", "005930"},            // a name that is someone's code
        {"90010A", "코드에글자"},         // a code with a letter
        {"90", "짧은코드"},               // a code shorter than the rest
        {"900110", "KODEX 삼성그룹"},     // a space inside
        {"900120", "3S"},                // same name as a built-in stock
    };
    for (const auto& x : extra) {
        ASSERT_FALSE(master.contains(U(x.Code))) << x.Code;
        master.insert(U(x.Code), {U(x.Code), U(x.Name), u'1'});
    }

    QStringList queries;
    for (char16_t c = 0x3131; c <= 0x314F; ++c)  // every consonant, and the first vowel
        queries << QString(QChar(c));
    for (const char* name : {"삼성전자", "SK하이닉스", "KODEX 200선물인버스2X", "HD현대중공업", "대한바이오",
                             "세광정밀홀딩스", "ㅅㅅ전자", "straße"}) {
        const QString n = U(name);
        const QString ini = Initials(n);
        for (int i = 1; i <= n.size(); ++i)  // each keystroke of the name and of its initials
            queries << n.left(i) << ini.left(i);
        for (int i = 0; i + 2 <= n.size(); ++i)  // every two letters of it
            queries << n.mid(i, 2) << ini.mid(i, 2);
    }
    for (int d = 0; d <= 9; ++d)
        queries << QString::number(d);
    queries << U("00") << U("005") << U("0059") << U("00593") << U("005930") << U("0059300") << U("9") << U("90") << U("9001")
            << U("90010a") << U("3s") << U("1A") << U("x005930")
            << U("s") << U("S") << U("sk") << U("Sk하이") << U("kOdEx") << U("lg") << U("naver")
            << U("ß") << U("ss") << U("가") << U("\xF0\x9F\x98\x80")
            << U(" 삼성 ") << U("\t005930\n") << U("KODEX 2") << U("ㅅ ㅅ") << U("\xE3\x80\x80삼성")
            << U("   ") << QString() << U("없는종목");
    queries.removeDuplicates();

    const TSearchIndex index(master);
    for (const QString& q : queries) {
        const QVector<TSugItem> plain = PlainRanking(master, q);
        for (int limit : {kSugMaxRows, 1, 7, 100000})
            ASSERT_EQ(Rows(RankSuggestions(index, q, limit)), Rows(plain.mid(0, limit)))
                << "typed \"" << q.toStdString() << "\", limit " << limit;
    }
}

}  // namespace
