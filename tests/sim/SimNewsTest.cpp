// The simulated news wire: the day's pace, the fields of each headline, the
// disclosure source, the bodies (forms of each kind, corrections, articles),
// the body query, delivery through the NWS feed and the day's log.
#include "WaitFor.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"
#include "sim/SimNews.h"
#include "sim/SimQuery.h"
#include "sim/SimReal.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <gtest/gtest.h>
#include <functional>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString Res(const QString& code) { return QStringLiteral(KESTREL_RES_DIR) + code + QStringLiteral(".res"); }

const TUniverse& Uni()
{
    static const TUniverse u = TUniverse::Default();
    return u;
}

const TSimNews& Wire()
{
    static const TSimNews w(Uni(), 42);
    return w;
}

// Headlines of the weekdays from `from` on, `days` of them.
QVector<TSimNewsItem> Weekdays(const TSimNews& news, QDate from, int days)
{
    QVector<TSimNewsItem> out;
    for (; days > 0; from = from.addDays(1)) {
        if (from.dayOfWeek() > 5)
            continue;
        out += *news.Day(from);
        --days;
    }
    return out;
}

// The body as the disclosure rules read it: rows, paragraphs and breaks as
// line breaks, other tags and cells as a space, blanks folded.
QString Plain(QString html)
{
    static const QRegularExpression brk(QStringLiteral("(?i)<\\s*(br|/tr|/p|/div|/li)\\s*/?>"));
    static const QRegularExpression cell(QStringLiteral("(?i)</t[dh]\\s*>"));
    static const QRegularExpression tag(QStringLiteral("<[^>]+>"));
    static const QRegularExpression blank(QStringLiteral("[ \\t\\r]+"));
    html.replace(brk, QStringLiteral("\n"));
    html.replace(cell, QStringLiteral(" "));
    html.replace(tag, QStringLiteral(" "));
    html.replace(blank, QStringLiteral(" "));
    return html;
}

double Num(const QString& s)
{
    QString t = s;
    t.remove(QLatin1Char(','));
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok ? v : qQNaN();
}

QString Cap(const QString& text, const QString& pattern)
{
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace

// ---- the day's wire ----------------------------------------------------------

TEST(SimNews, PaceBurstsAtTheOpenAndTheCloseAndIsQuietAtNight)
{
    // Per-minute rates over five weekdays, so one day's luck does not decide.
    const QVector<TSimNewsItem> items = Weekdays(Wire(), QDate(2026, 12, 7), 5);
    auto perMin = [&](int fromMin, int toMin) {
        int n = 0;
        for (const TSimNewsItem& it : items) {
            const int m = it.SecOfDay() / 60;
            n += m >= fromMin && m < toMin;
        }
        return double(n) / 5 / (toMin - fromMin);
    };
    const double open = perMin(8 * 60 + 55, 9 * 60 + 15);
    const double session = perMin(10 * 60, 15 * 60);
    const double close = perMin(15 * 60 + 15, 15 * 60 + 50);
    const double night = perMin(0, 6 * 60);
    EXPECT_GT(open, 3 * session);
    EXPECT_GT(close, 2 * session);
    EXPECT_LT(night, session / 4);
    EXPECT_GT(session, 0.8);   // a headline every half minute or so through the session
    // A day off carries a fraction of a weekday.
    EXPECT_LT(Wire().Day(QDate(2026, 12, 12))->size() * 2, Wire().Day(QDate(2026, 12, 11))->size());
}

TEST(SimNews, SameSeedAndDayGiveTheSameWireAndBodies)
{
    const TSimNews again(Uni(), 42), other(Uni(), 43);
    const QDate d(2026, 12, 10);
    const auto a = Wire().Day(d), b = again.Day(d), c = other.Day(d);
    ASSERT_EQ(a->size(), b->size());
    for (int i = 0; i < a->size(); i += 37) {
        EXPECT_EQ(a->at(i).Key, b->at(i).Key);
        EXPECT_EQ(a->at(i).Title, b->at(i).Title);
        EXPECT_EQ(Wire().Body(a->at(i)), again.Body(b->at(i)));
    }
    int same = 0;
    for (int i = 0; i < std::min(a->size(), c->size()); ++i)
        same += a->at(i).Title == c->at(i).Title;
    EXPECT_LT(same, 5);
    EXPECT_NE(Wire().Day(d.addDays(1))->front().Title, a->front().Title);
}

TEST(SimNews, HeadlinesCarryTheFeedsFieldsAndDisclosuresTheirSource)
{
    const QVector<TSimNewsItem> items = Weekdays(Wire(), QDate(2026, 12, 7), 3);
    QSet<QString> keys;
    QString lastKeyTime;
    int disclosures = 0, multi = 0;
    static const QRegularExpression important(QStringLiteral(
        "단일판매|공급계약|제3자\\s*배정|유상증자|무상증자|전환사채|신주인수권부사채|교환사채|감자\\s*결정"));
    for (const TSimNewsItem& it : items) {
        SCOPED_TRACE(it.Key.toStdString() + " " + it.Title.toStdString());
        ASSERT_EQ(it.Key.size(), 24);
        EXPECT_EQ(it.Key.left(8), it.Date);
        EXPECT_EQ(it.Key.mid(8, 6), it.Time);
        EXPECT_EQ(it.Key.mid(14, 2), it.Src);   // the source sits in the key's characters 15-16
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{2}$")).match(it.Src).hasMatch());
        EXPECT_FALSE(keys.contains(it.Key));
        keys.insert(it.Key);
        EXPECT_FALSE(it.Title.isEmpty());
        EXPECT_FALSE(it.Title.contains(QLatin1Char('\t')) || it.Title.contains(QLatin1Char('\n')));
        // Related stocks: 12-character slots ending in a listed code, the
        // first naming the headline's stock.
        ASSERT_EQ(it.Codes.size(), 12 * it.Stocks.size());
        for (int i = 0; i < it.Stocks.size(); ++i) {
            EXPECT_EQ(it.Codes.mid(12 * i, 12), QStringLiteral("000000") + it.Stocks[i]);
            ASSERT_NE(Uni().Find(it.Stocks[i]), nullptr);
        }
        if (it.Kind != TSimNewsKind::Market) {
            ASSERT_FALSE(it.Stocks.isEmpty());
            EXPECT_TRUE(it.Title.contains(Uni().Find(it.Stocks[0])->Name));
        }
        multi += it.Stocks.size() > 1;
        const bool capital = it.Kind >= TSimNewsKind::Earnings;
        EXPECT_EQ(it.IsDisclosure(), capital);
        if (it.IsDisclosure()) {
            ++disclosures;
            EXPECT_EQ(it.Src, QStringLiteral("15"));
            if (it.Kind == TSimNewsKind::Contract || it.Kind == TSimNewsKind::Rights || it.Kind == TSimNewsKind::Bond
                || it.Kind == TSimNewsKind::Bonus) {
                EXPECT_TRUE(important.match(it.Title).hasMatch());
            }
            EXPECT_EQ(it.Correction, it.Title.contains(QStringLiteral("정정")));
        }
    }
    EXPECT_GT(disclosures, items.size() / 10);
    EXPECT_GT(multi, 0);
    for (int i = 1; i < items.size(); ++i) {
        if (items[i].Date == items[i - 1].Date) {
            EXPECT_LE(items[i - 1].Time, items[i].Time);
        }
    }
}

TEST(SimNews, ArchiveLineAndKeysLeadBackToTheHeadline)
{
    const TSimNewsItem& it = Wire().Day(QDate(2026, 12, 9))->at(100);
    const QStringList f = TSimNews::ArchiveLine(it).split(QLatin1Char('\t'));
    ASSERT_EQ(f.size(), 6);
    EXPECT_EQ(f, (QStringList{it.Date, it.Time, it.Key, it.Codes, it.Title, it.Src}));

    TSimNewsItem found;
    ASSERT_TRUE(Wire().Find(it.Key, &found));
    EXPECT_EQ(found.Title, it.Title);
    QString wrong = it.Key;
    wrong[14] = wrong[14] == QLatin1Char('9') ? QLatin1Char('8') : QLatin1Char('9');
    for (const QString& bad : {wrong, it.Key.left(23), QString(), QStringLiteral("2026121009300015999999999"),
                               QStringLiteral("20261310093000150000000x")})
        EXPECT_FALSE(Wire().Find(bad, nullptr)) << bad.toStdString();
}

// ---- bodies -------------------------------------------------------------------

// Every kind's body follows its form: the markers the disclosure rules look
// for are there, in the shape they read.
TEST(SimNews, BodiesFollowTheFormsOfTheirKind)
{
    // Late January: the results season, every kind turns up.
    const QVector<TSimNewsItem> items = Weekdays(Wire(), QDate(2027, 1, 18), 8);
    struct TCase {
        TSimNewsKind Kind;
        QStringList Patterns;   // each must match the plain text
    };
    const TCase cases[] = {
        {TSimNewsKind::Earnings,
         {"단위\\s*:\\s*(억원|백만원|천원|원)", "\\(\\d{2}\\.\\dQ\\)",
          "매출액 당해실적 \\S+ \\S+ \\S+ \\S+ \\S+ \\S+ \\S+", "영업이익 당해실적", "누계실적"}},
        {TSimNewsKind::Contract,
         {"계약금액\\(원\\) [\\d,]{5,}", "매출액 대비\\(%\\) [\\d.]+", "계약상대 \\S", "시작일 \\d{4}-\\d{2}-\\d{2}",
          "종료일 \\d{4}-\\d{2}-\\d{2}"}},
        {TSimNewsKind::Rights,
         {"신주의 종류와 수 보통주식 \\(주\\) [\\d,]{3,}", "액면가액", "증자전 발행주식총수", "증자방식 \\S+",
          "(확정|예정)발행가", "자금\\s*\\(원\\)\\s*[\\d,]{4,}", "납입일 \\d{4}-\\d{2}-\\d{2}"}},
        {TSimNewsKind::Bonus, {"신주의 종류와 수", "1주당 신주배정 주식수", "신주배정기준일 \\d{4}-", "상장 예정일 \\d{4}-"}},
        {TSimNewsKind::Bond,
         {"사채의 종류", "총액 \\(원\\) [\\d,]{4,}", "표면이자율 \\(%\\) [\\d.]+", "(전환|행사|교환)가액 \\(원/주\\) [\\d,]{2,}",
          "주식총수 대비 비율\\(%\\) [\\d.]+", "(청구|행사)기간\\s*시작일\\s*\\d{4}-\\d{2}-\\d{2}\\s*종료일\\s*\\d{4}-",
          "최저 조정가액 \\(원\\)\\s*[\\d,]{2,}", "사채발행방법 (사모|공모)"}},
        {TSimNewsKind::Reduction,
         {"감자비율 보통주식 \\(%\\) [\\d.]+", "감자방법 \\S", "감자사유 \\S", "감자기준일 \\d{4}-",
          "매매거래 정지 예정기간 \\d{4}-", "상장 예정일 \\d{4}-"}},
        {TSimNewsKind::Withdrawal, {"철회", "제출사유 \\S", "결정\\(발생\\)일자 \\d{4}-\\d{2}-\\d{2}", "철회사유 \\S"}},
        {TSimNewsKind::Notice, {"\\S"}},
        {TSimNewsKind::Article, {"기자\\]", "<a href=\"https://|href"}},
    };
    for (const TCase& c : cases) {
        int seen = 0;
        for (const TSimNewsItem& it : items) {
            if (it.Kind != c.Kind || seen >= 6)
                continue;
            ++seen;
            const QString body = Wire().Body(it);
            SCOPED_TRACE(it.Title.toStdString());
            // CR LF lines only, with fragments of HTML.
            EXPECT_EQ(body.count(QLatin1Char('\n')), body.count(QStringLiteral("\r\n")));
            EXPECT_TRUE(body.contains(QLatin1Char('<')));
            const QString plain = Plain(body);
            for (const QString& p : c.Patterns) {
                if (c.Kind == TSimNewsKind::Article && p.startsWith(QLatin1Char('<')))
                    EXPECT_TRUE(body.contains(QStringLiteral("<a href=\"https://")));
                else
                    EXPECT_TRUE(QRegularExpression(p).match(plain).hasMatch()) << p.toStdString() << "\n"
                                                                               << plain.left(1500).toStdString();
            }
        }
        EXPECT_GT(seen, 0) << int(c.Kind);
    }
}

TEST(SimNews, EarningsTablesVaryInUnitBasisAndTurnarounds)
{
    const QVector<TSimNewsItem> items = Weekdays(Wire(), QDate(2027, 1, 18), 10);
    QSet<QString> units, cells;
    bool consolidated = false, separate = false;
    for (const TSimNewsItem& it : items) {
        if (it.Kind != TSimNewsKind::Earnings)
            continue;
        const QString plain = Plain(Wire().Body(it));
        units.insert(Cap(plain, QStringLiteral("단위\\s*:\\s*(억원|백만원|천원|원)")));
        (it.Title.contains(QStringLiteral("연결")) ? consolidated : separate) = true;
        // The sales row: name, 당해실적, then seven cells.
        const QStringList t = plain.simplified().split(QLatin1Char(' '));
        const int i = t.indexOf(QStringLiteral("매출액"));
        ASSERT_GE(i, 0);
        ASSERT_LT(i + 8, t.size());
        EXPECT_EQ(t[i + 1], QStringLiteral("당해실적"));
        EXPECT_FALSE(qIsNaN(Num(t[i + 2])));
        for (int k : {4, 5, 7, 8})
            cells.insert(QRegularExpression(QStringLiteral("^-?[\\d.]+$")).match(t[i + k]).hasMatch() ? QStringLiteral("%") : t[i + k]);
        const int op = t.indexOf(QStringLiteral("영업이익"));
        ASSERT_GE(op, 0);
        for (int k : {4, 5, 7, 8})
            cells.insert(QRegularExpression(QStringLiteral("^-?[\\d.]+$")).match(t[op + k]).hasMatch() ? QStringLiteral("%") : t[op + k]);
    }
    EXPECT_TRUE(units.contains(QStringLiteral("억원")));
    EXPECT_TRUE(units.contains(QStringLiteral("백만원")));
    EXPECT_TRUE(units.contains(QStringLiteral("천원")));
    EXPECT_TRUE(consolidated && separate);
    for (const char* c : {"%", "-", "흑자전환", "적자전환", "적자지속"})
        EXPECT_TRUE(cells.contains(QString::fromUtf8(c))) << c;
}

// Figures follow the company: a contract against its sales, an issue against
// its listed shares and price.
TEST(SimNews, FiguresAgreeWithTheCompanysSize)
{
    const QVector<TSimNewsItem> items = Weekdays(Wire(), QDate(2026, 12, 7), 5);
    int contracts = 0, rights = 0, bonds = 0, corrections = 0;
    for (const TSimNewsItem& it : items) {
        const TSimStock* s = it.Stocks.isEmpty() ? nullptr : Uni().Find(it.Stocks[0]);
        const QString plain = Plain(Wire().Body(it));
        SCOPED_TRACE(it.Title.toStdString());
        if (it.Correction) {
            ++corrections;
            // A correction opens with its before / after table.
            const int table = plain.indexOf(QStringLiteral("정정항목 정정전 정정후"));
            EXPECT_GE(table, 0);
            EXPECT_LT(table, 400);
        }
        if (it.Kind == TSimNewsKind::Contract && !it.Correction) {
            ++contracts;
            const double amount = Num(Cap(plain, QStringLiteral("계약금액\\(원\\) ([\\d,]+)")));
            const double sales = Num(Cap(plain, QStringLiteral("최근 매출액\\(원\\) ([\\d,]+)")));
            const double ratio = Num(Cap(plain, QStringLiteral("매출액 대비\\(%\\) ([\\d.]+)")));
            EXPECT_NEAR(amount / sales * 100, ratio, 0.01 + ratio * 0.001);
        } else if (it.Kind == TSimNewsKind::Rights && !it.Correction) {
            ++rights;
            EXPECT_EQ(Num(Cap(plain, QStringLiteral("증자전 발행주식총수 \\(주\\) 보통주식 \\(주\\) ([\\d,]+)"))),
                      double(s->Shares));
            const double price = Num(Cap(plain, QStringLiteral("발행가 보통주식 \\(원\\)\\s*([\\d,]+)")));
            EXPECT_GT(price, s->PrevClose * 0.6);
            EXPECT_LT(price, s->PrevClose * 1.1);
        } else if (it.Kind == TSimNewsKind::Bond) {
            ++bonds;
            const double conv = Num(Cap(plain, QStringLiteral("가액 \\(원/주\\) ([\\d,]+)")));
            EXPECT_GT(conv, s->PrevClose * 0.9);
            EXPECT_LT(conv, s->PrevClose * 1.2);
            const double total = Num(Cap(plain, QStringLiteral("총액 \\(원\\) ([\\d,]+)")));
            const double ratio = Num(Cap(plain, QStringLiteral("주식총수 대비 비율\\(%\\) ([\\d.]+)")));
            EXPECT_NEAR(total / conv / double(s->Shares) * 100, ratio, 0.02);
        }
    }
    EXPECT_GT(contracts, 0);
    EXPECT_GT(rights, 0);
    EXPECT_GT(bonds, 0);
    EXPECT_GT(corrections, 0);
}

TEST(SimNews, ArticlesCarryLinksImagesTablesAndScripts)
{
    const QVector<TSimNewsItem> items = Weekdays(Wire(), QDate(2026, 12, 7), 1);
    QSet<QString> seen;
    for (const TSimNewsItem& it : items) {
        if (it.IsDisclosure())
            continue;
        const QString body = Wire().Body(it);
        for (const char* tag : {"<a href=\"https://", "<img src=\"https://", "<table", "<script"})
            if (body.contains(QLatin1String(tag)))
                seen.insert(QLatin1String(tag));
    }
    EXPECT_EQ(seen.size(), 4);
}

// With the exchange's daily model the wire quotes each stock at its reference
// price of the headline's day, the price the window shows; the base price of
// the universe is only for a wire built without one.
TEST(SimNews, ArticlesQuoteTheStocksReferencePriceOfTheDay)
{
    const TDailyModel daily(42);
    const TSimNews priced(Uni(), 42, &daily);
    const QRegularExpression quote(QStringLiteral("주가는 이날 오전 ([\\d,]+)원"));
    int checked = 0, offBase = 0;
    for (const QDate day : {QDate(2026, 12, 7), QDate(2027, 3, 15)}) {
        for (const TSimNewsItem& it : *priced.Day(day)) {
            if (it.IsDisclosure() || it.Stocks.isEmpty())
                continue;
            const QRegularExpressionMatch m = quote.match(priced.Body(it));
            if (!m.hasMatch())
                continue;
            const TSimStock* s = Uni().Find(it.Stocks.front());
            ASSERT_NE(s, nullptr);
            const int ref = daily.PrevClose(*s, day);
            EXPECT_EQ(m.captured(1).remove(QLatin1Char(',')).toInt(), ref) << it.Title.toStdString();
            offBase += ref != s->PrevClose;
            ++checked;
        }
    }
    EXPECT_GT(checked, 20);
    EXPECT_GT(offBase, checked / 2);   // the day's price, not the base one
}

TEST(SimNews, BodyPiecesKeepEveryCharacterWhole)
{
    struct TCase {
        QString Text;
        int Max;
    } cases[] = {
        {QStringLiteral("가나다라마바사"), 5},                           // two bytes each: two per piece
        {QStringLiteral("ab가c"), 3},
        {QStringLiteral("x😀y😀"), 2},                                   // a surrogate pair stays together
        {QString(), 100},
    };
    for (const TCase& c : cases) {
        const QStringList pieces = TSimNews::BodyPieces(c.Text, c.Max);
        EXPECT_EQ(pieces.join(QString()), c.Text);
        for (const QString& p : pieces) {
            // Over the size only when one character is larger than it.
            const bool oneChar = p.size() == 1 || (p.size() == 2 && p[0].isHighSurrogate());
            EXPECT_TRUE(TSimNews::CodePageBytes(p) <= c.Max || oneChar) << p.toStdString();
            EXPECT_FALSE(p.back().isHighSurrogate());
        }
    }
    EXPECT_EQ(TSimNews::BodyPieces(QStringLiteral("가나다라마바사"), 5).size(), 4);
}

// ---- through the exchange ------------------------------------------------------

class SimNewsExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Cfg.PumpMs = 0;
        Cfg.AnswerDelayMs = 0;
        Cfg.RateLimits = false;
        Backend = CreateSimBackend(Cfg, Clock);
    }
    TSimExchange& Ex() { return Backend->Exchange(); }
    void LogIn()
    {
        TXASession* s = Backend->CreateSession(&Owner);
        ASSERT_TRUE(s->ConnectServer("demo.local", 20001));
        QString code;
        QObject::connect(s, &TXASession::LoginResult, [&code](const QString& c, const QString&) { code = c; });
        ASSERT_TRUE(s->Login(Cfg.UserId, Cfg.Password, "", 0));
        ASSERT_TRUE(WaitFor([&] { return !code.isEmpty(); }));
        ASSERT_EQ(code, "0000");
    }

    TTestClock Clock;   // Thursday 2026-12-10 09:30:00
    TSimConfig Cfg;
    std::unique_ptr<TSimBackend> Backend;
    QObject Owner;
};

TEST_F(SimNewsExchangeTest, FeedSendsTheHeadlinesAsTheyFallDueAndTheLogKeepsTheDay)
{
    const auto wire = Ex().News()->Day(Clock.Now().date());
    const int startSec = Clock.Now().time().msecsSinceStartOfDay() / 1000;
    // At start, the day so far is in the log but is not sent.
    int before = 0;
    for (const TSimNewsItem& it : *wire)
        before += it.SecOfDay() <= startSec;
    EXPECT_EQ(Ex().NewsLog()->Snapshot().size(), before);

    TXAReal* r = Backend->CreateReal(&Owner);
    r->SetResFileName(Res("NWS"));
    r->SetFieldData("InBlock", "nwcode", "NWS001");
    QVector<QStringList> got;
    QObject::connect(r, &TXAReal::ReceiveRealData, [&got, r](const QString& tr) {
        ASSERT_EQ(tr, QStringLiteral("NWS"));
        QStringList f;
        for (const char* n : {"date", "time", "id", "realkey", "title", "code", "bodysize"})
            f << r->GetFieldData("OutBlock", QString::fromLatin1(n));
        got.append(f);
    });
    r->AdviseRealData();
    for (int s = 0; s < 300; ++s) {
        Clock.Advance(1000);
        Ex().Pump();
    }
    QVector<TSimNewsItem> due;
    for (const TSimNewsItem& it : *wire)
        if (it.SecOfDay() > startSec && it.SecOfDay() <= startSec + 300)
            due.append(it);
    ASSERT_GT(due.size(), 3);
    ASSERT_EQ(got.size(), due.size());
    for (int i = 0; i < due.size(); ++i) {
        EXPECT_EQ(got[i].mid(0, 6),
                  (QStringList{due[i].Date, due[i].Time, due[i].Src, due[i].Key, due[i].Title, due[i].Codes}));
        EXPECT_EQ(got[i][6].toInt(), TSimNews::CodePageBytes(Ex().News()->Body(due[i])));
    }
    const QVector<TSimNewsItem> log = Ex().NewsLog()->Snapshot();
    ASSERT_EQ(log.size(), before + due.size());
    EXPECT_EQ(log.back().Key, due.back().Key);

    // Unsubscribed: nothing more is sent, the log goes on.
    r->UnadviseRealData();
    const int n = got.size();
    for (int s = 0; s < 120; ++s) {
        Clock.Advance(1000);
        Ex().Pump();
    }
    EXPECT_EQ(got.size(), n);
    EXPECT_GT(Ex().NewsLog()->Snapshot().size(), log.size());
}

TEST_F(SimNewsExchangeTest, AfterAPauseOnlyTheLastSecondsAreSent)
{
    TXAReal* r = Backend->CreateReal(&Owner);
    r->SetResFileName(Res("NWS"));
    r->SetFieldData("InBlock", "nwcode", "NWS001");
    QStringList times;
    QObject::connect(r, &TXAReal::ReceiveRealData, [&times, r](const QString&) {
        times << r->GetFieldData("OutBlock", "time");
    });
    r->AdviseRealData();
    Clock.Advance(30 * 60 * 1000);
    Ex().Pump();
    const int nowSec = Clock.Now().time().msecsSinceStartOfDay() / 1000;
    for (const QString& t : times) {
        const int sec = t.left(2).toInt() * 3600 + t.mid(2, 2).toInt() * 60 + t.mid(4, 2).toInt();
        EXPECT_GE(sec, nowSec - 10) << t.toStdString();
    }
}

TEST_F(SimNewsExchangeTest, BodyQueryAnswersByKeyInRecordsOfTheBrokersSize)
{
    LogIn();
    const auto wire = Ex().News()->Day(Clock.Now().date());
    const TSimNewsItem* disc = nullptr;
    for (const TSimNewsItem& it : *wire)
        if (it.IsDisclosure() && !it.Stocks.isEmpty()) {
            disc = &it;
            break;
        }
    ASSERT_NE(disc, nullptr);

    TXAQuery* q = Backend->CreateQuery(&Owner);
    q->SetResFileName(Res("t3102"));
    int data = 0;
    QString msg;
    QObject::connect(q, &TXAQuery::ReceiveData, [&data](const QString&) { ++data; });
    QObject::connect(q, &TXAQuery::ReceiveMessage, [&msg](bool, const QString& code, const QString&) { msg = code; });
    q->SetFieldData("t3102InBlock", "sNewsno", 0, disc->Key);
    ASSERT_GE(q->Request(false), 0);
    ASSERT_TRUE(WaitFor([&] { return data > 0; }));
    const int n = q->GetBlockCount("t3102OutBlock1");
    ASSERT_GT(n, 1);
    QString joined;
    for (int i = 0; i < n; ++i) {
        const QString piece = q->GetFieldData("t3102OutBlock1", "sBody", i);
        EXPECT_LE(TSimNews::CodePageBytes(piece), 100);
        joined += piece;
    }
    EXPECT_EQ(joined, Ex().News()->Body(*disc));
    EXPECT_EQ(q->GetBlockData("t3102OutBlock1"), joined);
    EXPECT_EQ(q->GetFieldData("t3102OutBlock2", "sTitle", 0), disc->Title);
    EXPECT_EQ(q->GetFieldData("t3102OutBlock", "sJongcode", 0), disc->Stocks[0]);

    // An unknown key is told so, without data.
    data = 0;
    msg.clear();
    q->SetFieldData("t3102InBlock", "sNewsno", 0, QStringLiteral("202612100930001500999999"));
    ASSERT_GE(q->Request(false), 0);
    ASSERT_TRUE(WaitFor([&] { return !msg.isEmpty(); }));
    EXPECT_EQ(data, 0);
    EXPECT_NE(msg, QStringLiteral("00000"));
}
