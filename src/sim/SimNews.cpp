#include "sim/SimNews.h"
#include "core/NumFmt.h"
#include "sim/SimAnswers.h"
#include "sim/SimRandom.h"
#include <QMutexLocker>
#include <algorithm>
#include <cmath>

namespace {

constexpr quint64 kNewsSalt = 0x4E4557535749524Full;   // "NEWSWIRE"
constexpr int kCacheDays = 6;

// Sources of press articles (the disclosure source is kSimGongsiSrc).
const char* const kPressSrc[] = {"01", "02", "03", "08", "11", "13", "18", "20", "25", "27"};
const char* const kOutlets[] = {"한빛경제", "케이마켓뉴스", "데일리인베스트", "증권타임즈", "아시아마켓",
                                "코리아비즈", "머니포스트", "한결일보", "투데이증시", "파이낸스온"};
const char* const kBrokers[] = {"한빛투자증권", "대양증권", "새솔증권", "누리투자증권", "청명증권",
                                "동해금융투자", "가람증권", "온누리투자증권"};
const char* const kThemes[] = {"HBM", "AI 반도체", "2차전지", "비만약", "양자컴퓨터", "원전", "방산",
                               "로봇", "전력기기", "조선", "K-뷰티", "바이오시밀러", "자율주행",
                               "우주항공", "데이터센터", "수소"};
const char* const kPartners[] = {"글로벌 완성차 업체", "북미 빅테크", "유럽 에너지 기업", "중동 국부펀드",
                                 "일본 소재 기업", "국내 대형 통신사", "미국 제약사", "동남아 정부"};
const char* const kSurnames[] = {"김", "이", "박", "최", "정", "강", "조", "윤", "장", "임", "한", "오"};
const char* const kGiven[] = {"민준", "서연", "도윤", "지우", "하준", "수아", "예준", "지호", "서윤",
                              "현우", "은서", "태윤", "유진", "승민"};
const char* const kCompanyWords[] = {"한빛", "대양", "새솔", "청명", "가람", "누리", "태백", "동진",
                                     "세광", "정우", "한결", "미래"};
const char* const kCompanyTails[] = {"홀딩스", "인베스트먼트", "파트너스", "에너지", "테크", "산업", "물산"};
const char* const kCounterparties[] = {"한국전력공사", "국가철도공단", "Tesla, Inc.", "SAUDI ARAMCO",
                                       "한국수자원공사", "General Motors Company", "방위사업청",
                                       "Siemens Energy AG", "조달청", "Hitachi Energy Ltd.",
                                       "현지 법인(비공개)", "Vietnam Electricity"};
const char* const kContractWhat[] = {"2차전지 장비 공급계약", "변압기 공급계약", "전력케이블 공급계약",
                                     "반도체 검사장비 공급계약", "방산 장비 납품계약", "철도차량 공급계약",
                                     "바이오의약품 위탁생산(CMO) 계약", "선박 건조 계약",
                                     "데이터센터 냉각설비 공급계약", "소프트웨어 구축 용역계약"};
const char* const kRegions[] = {"대한민국", "미국", "유럽", "중동", "베트남", "일본", "인도", "폴란드"};

template <size_t N>
QString Of(const char* const (&list)[N], TSimRng& rng)
{
    return QString::fromUtf8(list[rng.Below(int(N))]);
}

QString Won(qint64 x) { return FmtNum(x); }
QString Fixed(double x, int decimals) { return QString::number(x, 'f', decimals); }
QString IsoDate(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }

// A working day `n` days after `d` (weekends skipped).
QDate WorkdayAfter(QDate d, int n)
{
    while (n > 0) {
        d = d.addDays(1);
        if (d.dayOfWeek() <= 5)
            --n;
    }
    return d;
}

int Poisson(TSimRng& rng, double mean)
{
    if (mean <= 0)
        return 0;
    const double limit = std::exp(-mean);
    double p = 1.0;
    int k = 0;
    do {
        ++k;
        p *= rng.Uniform();
    } while (p > limit && k < 200);
    return k - 1;
}

QString PersonName(TSimRng& rng) { return Of(kSurnames, rng) + Of(kGiven, rng); }

// A price on the exchange's grid near `p`.
int OnGrid(double p)
{
    int v = std::max(1, int(std::lround(p)));
    const int t = TickSize(v);
    return std::max(t, v / t * t);
}

// ---- forms ----------------------------------------------------------------
//
// A disclosure form is a list of rows of cells. It is sent either as text
// lines (cells apart by two spaces) or as an HTML table; both read the same
// once the tags are gone.
using TRow = QStringList;

class TForm {
public:
    explicit TForm(bool asTable) : FTable(asTable) {}
    void Row(const TRow& cells) { FRows.append(cells); }
    void Row(const QString& a) { FRows.append(TRow{a}); }
    void Row(const QString& a, const QString& b) { FRows.append(TRow{a, b}); }
    void Row(const QString& a, const QString& b, const QString& c) { FRows.append(TRow{a, b, c}); }
    void Text(const QString& line) { FRows.append(TRow{QStringLiteral("\x01") + line}); }
    QString Render() const
    {
        QStringList out;
        bool inTable = false;
        for (const TRow& r : FRows) {
            const bool text = !r.isEmpty() && r.front().startsWith(QLatin1Char('\x01'));
            if (text) {
                if (inTable) {
                    out << QStringLiteral("</table>");
                    inTable = false;
                }
                out << r.front().mid(1);
                continue;
            }
            if (!FTable) {
                out << r.join(QStringLiteral("  "));
                continue;
            }
            if (!inTable) {
                out << QStringLiteral("<table border=\"1\" cellspacing=\"0\" width=\"100%\">");
                inTable = true;
            }
            QString tr = QStringLiteral("<tr>");
            for (const QString& c : r)
                tr += QStringLiteral("<td>") + c + QStringLiteral("</td>");
            out << tr + QStringLiteral("</tr>");
        }
        if (inTable)
            out << QStringLiteral("</table>");
        return out.join(QStringLiteral("\r\n"));
    }

private:
    bool FTable;
    QVector<TRow> FRows;
};

// A figure cell: the number, or "-" for none.
QString Cell(qint64 v) { return v > 0 ? Won(v) : QStringLiteral("-"); }

} // namespace

// ---- items ------------------------------------------------------------------

int TSimNewsItem::SecOfDay() const
{
    if (Time.size() < 6)
        return 0;
    return Time.mid(0, 2).toInt() * 3600 + Time.mid(2, 2).toInt() * 60 + Time.mid(4, 2).toInt();
}

TSimNews::TSimNews(const TUniverse& universe, quint64 seed, const TDailyModel* daily) : FSeed(seed)
{
    if (daily)
        FDaily = *daily;
    double cum = 0;
    for (const TSimStock& s : universe.Stocks()) {
        // Filings and articles are about operating companies: no funds, no
        // preferred lines.
        if (s.Etf || s.Code.size() != 6 || !s.Code.endsWith(QLatin1Char('0')) || s.PrevClose <= 0)
            continue;
        TCo c;
        c.Code = s.Code;
        c.Name = s.Name;
        c.Price = s.PrevClose;
        c.Shares = std::max<qint64>(s.Shares, 1000000);
        c.CapEok = double(c.Price) * double(c.Shares) / 1e8;
        c.Kosdaq = s.Market == TSimMarket::Kosdaq;
        FIndex.insert(c.Code, FCos.size());
        FCos.append(c);
        FStocks.append(s);
        cum += std::sqrt(std::max(1.0, c.CapEok));
        FCum.append(cum);
    }
}

const TSimNews::TCo& TSimNews::Pick(TSimRng& rng) const
{
    const double x = rng.Uniform() * FCum.back();
    const int i = int(std::upper_bound(FCum.begin(), FCum.end(), x) - FCum.begin());
    return FCos[std::min(i, int(FCos.size()) - 1)];
}

const TSimNews::TCo* TSimNews::CoOf(const QString& code) const
{
    const int i = FIndex.value(code, -1);
    return i < 0 ? nullptr : &FCos[i];
}

TSimNews::TCo TSimNews::OnDay(const TCo& co, const QDate& day) const
{
    const int i = FIndex.value(co.Code, -1);
    if (!FDaily || i < 0 || !day.isValid())
        return co;
    const int price = FDaily->PrevClose(FStocks[i], day);
    if (price <= 0)
        return co;
    TCo c = co;
    c.Price = price;
    c.CapEok = double(price) * double(c.Shares) / 1e8;
    return c;
}

double TSimNews::RatePerMin(int m, bool tradingDay)
{
    double r;
    if (m < 6 * 60 + 30)
        r = 0.15;
    else if (m < 8 * 60 + 30)
        r = 0.9;
    else if (m < 8 * 60 + 55)
        r = 2.0;
    else if (m < 9 * 60 + 15)
        r = 8.0;      // the open
    else if (m < 15 * 60 + 15)
        r = 1.8;
    else if (m < 15 * 60 + 50)
        r = 6.0;      // the close and the first after-hours filings
    else if (m < 18 * 60 + 30)
        r = 2.2;
    else
        r = 0.4;
    return tradingDay ? r : r * 0.25;
}

QString TSimNews::ArchiveLine(const TSimNewsItem& it)
{
    QString title = it.Title;
    title.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    title.replace(QLatin1Char('\t'), QLatin1Char(' '));
    title.replace(QLatin1Char('\r'), QLatin1Char(' '));
    title.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return it.Date + QLatin1Char('\t') + it.Time + QLatin1Char('\t') + it.Key + QLatin1Char('\t') + it.Codes
           + QLatin1Char('\t') + title + QLatin1Char('\t') + it.Src;
}

int TSimNews::CodePageBytes(const QString& text)
{
    int n = 0;
    for (QChar c : text)
        n += c.unicode() < 0x80 ? 1 : 2;
    return n;
}

QStringList TSimNews::BodyPieces(const QString& body, int maxBytes)
{
    QStringList out;
    QString cur;
    int bytes = 0;
    for (int i = 0; i < body.size();) {
        // A surrogate pair travels as one character.
        const int len = body[i].isHighSurrogate() && i + 1 < body.size() ? 2 : 1;
        const QString ch = body.mid(i, len);
        const int b = CodePageBytes(ch);
        if (!cur.isEmpty() && bytes + b > maxBytes) {
            out << cur;
            cur.clear();
            bytes = 0;
        }
        cur += ch;
        bytes += b;
        i += len;
    }
    if (!cur.isEmpty())
        out << cur;
    return out;
}

std::shared_ptr<const QVector<TSimNewsItem>> TSimNews::Day(const QDate& day) const
{
    {
        QMutexLocker lock(&FCacheLock);
        for (const auto& c : FCache)
            if (c.first == day)
                return c.second;
    }
    auto made = std::make_shared<const QVector<TSimNewsItem>>(MakeDay(day));
    QMutexLocker lock(&FCacheLock);
    FCache.append({day, made});
    if (FCache.size() > kCacheDays)
        FCache.removeFirst();
    return made;
}

bool TSimNews::Find(const QString& key, TSimNewsItem* out) const
{
    if (key.size() != 24)
        return false;
    const QDate day = QDate::fromString(key.left(8), QStringLiteral("yyyyMMdd"));
    bool ok = false;
    const int seq = key.mid(16).toInt(&ok);
    if (!day.isValid() || !ok || seq < 0)
        return false;
    const auto items = Day(day);
    if (seq >= items->size() || items->at(seq).Key != key)
        return false;
    if (out)
        *out = items->at(seq);
    return true;
}

// ---- the day's headlines ----------------------------------------------------

namespace {

// The quarter last reported at `day`, as "yy.nQ", and the one before.
void QuarterOf(const QDate& day, int* year, int* q)
{
    int y = day.year();
    int qq = (day.month() - 1) / 3;   // the quarter just finished
    if (qq == 0) {
        qq = 4;
        --y;
    }
    *year = y;
    *q = qq;
}

QString QLabel(int year, int q) { return QStringLiteral("%1.%2Q").arg(year % 100, 2, 10, QLatin1Char('0')).arg(q); }

bool EarningsSeason(const QDate& d)
{
    const int m = d.month(), dd = d.day();
    return ((m == 1 || m == 4 || m == 7 || m == 10) && dd >= 5) || ((m == 2 || m == 5 || m == 8 || m == 11) && dd <= 16);
}

} // namespace

QVector<TSimNewsItem> TSimNews::MakeDay(const QDate& day) const
{
    QVector<TSimNewsItem> items;
    if (!day.isValid() || FCos.isEmpty())
        return items;
    TSimRng rng(SeedMix({FSeed, kNewsSalt, quint64(day.toJulianDay())}));
    const bool trading = day.dayOfWeek() <= 5;
    QVector<int> secs;
    for (int m = 0; m < 24 * 60; ++m) {
        const int n = Poisson(rng, RatePerMin(m, trading));
        for (int k = 0; k < n; ++k)
            secs.append(m * 60 + rng.Below(60));
    }
    std::sort(secs.begin(), secs.end());
    const QString date = day.toString(QStringLiteral("yyyyMMdd"));
    const bool season = EarningsSeason(day);
    int qYear = 0, qNum = 0;
    QuarterOf(day, &qYear, &qNum);

    // Small companies file the capital changes.
    auto pickSmall = [this](TSimRng& r) -> const TCo& {
        for (int tries = 0; tries < 12; ++tries) {
            const TCo& c = FCos[r.Below(int(FCos.size()))];
            if (c.CapEok < 8000)
                return c;
        }
        return FCos[r.Below(int(FCos.size()))];
    };

    items.reserve(secs.size());
    for (int seq = 0; seq < secs.size(); ++seq) {
        const int s = secs[seq];
        const int m = s / 60;
        TSimNewsItem it;
        it.Date = date;
        it.Time = QStringLiteral("%1%2%3")
                      .arg(s / 3600, 2, 10, QLatin1Char('0'))
                      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                      .arg(s % 60, 2, 10, QLatin1Char('0'));
        it.Seed = rng.Next();
        TSimRng r(it.Seed);

        // Filings run from 07:00 to 19:00, thickest after the close.
        double pDisc = 0;
        if (m >= 7 * 60 && m < 19 * 60)
            pDisc = m >= 15 * 60 + 20 ? 0.55 : (m >= 8 * 60 + 30 ? 0.3 : 0.2);
        const bool wrapTime = (m >= 8 * 60 + 55 && m < 9 * 60 + 15) || (m >= 15 * 60 + 25 && m < 15 * 60 + 50)
                              || (m >= 11 * 60 + 50 && m < 12 * 60 + 10);
        if (r.Chance(pDisc)) {
            it.Src = kSimGongsiSrc;
            const double wEarn = season ? 30 : 6;
            const double w[] = {wEarn, 14, 7, 3, 8, 2, 2, 25};
            const TSimNewsKind kinds[] = {TSimNewsKind::Earnings, TSimNewsKind::Contract, TSimNewsKind::Rights,
                                          TSimNewsKind::Bonus,    TSimNewsKind::Bond,     TSimNewsKind::Reduction,
                                          TSimNewsKind::Withdrawal, TSimNewsKind::Notice};
            double tot = 0;
            for (double x : w)
                tot += x;
            double x = r.Uniform() * tot;
            int k = 0;
            while (k < 7 && x >= w[k])
                x -= w[k++];
            it.Kind = kinds[k];
        } else {
            it.Src = Of(kPressSrc, r);
            const double u = r.Uniform();
            if (wrapTime && u < 0.25)
                it.Kind = TSimNewsKind::Market;
            else if (u < 0.06)
                it.Kind = TSimNewsKind::Market;
            else if (u < 0.3)
                it.Kind = TSimNewsKind::Feature;
            else
                it.Kind = TSimNewsKind::Article;
        }

        const bool capital = it.Kind == TSimNewsKind::Rights || it.Kind == TSimNewsKind::Bond
                             || it.Kind == TSimNewsKind::Reduction || it.Kind == TSimNewsKind::Withdrawal
                             || it.Kind == TSimNewsKind::Bonus;
        const TCo co = OnDay(capital ? pickSmall(r) : Pick(r), day);
        if (it.Kind != TSimNewsKind::Market)
            it.Stocks << co.Code;
        const QString n = co.Name;
        const QString theme = Of(kThemes, r);
        switch (it.Kind) {
        case TSimNewsKind::Earnings:
            it.Variant = r.Chance(0.7) ? 0 : 1;   // 0 consolidated, 1 separate
            it.Title = it.Variant == 0 ? n + QStringLiteral(" 연결재무제표기준영업(잠정)실적(공정공시)")
                                       : n + QStringLiteral(" 영업(잠정)실적(공정공시)");
            break;
        case TSimNewsKind::Contract:
            it.Correction = r.Chance(0.12);
            it.Title = n + (it.Correction ? QStringLiteral(" [기재정정]") : QStringLiteral(" "))
                       + QStringLiteral("단일판매ㆍ공급계약체결") + (r.Chance(0.3) ? QStringLiteral("(자율공시)") : QString());
            break;
        case TSimNewsKind::Rights: {
            it.Variant = r.Below(10) < 6 ? 0 : (r.Chance(0.6) ? 1 : 2);   // third party, shareholders, public
            it.Correction = r.Chance(0.15);
            const QString kind = it.Variant == 0 ? QStringLiteral("유상증자결정(제3자배정)")
                                 : it.Variant == 1 ? QStringLiteral("유상증자결정")
                                                   : QStringLiteral("유상증자결정(일반공모)");
            it.Title = n + (it.Correction ? QStringLiteral(" [기재정정]") : QStringLiteral(" ")) + kind;
            break;
        }
        case TSimNewsKind::Bonus:
            it.Correction = r.Chance(0.1);
            it.Title = n + (it.Correction ? QStringLiteral(" [기재정정]") : QStringLiteral(" ")) + QStringLiteral("무상증자결정");
            break;
        case TSimNewsKind::Bond: {
            it.Variant = r.Below(10) < 6 ? 0 : (r.Chance(0.5) ? 1 : 2);   // CB, BW, EB
            it.Correction = r.Chance(0.12);
            const QString kind = it.Variant == 0 ? QStringLiteral("전환사채권발행결정")
                                 : it.Variant == 1 ? QStringLiteral("신주인수권부사채권발행결정")
                                                   : QStringLiteral("교환사채권발행결정");
            it.Title = n + (it.Correction ? QStringLiteral(" [기재정정]") : QStringLiteral(" ")) + kind
                       + QStringLiteral("(제%1회차)").arg(1 + r.Below(12));
            break;
        }
        case TSimNewsKind::Reduction:
            it.Variant = r.Chance(0.75) ? 0 : 1;   // 0 without pay-out, 1 paid
            it.Correction = r.Chance(0.1);
            it.Title = n + (it.Correction ? QStringLiteral(" [기재정정]") : QStringLiteral(" "))
                       + (it.Variant == 0 ? QStringLiteral("감자결정") : QStringLiteral("감자결정(유상감자)"));
            break;
        case TSimNewsKind::Withdrawal:
            it.Variant = r.Below(4);   // third party, shareholders, CB, bonus
            it.Title = n + QStringLiteral(" [철회]")
                       + (it.Variant == 0   ? QStringLiteral("유상증자결정(제3자배정)")
                          : it.Variant == 1 ? QStringLiteral("유상증자결정")
                          : it.Variant == 2 ? QStringLiteral("전환사채권발행결정")
                                            : QStringLiteral("무상증자결정"));
            break;
        case TSimNewsKind::Notice: {
            static const char* const kNotices[] = {
                "조회공시요구(현저한시황변동)", "주식등의대량보유상황보고서(일반)", "자기주식취득결정",
                "현금ㆍ현물배당결정", "임원ㆍ주요주주특정증권등소유상황보고서",
                "투자주의종목지정(소수계좌매수관여과다종목)", "기업설명회(IR)개최(안내공시)", "특허권취득",
                "최대주주변경", "타법인주식및출자증권취득결정"};
            it.Variant = r.Below(int(std::size(kNotices)));
            it.Title = n + QLatin1Char(' ') + QString::fromUtf8(kNotices[it.Variant]);
            break;
        }
        case TSimNewsKind::Feature: {
            const double pct = 3 + r.Uniform() * 22;
            switch (r.Below(4)) {
            case 0: it.Title = QStringLiteral("[특징주] %1, %2 수혜 기대에 %3%↑").arg(n, theme, Fixed(pct, 1)); break;
            case 1: it.Title = QStringLiteral("[특징주] %1, 대규모 공급계약 소식에 강세").arg(n); break;
            case 2: it.Title = QStringLiteral("[특징주] %1, 유상증자 결정에 %2% 약세").arg(n, Fixed(-pct / 2, 1)); break;
            default: it.Title = QStringLiteral("[특징주] %1, 52주 신고가…%2 모멘텀 부각").arg(n, theme); break;
            }
            break;
        }
        case TSimNewsKind::Market: {
            const double pct = r.Uniform() * 2.2 - 1.0;
            const int idx = 2400 + r.Below(700);
            switch (r.Below(5)) {
            case 0: it.Title = QStringLiteral("코스피, 외국인 매수에 %1% 오른 %2 출발").arg(Fixed(std::abs(pct), 2)).arg(idx); break;
            case 1: it.Title = QStringLiteral("코스닥, 개인 매도에 %1% 하락 마감").arg(Fixed(std::abs(pct), 2)); break;
            case 2: it.Title = QStringLiteral("[마감시황] 코스피 %1…기관 %2억 순매수").arg(idx).arg(FmtNum(qint64(300 + r.Below(6000)))); break;
            case 3: it.Title = QStringLiteral("원·달러 환율 %1원 출발").arg(Fixed(1300 + r.Uniform() * 150, 1)); break;
            default: it.Title = QStringLiteral("[오전시황] %1 강세에 코스닥 %2%대 상승").arg(theme, Fixed(std::abs(pct), 0)); break;
            }
            break;
        }
        case TSimNewsKind::Article:
        default: {
            const double pct = 1 + r.Uniform() * 12;
            const int tp = OnGrid(co.Price * (1.15 + r.Uniform() * 0.45));
            switch (r.Below(7)) {
            case 0: it.Title = QStringLiteral("%1, %2 기대감에 장중 %3% 상승").arg(n, theme, Fixed(pct, 1)); break;
            case 1: it.Title = QStringLiteral("%1, 외국인 순매수 %2일째…주가 %3%↑").arg(n).arg(2 + r.Below(9)).arg(Fixed(pct / 2, 1)); break;
            case 2: it.Title = QStringLiteral("%1 \"%2, %3 성장 본격화\"…목표가 %4원으로 상향").arg(Of(kBrokers, r), n, theme, Won(tp)); break;
            case 3: it.Title = QStringLiteral("%1, %2 사업 본격화…%3와 MOU").arg(n, theme, Of(kPartners, r)); break;
            case 4: it.Title = QStringLiteral("%1, %2 실적 시장 기대치 상회 전망").arg(n, QStringLiteral("%1년 %2분기").arg(qYear).arg(qNum)); break;
            case 5: {
                const TCo& other = Pick(r);
                if (other.Code != co.Code)
                    it.Stocks << other.Code;
                it.Title = QStringLiteral("%1 관련주 동반 강세…%2·%3 상승").arg(theme, n, other.Name);
                break;
            }
            default: it.Title = QStringLiteral("%1, 신고가 경신…시가총액 %2 돌파").arg(n, co.CapEok >= 10000 ? Fixed(std::floor(co.CapEok / 10000), 0) + QStringLiteral("조") : Won(qint64(co.CapEok / 100) * 100) + QStringLiteral("억")); break;
            }
            break;
        }
        }
        for (const QString& c : it.Stocks)
            it.Codes += QStringLiteral("000000") + c;
        it.Key = date + it.Time + it.Src + QStringLiteral("%1").arg(seq, 8, 10, QLatin1Char('0'));
        items.append(std::move(it));
    }
    return items;
}

// ---- bodies ---------------------------------------------------------------

namespace {

struct TBodyCtx {
    const TSimNews::TCo& Co;
    QDate Day;
    TSimRng& R;
    bool Table;
};

// Quarterly sales of a company, 100 million won.
double QuarterSalesEok(const TSimNews::TCo& c, TSimRng& r)
{
    const double psr = std::exp(std::log(1.2) + 0.6 * r.Normal());
    return std::max(1.0, c.CapEok / std::clamp(psr, 0.2, 8.0) / 4.0);
}

// One results row: the change cell and the turnaround cell.
void Change(double cur, double base, QString* pct, QString* turn)
{
    *pct = QStringLiteral("-");
    *turn = QStringLiteral("-");
    if (base > 0 && cur > 0)
        *pct = Fixed((cur - base) / base * 100.0, 1);
    else if (base <= 0 && cur > 0)
        *turn = QStringLiteral("흑자전환");
    else if (base > 0 && cur <= 0)
        *turn = QStringLiteral("적자전환");
    else if (base < 0 && cur < 0)
        *turn = QStringLiteral("적자지속");
}

QString EarningsBody(const TSimNewsItem& it, TBodyCtx& c, int qYear, int qNum)
{
    TSimRng& r = c.R;
    const double sales = QuarterSalesEok(c.Co, r);
    // Unit by size: large companies in 억원 or 백만원, small ones down to 원.
    const char* units[] = {"억원", "백만원", "천원", "원"};
    const double mult[] = {1.0, 100.0, 1e5, 1e8};
    int u;
    if (c.Co.CapEok >= 50000)
        u = r.Below(2);
    else if (c.Co.CapEok >= 3000)
        u = r.Chance(0.8) ? 1 : 2;
    else
        u = 1 + r.Below(3);
    const QString unit = QString::fromUtf8(units[u]);
    auto inUnit = [&](double eok) -> QString {
        const qint64 v = qint64(std::llround(eok * mult[u]));
        return v == 0 ? QStringLiteral("0") : FmtNum(v);
    };
    const int pQ = qNum == 1 ? 4 : qNum - 1, pY = qNum == 1 ? qYear - 1 : qYear;
    const bool lossMaker = r.Chance(0.18);
    struct TRowFig {
        const char* Name;
        double Cur, Prev, Yago, Cum, CumYago;
    };
    const double s0 = sales, s1 = sales * (1 + 0.12 * r.Normal()), s2 = sales * (1 + 0.2 * r.Normal());
    const double margin = lossMaker ? -0.04 - 0.08 * r.Uniform() : 0.02 + 0.15 * r.Uniform();
    auto opOf = [&](double s) { return s * (margin + 0.05 * r.Normal()); };
    const double o0 = opOf(s0), o1 = opOf(s1), o2 = opOf(s2);
    const double n0 = o0 * (0.6 + 0.3 * r.Uniform()), n1 = o1 * (0.7 + 0.2 * r.Uniform()), n2 = o2 * (0.5 + 0.4 * r.Uniform());
    const int done = qNum;   // quarters in the cumulative figure
    const TRowFig rows[] = {
        {"매출액", s0, s1, s2, s0 * done * (0.95 + 0.1 * r.Uniform()), s2 * done * (0.95 + 0.1 * r.Uniform())},
        {"영업이익", o0, o1, o2, o0 * done * (0.9 + 0.2 * r.Uniform()), o2 * done * (0.9 + 0.2 * r.Uniform())},
        {"법인세비용차감전계속사업이익", o0 * 1.05, o1 * 0.97, o2 * 1.1, o0 * done, o2 * done},
        {"당기순이익", n0, n1, n2, n0 * done * (0.9 + 0.2 * r.Uniform()), n2 * done * (0.9 + 0.2 * r.Uniform())},
    };
    const bool cons = it.Variant == 0;
    TForm f(c.Table);
    f.Text(QStringLiteral("<b>%1%2</b>").arg(cons ? QStringLiteral("연결재무제표기준") : QString(),
                                             QStringLiteral("영업(잠정)실적(공정공시)")));
    f.Text(QStringLiteral("※ 동 정보는 잠정치로서 향후 확정치와는 다를 수 있음."));
    f.Row(cons ? QStringLiteral("1. 연결실적내용") : QStringLiteral("1. 실적내용"),
          QStringLiteral("단위 : %1, %").arg(unit));
    f.Row({QStringLiteral("구분"), QStringLiteral("당기실적 (%1)").arg(QLabel(qYear, qNum)),
           QStringLiteral("전기실적 (%1)").arg(QLabel(pY, pQ)), QStringLiteral("전기대비증감율(%)"),
           QStringLiteral("전기대비 흑자적자전환여부"), QStringLiteral("전년동기실적 (%1)").arg(QLabel(qYear - 1, qNum)),
           QStringLiteral("전년동기대비증감율(%)"), QStringLiteral("전년동기대비 흑자적자전환여부")});
    for (const TRowFig& row : rows) {
        QString qp, qt, yp, yt, cp, ct;
        Change(row.Cur, row.Prev, &qp, &qt);
        Change(row.Cur, row.Yago, &yp, &yt);
        Change(row.Cum, row.CumYago, &cp, &ct);
        f.Row({QString::fromUtf8(row.Name), QStringLiteral("당해실적"), inUnit(row.Cur), inUnit(row.Prev), qp, qt,
               inUnit(row.Yago), yp, yt});
        f.Row({QString(), QStringLiteral("누계실적"), inUnit(row.Cum), QStringLiteral("-"), QStringLiteral("-"),
               QStringLiteral("-"), inUnit(row.CumYago), cp, ct});
    }
    if (cons) {
        const double own = 0.85 + 0.1 * r.Uniform();
        QString qp, qt, yp, yt;
        Change(n0 * own, n1 * own, &qp, &qt);
        Change(n0 * own, n2 * own, &yp, &yt);
        f.Row({QStringLiteral("지배기업 소유주지분 순이익"), QStringLiteral("당해실적"), inUnit(n0 * own), inUnit(n1 * own),
               qp, qt, inUnit(n2 * own), yp, yt});
    }
    const QDate when = c.Day;
    f.Row(QStringLiteral("2. 정보제공내역"), QStringLiteral("정보제공자"), QStringLiteral("IR팀"));
    f.Row(QString(), QStringLiteral("정보제공대상자"), QStringLiteral("국내외 투자자 및 언론 등"));
    f.Row(QString(), QStringLiteral("정보제공(예정)일시"), QStringLiteral("%1 공시 이후").arg(IsoDate(when)));
    f.Row(QStringLiteral("3. 연락처(관련부서/전화번호)"), QStringLiteral("IR팀 (02-%1-%2)").arg(300 + r.Below(600)).arg(1000 + r.Below(9000)));
    f.Row(QStringLiteral("4. 기타 투자판단과 관련한 중요사항"));
    f.Text(QStringLiteral("- 상기 실적은 외부감사인의 검토가 완료되지 않은 상태에서 작성된 자료로서 그 내용 중 일부는 검토 과정에서 달라질 수 있습니다."));
    if (lossMaker)
        f.Text(QStringLiteral("- 전환여부 항목의 '적자지속'은 비교 기간과 당기 모두 손실인 경우입니다."));
    f.Text(QStringLiteral("※ 관련공시 -"));
    return f.Render();
}

QString ContractRows(TForm& f, const TBodyCtx& c, qint64 amount, qint64 salesWon, double ratio, const QString& what,
                     const QString& party, const QString& region, const QDate& start, const QDate& end)
{
    f.Row(QStringLiteral("1. 판매ㆍ공급계약 내용"), what);
    f.Row(QStringLiteral("2. 계약내역"), QStringLiteral("계약금액(원)"), Won(amount));
    f.Row(QString(), QStringLiteral("최근 매출액(원)"), Won(salesWon));
    f.Row(QString(), QStringLiteral("매출액 대비(%)"), Fixed(ratio, 2));
    f.Row(QString(), QStringLiteral("대규모법인여부"), c.Co.CapEok >= 20000 ? QStringLiteral("해당") : QStringLiteral("미해당"));
    f.Row(QStringLiteral("3. 계약상대"), party);
    f.Row(QStringLiteral("- 최근 매출액(원)"), QStringLiteral("-"));
    f.Row(QStringLiteral("- 주요사업"), QStringLiteral("-"));
    f.Row(QStringLiteral("- 회사와의 관계"), QStringLiteral("-"));
    f.Row(QStringLiteral("- 회사와 최근 3년간 동종계약 이행여부"), QStringLiteral("해당없음"));
    f.Row(QStringLiteral("4. 판매ㆍ공급지역"), region);
    f.Row(QStringLiteral("5. 계약기간"), QStringLiteral("시작일"), IsoDate(start));
    f.Row(QString(), QStringLiteral("종료일"), IsoDate(end));
    f.Row(QStringLiteral("6. 주요 계약조건"), QStringLiteral("계약금 10%, 중도금 및 잔금은 공정률에 따라 수령"));
    f.Row(QStringLiteral("7. 판매ㆍ공급방식"), QStringLiteral("자체생산"));
    f.Row(QStringLiteral("8. 계약(수주)일자"), IsoDate(c.Day));
    f.Row(QStringLiteral("9. 공시유보 관련내용"), QStringLiteral("유보기한"), QStringLiteral("-"));
    f.Row(QStringLiteral("10. 기타 투자판단에 참고할 사항"));
    f.Text(QStringLiteral("- 상기 계약금액은 부가가치세 별도 금액입니다."));
    f.Text(QStringLiteral("- 상기 최근 매출액은 %1년 연결재무제표 기준입니다.").arg(c.Day.year() - 1));
    f.Text(QStringLiteral("※ 관련공시 -"));
    return {};
}

QString CorrectionHead(TForm& f, const TBodyCtx& c, const QString& form, const QString& why,
                       const QVector<TRow>& changes)
{
    f.Text(QStringLiteral("<b>정정신고(보고)</b>"));
    f.Row(QStringLiteral("정정일자"), IsoDate(c.Day));
    f.Row(QStringLiteral("1. 정정관련 공시서류"), form);
    f.Row(QStringLiteral("2. 정정관련 공시서류제출일"), IsoDate(c.Day.addDays(-7 - c.R.Below(40))));
    f.Row(QStringLiteral("3. 정정사유"), why);
    f.Row(QStringLiteral("4. 정정사항"));
    f.Row(QStringLiteral("정정항목"), QStringLiteral("정정전"), QStringLiteral("정정후"));
    for (const TRow& ch : changes)
        f.Row(ch);
    f.Text(QString());
    f.Text(QStringLiteral("<b>[정정후 전문]</b>"));
    return {};
}

QString ContractBody(const TSimNewsItem& it, TBodyCtx& c)
{
    TSimRng& r = c.R;
    const double yearSales = QuarterSalesEok(c.Co, r) * 4;
    const double u = r.Uniform();
    const double ratio = u < 0.6 ? 2 + 8 * r.Uniform() : (u < 0.9 ? 10 + 40 * r.Uniform() : 50 + 100 * r.Uniform());
    const qint64 salesWon = qint64(std::llround(yearSales * 1e8));
    qint64 amount = qint64(std::llround(double(salesWon) * ratio / 100.0));
    amount = std::max<qint64>(amount, 100000000);
    const double realRatio = double(amount) * 100.0 / double(std::max<qint64>(salesWon, 1));
    const QString what = Of(kContractWhat, r), party = Of(kCounterparties, r), region = Of(kRegions, r);
    const QDate start = c.Day.addDays(r.Below(30));
    const QDate end = start.addDays(120 + r.Below(900));
    TForm f(c.Table);
    if (it.Correction) {
        const qint64 before = amount - qint64(amount * (0.05 + 0.2 * r.Uniform()));
        const QDate oldEnd = end.addDays(-30 - r.Below(200));
        CorrectionHead(f, c, QStringLiteral("단일판매ㆍ공급계약체결"), QStringLiteral("계약금액 및 계약기간 변경"),
                       {{QStringLiteral("2. 계약내역 - 계약금액(원)"), Won(before), Won(amount)},
                        {QStringLiteral("5. 계약기간 - 종료일"), IsoDate(oldEnd), IsoDate(end)}});
    }
    f.Text(QStringLiteral("<b>단일판매ㆍ공급계약체결</b>"));
    ContractRows(f, c, amount, salesWon, realRatio, what, party, region, start, end);
    return f.Render();
}

// The fund-use rows; `total` won is split over the purposes.
void FundRows(TForm& f, const QString& head, qint64 total, TSimRng& r)
{
    double w[6] = {0, 0, 0, 0, 0, 0};   // facility, business, running, debt, other companies, other
    const int style = r.Below(4);
    if (style == 0)
        w[2] = 1;
    else if (style == 1)
        w[0] = 0.5 + 0.3 * r.Uniform(), w[2] = 1 - w[0];
    else if (style == 2)
        w[2] = 0.4, w[3] = 0.4, w[4] = 0.2;
    else
        w[0] = 0.2, w[2] = 0.3, w[3] = 0.5;
    const char* names[] = {"시설자금 (원)", "영업양수자금 (원)", "운영자금 (원)", "채무상환자금 (원)",
                           "타법인 증권 취득자금 (원)", "기타자금 (원)"};
    qint64 left = total;
    int last = 0;
    for (int i = 0; i < 6; ++i)
        if (w[i] > 0)
            last = i;
    for (int i = 0; i < 6; ++i) {
        qint64 v = 0;
        if (w[i] > 0) {
            v = i == last ? left : qint64(double(total) * w[i] / 1000000.0) * 1000000;
            left -= v;
        }
        f.Row(i == 0 ? head : QString(), QString::fromUtf8(names[i]), Cell(v));
    }
}

QString Allottee(TSimRng& r, bool* insider, QString* relation)
{
    const int kind = r.Below(4);
    *insider = false;
    if (kind == 0) {
        *insider = true;
        *relation = r.Chance(0.5) ? QStringLiteral("최대주주") : QStringLiteral("최대주주의 특수관계인");
        return QStringLiteral("주식회사 ") + Of(kCompanyWords, r) + Of(kCompanyTails, r);
    }
    if (kind == 1) {
        *relation = QStringLiteral("-");
        return Of(kCompanyWords, r) + QStringLiteral("신기술투자조합 제%1호").arg(1 + r.Below(9));
    }
    if (kind == 2) {
        *relation = r.Chance(0.3) ? QStringLiteral("대표이사") : QStringLiteral("-");
        *insider = *relation != QStringLiteral("-");
        return PersonName(r);
    }
    *relation = QStringLiteral("-");
    return QStringLiteral("㈜") + Of(kCompanyWords, r) + Of(kCompanyTails, r);
}

QString RightsBody(const TSimNewsItem& it, TBodyCtx& c)
{
    TSimRng& r = c.R;
    const int type = it.Variant;   // 0 third party, 1 shareholders, 2 public
    const qint64 before = c.Co.Shares;
    const double dil = type == 0 ? 0.05 + 0.25 * r.Uniform() : 0.15 + 0.35 * r.Uniform();
    const double disc = type == 0 ? (r.Chance(0.2) ? -0.05 : 0.1 * r.Uniform()) : 0.15 + 0.15 * r.Uniform();
    const int price = OnGrid(c.Co.Price * (1 - disc));
    qint64 shares = qint64(double(before) * dil);
    shares = std::max<qint64>(1000, shares / 10 * 10);
    const qint64 total = shares * price;
    const int par = c.Co.Price < 2000 ? 100 : (c.Co.Price < 50000 ? 500 : 5000);
    const QDate board = c.Day;
    const QDate record = WorkdayAfter(board, 25 + r.Below(10));
    const QDate subStart = WorkdayAfter(record, 30 + r.Below(10));
    const QDate pay = type == 0 ? WorkdayAfter(board, 10 + r.Below(60)) : WorkdayAfter(subStart, 5);
    const QDate listing = WorkdayAfter(pay, 12);
    const QString method = type == 0 ? QStringLiteral("제3자배정증자")
                           : type == 1 ? QStringLiteral("주주배정후 실권주 일반공모")
                                       : QStringLiteral("일반공모증자");
    TForm f(c.Table);
    if (it.Correction) {
        const qint64 oldShares = shares + shares / 10;
        CorrectionHead(f, c, QStringLiteral("유상증자결정"),
                       type == 0 ? QStringLiteral("납입일 변경") : QStringLiteral("발행가액 확정에 따른 정정"),
                       {{QStringLiteral("1. 신주의 종류와 수 - 보통주식 (주)"), Won(oldShares), Won(shares)},
                        {QStringLiteral("12. 납입일"), IsoDate(pay.addDays(-14)), IsoDate(pay)}});
    }
    f.Text(QStringLiteral("<b>유상증자 결정</b>"));
    f.Row(QStringLiteral("1. 신주의 종류와 수"), QStringLiteral("보통주식 (주)"), Won(shares));
    f.Row(QString(), QStringLiteral("기타주식 (주)"), QStringLiteral("-"));
    f.Row(QStringLiteral("2. 1주당 액면가액 (원)"), Won(par));
    f.Row(QStringLiteral("3. 증자전 발행주식총수 (주)"), QStringLiteral("보통주식 (주)"), Won(before));
    f.Row(QString(), QStringLiteral("기타주식 (주)"), QStringLiteral("-"));
    FundRows(f, QStringLiteral("4. 자금조달의 목적"), total, r);
    f.Row(QStringLiteral("5. 증자방식"), method);
    if (type == 0) {
        f.Row(QStringLiteral("6. 신주 발행가액"), QStringLiteral("확정발행가"), QStringLiteral("보통주식 (원)"));
        f.Row(QString(), QString(), Won(price));
        f.Row(QStringLiteral("7. 기준주가"), QStringLiteral("보통주식 (원)"), Won(c.Co.Price));
        f.Row(QStringLiteral("8. 할인율 또는 할증율 (%)"), Fixed(disc * 100, 1));
        f.Row(QStringLiteral("9. 발행가 산정방법"), QStringLiteral("증권의 발행 및 공시 등에 관한 규정 제5-18조에 의거하여 산정"));
    } else {
        f.Row(QStringLiteral("6. 신주 발행가액"), QStringLiteral("예정발행가"), QStringLiteral("보통주식 (원)"));
        f.Row(QString(), QString(), Won(price));
        f.Row(QString(), QStringLiteral("확정예정일"), IsoDate(subStart.addDays(-3)));
        f.Row(QStringLiteral("7. 기준주가"), QStringLiteral("보통주식 (원)"), Won(c.Co.Price));
        f.Row(QStringLiteral("8. 할인율 또는 할증율 (%)"), QStringLiteral("-"));
        f.Row(QStringLiteral("9. 발행가 산정방법"),
              QStringLiteral("기준주가에 할인율 %1%를 적용하여 산정").arg(Fixed(disc * 100, 0)));
    }
    f.Row(QStringLiteral("10. 신주배정기준일"), type == 1 ? IsoDate(record) : QStringLiteral("-"));
    const double perShare = double(shares) / double(std::max<qint64>(before, 1));
    f.Row(QStringLiteral("11. 1주당 신주배정 주식수 (주)"), type == 1 ? Fixed(perShare, 4) : QStringLiteral("-"));
    f.Row(QStringLiteral("12. 청약예정일"), QStringLiteral("우리사주조합"), QStringLiteral("시작일  -"));
    if (type == 1) {
        f.Row(QString(), QStringLiteral("구주주"), QStringLiteral("시작일  ") + IsoDate(subStart));
        f.Row(QString(), QString(), QStringLiteral("종료일  ") + IsoDate(WorkdayAfter(subStart, 1)));
    } else if (type == 2) {
        f.Row(QString(), QStringLiteral("일반공모"), QStringLiteral("시작일  ") + IsoDate(subStart));
    }
    f.Row(QStringLiteral("13. 납입일"), IsoDate(pay));
    f.Row(QStringLiteral("14. 신주의 배당기산일"), QStringLiteral("%1-01-01").arg(pay.year()));
    f.Row(QStringLiteral("15. 신주의 상장 예정일"), IsoDate(listing));
    if (type != 0)
        f.Row(QStringLiteral("16. 대표주관회사(직접공모가 아닌 경우)"), Of(kBrokers, r));
    f.Row(QStringLiteral("17. 이사회결의일(결정일)"), IsoDate(board));
    f.Row(QStringLiteral("18. 증권신고서 제출대상 여부"), type == 0 ? QStringLiteral("아니오") : QStringLiteral("예"));
    if (type == 0) {
        const int lock = 1;
        f.Text(QStringLiteral("19. 기타 투자판단에 참고할 사항"));
        f.Text(QStringLiteral("- 본 유상증자로 발행되는 신주는 %1년간 보호예수할 예정입니다.").arg(lock));
        f.Text(QStringLiteral("【제3자배정 대상자별 선정경위, 거래내역, 배정내역 등】"));
        f.Row({QStringLiteral("제3자배정 대상자"), QStringLiteral("회사 또는 최대주주와의 관계"), QStringLiteral("선정경위"),
               QStringLiteral("증자결정 전후 6월이내 거래내역 및 계획"), QStringLiteral("배정주식수(주)"), QStringLiteral("비고")});
        const int n = 1 + r.Below(6);
        qint64 left = shares;
        for (int i = 0; i < n; ++i) {
            bool insider = false;
            QString rel;
            const QString name = Allottee(r, &insider, &rel);
            const qint64 part = i == n - 1 ? left : std::max<qint64>(100, left / (n - i) / 10 * 10);
            left -= part;
            f.Row({name, rel, insider ? QStringLiteral("책임경영 강화") : QStringLiteral("투자자의 투자의향"),
                   QStringLiteral("해당사항없음"), Won(part), IsoDate(pay) + QStringLiteral(" 납입")});
        }
        f.Row({QStringLiteral("합계"), QString(), QString(), QString(), Won(shares), QString()});
        f.Text(QStringLiteral("【조달자금의 구체적 사용 목적】"));
        f.Text(QStringLiteral("- 운영자금: 원재료 구매 및 인건비 등 경상운영비"));
    } else {
        f.Text(QStringLiteral("19. 기타 투자판단에 참고할 사항"));
        f.Text(QStringLiteral("- 상기 예정발행가는 이사회결의일 전일을 기산일로 하여 산정하였으며, 확정발행가는 구주주 청약일 3거래일 전에 확정됩니다."));
        f.Text(QStringLiteral("- 신주배정기준일 전일부터 권리락이 적용됩니다."));
    }
    if (it.Correction)
        f.Text(QStringLiteral("※ 정정 사유 %1").arg(type == 0 ? QStringLiteral("제3자배정 대상자의 납입일 변경") : QStringLiteral("발행가액 확정")));
    return f.Render();
}

QString BonusBody(const TSimNewsItem& it, TBodyCtx& c)
{
    TSimRng& r = c.R;
    const double ratios[] = {0.1, 0.2, 0.3, 0.5, 1, 1, 2, 3};
    const double q = ratios[r.Below(8)];
    const qint64 before = c.Co.Shares;
    const qint64 shares = qint64(std::llround(double(before) * q));
    const QDate record = WorkdayAfter(c.Day, 10 + r.Below(10));
    const QDate listing = WorkdayAfter(record, 15);
    TForm f(c.Table);
    if (it.Correction)
        CorrectionHead(f, c, QStringLiteral("무상증자결정"), QStringLiteral("신주의 상장 예정일 변경"),
                       {{QStringLiteral("8. 신주의 상장 예정일"), IsoDate(listing.addDays(-3)), IsoDate(listing)}});
    f.Text(QStringLiteral("<b>무상증자 결정</b>"));
    f.Row(QStringLiteral("1. 신주의 종류와 수"), QStringLiteral("보통주식 (주)"), Won(shares));
    f.Row(QStringLiteral("2. 1주당 액면가액 (원)"), Won(c.Co.Price < 2000 ? 100 : 500));
    f.Row(QStringLiteral("3. 증자전 발행주식총수"), QStringLiteral("보통주식 (주)"), Won(before));
    f.Row(QStringLiteral("4. 신주배정기준일"), IsoDate(record));
    f.Row(QStringLiteral("5. 1주당 신주배정 주식수"), QStringLiteral("보통주식 (주)"), Fixed(q, q < 1 ? 2 : 0));
    f.Row(QStringLiteral("6. 신주의 배당기산일"), QStringLiteral("%1-01-01").arg(record.year()));
    f.Row(QStringLiteral("7. 신주권교부예정일"), QStringLiteral("-"));
    f.Row(QStringLiteral("8. 신주의 상장 예정일"), IsoDate(listing));
    f.Row(QStringLiteral("9. 이사회결의일(결정일)"), IsoDate(c.Day));
    f.Text(QStringLiteral("10. 기타 투자판단에 참고할 사항"));
    f.Text(QStringLiteral("- 신주의 재원: 주식발행초과금"));
    f.Text(QStringLiteral("- 단수주는 신주의 상장 초일 종가를 기준으로 현금으로 지급합니다."));
    return f.Render();
}

QString BondBody(const TSimNewsItem& it, TBodyCtx& c)
{
    TSimRng& r = c.R;
    const int type = it.Variant;   // 0 CB, 1 BW, 2 EB
    const QString bond = type == 0 ? QStringLiteral("전환사채") : type == 1 ? QStringLiteral("신주인수권부사채") : QStringLiteral("교환사채");
    const QString right = type == 0 ? QStringLiteral("전환") : type == 1 ? QStringLiteral("행사") : QStringLiteral("교환");
    const qint64 total = std::max<qint64>(1000000000, qint64(c.Co.CapEok * (0.03 + 0.12 * r.Uniform())) * 100000000);
    const int conv = OnGrid(c.Co.Price * (0.95 + 0.15 * r.Uniform()));
    const qint64 shares = total / conv;
    const double ratio = double(shares) * 100.0 / double(std::max<qint64>(c.Co.Shares, 1));
    const double floors[] = {0.7, 0.7, 0.8, 0.9};
    const int floor = std::max(1, int(conv * floors[r.Below(4)]));
    const bool priv = r.Chance(0.8);
    const QDate mature = c.Day.addYears(3);
    const QDate claim = c.Day.addYears(1);
    const QDate claimEnd = mature.addMonths(-1);
    TForm f(c.Table);
    if (it.Correction)
        CorrectionHead(f, c, bond + QStringLiteral("권발행결정"), QStringLiteral("납입일 변경"),
                       {{QStringLiteral("납입일"), IsoDate(c.Day.addDays(7)), IsoDate(c.Day.addDays(21))}});
    f.Text(QStringLiteral("<b>%1권 발행결정</b>").arg(bond));
    f.Row(QStringLiteral("1. 사채의 종류"), QStringLiteral("회차  %1").arg(1 + r.Below(12)),
          QStringLiteral("종류  무기명식 이권부 무보증 %1 %2").arg(priv ? QStringLiteral("사모") : QStringLiteral("공모"), bond));
    f.Row(QStringLiteral("2. 사채의 권면(전자등록)총액 (원)"), Won(total));
    FundRows(f, QStringLiteral("3. 자금조달의 목적"), total, r);
    f.Row(QStringLiteral("4. 사채의 이율"), QStringLiteral("표면이자율 (%)"), Fixed(r.Below(3) * 1.0, 1));
    f.Row(QString(), QStringLiteral("만기이자율 (%)"), Fixed(1 + r.Below(5), 1));
    f.Row(QStringLiteral("5. 사채만기일"), IsoDate(mature));
    f.Row(QStringLiteral("6. 이자지급방법"), QStringLiteral("매 3개월마다 후급"));
    f.Row(QStringLiteral("7. 원금상환방법"), QStringLiteral("만기까지 보유하고 있는 사채의 원금은 만기일에 일시 상환"));
    f.Row(QStringLiteral("8. 사채발행방법"), priv ? QStringLiteral("사모") : QStringLiteral("공모"));
    f.Row(QStringLiteral("9. %1에 관한 사항").arg(right), QStringLiteral("%1비율 (%)").arg(right), QStringLiteral("100"));
    f.Row(QString(), QStringLiteral("%1가액 (원/주)").arg(right), Won(conv));
    f.Row(QString(), QStringLiteral("%1가액 결정방법").arg(right), QStringLiteral("증권의 발행 및 공시 등에 관한 규정에 따라 산정"));
    f.Row(QString(), type == 2 ? QStringLiteral("교환대상  종류") : QStringLiteral("%1에 따라 발행할 주식  종류").arg(right),
          type == 2 ? QStringLiteral("기명식 보통주 (자기주식)") : QStringLiteral("기명식 보통주"));
    f.Row(QString(), QStringLiteral("주식수"), Won(shares));
    f.Row(QString(), QStringLiteral("주식총수 대비 비율(%)"), Fixed(ratio, 2));
    f.Row(QString(), type == 1 ? QStringLiteral("권리행사기간") : QStringLiteral("%1청구기간").arg(right),
          QStringLiteral("시작일  %1").arg(IsoDate(claim)));
    f.Row(QString(), QString(), QStringLiteral("종료일  %1").arg(IsoDate(claimEnd)));
    f.Row(QString(), QStringLiteral("시가하락에 따른 %1가액 조정").arg(right), QStringLiteral("최저 조정가액 (원)"));
    f.Row(QString(), QString(), Won(floor));
    f.Row(QStringLiteral("10. 합병 관련 사항"), QStringLiteral("해당사항없음"));
    f.Row(QStringLiteral("11. 청약일"), IsoDate(c.Day.addDays(7)));
    f.Row(QStringLiteral("12. 납입일"), IsoDate(c.Day.addDays(it.Correction ? 21 : 7)));
    f.Row(QStringLiteral("13. 이사회결의일(결정일)"), IsoDate(c.Day));
    f.Text(QStringLiteral("【특정인에 대한 대상자별 사채발행내역】"));
    f.Row(QStringLiteral("발행 대상자명"), QStringLiteral("회사 또는 최대주주와의 관계"), QStringLiteral("발행권면(전자등록)총액(원)"));
    f.Row(Of(kCompanyWords, r) + QStringLiteral("메자닌투자조합"), QStringLiteral("-"), Won(total));
    return f.Render();
}

QString ReductionBody(const TSimNewsItem& it, TBodyCtx& c)
{
    TSimRng& r = c.R;
    const bool paid = it.Variant == 1;
    const int merge = paid ? 0 : 2 + r.Below(9);   // n shares into one
    const double ratio = paid ? 3 + 17 * r.Uniform() : (1.0 - 1.0 / merge) * 100.0;
    const qint64 before = c.Co.Shares;
    const qint64 cut = qint64(double(before) * ratio / 100.0);
    const int par = c.Co.Price < 2000 ? 100 : 500;
    const QDate meeting = WorkdayAfter(c.Day, 25);
    const QDate base = WorkdayAfter(meeting, 10);
    const QDate haltFrom = base.addDays(-1);
    const QDate listing = WorkdayAfter(base, 14);
    TForm f(c.Table);
    if (it.Correction)
        CorrectionHead(f, c, QStringLiteral("감자결정"), QStringLiteral("주주총회 일정 변경"),
                       {{QStringLiteral("9. 감자일정 - 주주총회 예정일"), IsoDate(meeting.addDays(-7)), IsoDate(meeting)}});
    f.Text(QStringLiteral("<b>감자 결정</b>"));
    f.Row(QStringLiteral("1. 감자주식의 종류와 수"), QStringLiteral("보통주식 (주)"), Won(cut));
    f.Row(QStringLiteral("2. 1주당 액면가액 (원)"), Won(par));
    f.Row(QStringLiteral("3. 감자전후 자본금"), QStringLiteral("감자전 (원)"), Won(before * par));
    f.Row(QString(), QStringLiteral("감자후 (원)"), Won((before - cut) * par));
    f.Row(QStringLiteral("4. 감자전후 발행주식수"), QStringLiteral("보통주식 (주)"),
          QStringLiteral("감자전  %1  감자후  %2").arg(Won(before), Won(before - cut)));
    f.Row(QStringLiteral("5. 감자비율"), QStringLiteral("보통주식 (%)"), Fixed(ratio, 2));
    f.Row(QStringLiteral("6. 감자기준일"), IsoDate(base));
    f.Row(QStringLiteral("7. 감자방법"),
          paid ? QStringLiteral("유상소각 (주당 %1원 지급, 주주평등 원칙에 따른 비례 소각)").arg(Won(OnGrid(c.Co.Price * 1.1)))
               : QStringLiteral("액면가 %1원의 보통주 %2주를 동일 액면가의 보통주 1주로 병합").arg(Won(par)).arg(merge));
    f.Row(QStringLiteral("8. 감자사유"), paid ? QStringLiteral("주주가치 제고 및 자본 효율화") : QStringLiteral("결손금 보전을 통한 재무구조 개선"));
    f.Row(QStringLiteral("9. 감자일정"), QStringLiteral("주주총회 예정일"), IsoDate(meeting));
    f.Row(QString(), QStringLiteral("명의개서정지기간"), QStringLiteral("-"));
    f.Row(QString(), QStringLiteral("구주권 제출기간"), QStringLiteral("시작일  %1  종료일  %2").arg(IsoDate(meeting.addDays(1)), IsoDate(base)));
    f.Row(QString(), QStringLiteral("매매거래 정지 예정기간"),
          QStringLiteral("%1 ~ %2").arg(IsoDate(haltFrom), IsoDate(listing.addDays(-1))));
    f.Row(QString(), QStringLiteral("신주권교부예정일"), QStringLiteral("-"));
    f.Row(QString(), QStringLiteral("신주 상장 예정일"), IsoDate(listing));
    f.Row(QStringLiteral("10. 채권자 이의제출기간"), QStringLiteral("시작일  %1").arg(IsoDate(meeting.addDays(1))));
    f.Row(QStringLiteral("11. 이사회결의일(결정일)"), IsoDate(c.Day));
    return f.Render();
}

QString WithdrawalBody(const TSimNewsItem& it, TBodyCtx& c)
{
    TSimRng& r = c.R;
    static const char* const kWhy[] = {
        "제3자배정 대상자의 납입일까지 납입 미이행",
        "대표주관회사와의 인수계약 해지",
        "금융감독원의 정정신고서 제출 요구에 따른 일정 지연",
        "최근 주가 하락 등 시장 여건 악화",
        "투자자의 투자 철회 요청",
        "자금조달 방법 재검토",
    };
    const QString form = it.Variant == 0 ? QStringLiteral("유상증자결정(제3자배정)")
                         : it.Variant == 1 ? QStringLiteral("유상증자결정")
                         : it.Variant == 2 ? QStringLiteral("전환사채권발행결정")
                                           : QStringLiteral("무상증자결정");
    const QDate first = c.Day.addDays(-20 - r.Below(80));
    TForm f(c.Table);
    f.Text(QStringLiteral("<b>철회신고</b>"));
    f.Row(QStringLiteral("1. 제출사유"), form + QStringLiteral(" 철회"));
    f.Row(QStringLiteral("2. 최초 이사회 결의일"), IsoDate(first));
    if (it.Variant <= 1) {
        const qint64 shares = std::max<qint64>(1000, c.Co.Shares / (5 + r.Below(10)));
        const int price = OnGrid(c.Co.Price * 0.9);
        f.Row(QStringLiteral("3. 신주의 종류와 수"), QStringLiteral("보통주식 (주)"), Won(shares));
        f.Row(QStringLiteral("4. 발행예정금액 (원)"), Won(shares * price));
        f.Row(QStringLiteral("5. 증자방식"), it.Variant == 0 ? QStringLiteral("제3자배정증자") : QStringLiteral("주주배정후 실권주 일반공모"));
    } else if (it.Variant == 2) {
        f.Row(QStringLiteral("3. 사채의 권면(전자등록)총액 (원)"), Won(std::max<qint64>(1000000000, qint64(c.Co.CapEok * 0.05) * 100000000)));
        f.Row(QStringLiteral("4. 자금조달의 목적"), QStringLiteral("운영자금"));
    } else {
        f.Row(QStringLiteral("3. 신주의 종류와 수"), QStringLiteral("보통주식 (주)"), Won(c.Co.Shares));
    }
    f.Row(QStringLiteral("6. 철회 결정(발생)일자"), IsoDate(c.Day));
    f.Row(QStringLiteral("7. 철회사유"), QString::fromUtf8(kWhy[r.Below(int(std::size(kWhy)))]));
    f.Text(QStringLiteral("8. 기타 투자판단에 참고할 사항"));
    if (r.Chance(0.5))
        f.Text(QStringLiteral("- 금번 철회는 회사의 사업 중단을 의미하는 것은 아니며, 향후 자금조달 계획이 확정되는 경우 재공시할 예정입니다."));
    f.Text(QStringLiteral("- 결정(발생)일자 %1").arg(IsoDate(c.Day)));
    return f.Render();
}

QString NoticeBody(const TSimNewsItem& it, TBodyCtx& c)
{
    TSimRng& r = c.R;
    TForm f(c.Table);
    switch (it.Variant) {
    case 0:
        f.Text(QStringLiteral("<b>조회공시 요구</b>"));
        f.Row(QStringLiteral("1. 조회공시 요구내용"), QStringLiteral("최근 현저한 시황변동(주가 급등)과 관련하여 공시할 중요한 정보가 있는지 여부"));
        f.Row(QStringLiteral("2. 답변공시기한"), QStringLiteral("%1 18:00까지").arg(IsoDate(WorkdayAfter(c.Day, 1))));
        f.Text(QStringLiteral("※ 조회공시 요구일 현재 매매거래정지 여부: 정지 안함"));
        break;
    case 2: {
        const qint64 n = std::max<qint64>(10000, c.Co.Shares / (50 + r.Below(150)));
        f.Text(QStringLiteral("<b>자기주식 취득 결정</b>"));
        f.Row(QStringLiteral("1. 취득예정주식(주)"), QStringLiteral("보통주식"), Won(n));
        f.Row(QStringLiteral("2. 취득예정금액(원)"), QStringLiteral("보통주식"), Won(n * c.Co.Price));
        f.Row(QStringLiteral("3. 취득예상기간"), QStringLiteral("시작일  %1").arg(IsoDate(WorkdayAfter(c.Day, 1))),
              QStringLiteral("종료일  %1").arg(IsoDate(c.Day.addMonths(3))));
        f.Row(QStringLiteral("4. 취득목적"), QStringLiteral("주주가치 제고"));
        f.Row(QStringLiteral("5. 취득방법"), QStringLiteral("유가증권시장을 통한 장내 직접 취득"));
        break;
    }
    case 3:
        f.Text(QStringLiteral("<b>현금ㆍ현물배당 결정</b>"));
        f.Row(QStringLiteral("1. 배당구분"), QStringLiteral("분기배당"));
        f.Row(QStringLiteral("2. 1주당 배당금(원)"), QStringLiteral("보통주식"), Won(std::max(10, OnGrid(c.Co.Price * 0.005))));
        f.Row(QStringLiteral("3. 시가배당율(%)"), QStringLiteral("보통주식"), Fixed(0.3 + r.Uniform(), 1));
        f.Row(QStringLiteral("4. 배당기준일"), IsoDate(c.Day.addDays(14)));
        break;
    default:
        f.Text(QStringLiteral("<b>%1</b>").arg(it.Title.mid(it.Title.indexOf(QLatin1Char(' ')) + 1)));
        f.Row(QStringLiteral("1. 회사명"), c.Co.Name);
        f.Row(QStringLiteral("2. 결정(발생)일자"), IsoDate(c.Day));
        f.Row(QStringLiteral("3. 주요내용"), QStringLiteral("첨부 서류 참조"));
        f.Text(QStringLiteral("※ 상세 내용은 전자공시시스템의 원문을 참조하시기 바랍니다."));
        break;
    }
    return f.Render();
}

// Lines no longer than about 70 code-page bytes, as some wires send them.
QString HardWrap(const QString& para, int bytes = 70)
{
    QStringList lines = TSimNews::BodyPieces(para, bytes);
    return lines.join(QStringLiteral("\r\n"));
}

QString ArticleBody(const TSimNewsItem& it, TBodyCtx& c)
{
    TSimRng& r = c.R;
    const QString outlet = Of(kOutlets, r);
    const QString reporter = PersonName(r);
    const QString theme = Of(kThemes, r);
    const QString name = c.Co.Name;
    const bool wrap = r.Chance(0.4);
    auto para = [&](const QString& t) { return QStringLiteral("<p>") + (wrap ? HardWrap(t) : t) + QStringLiteral("</p>"); };
    QStringList out;
    if (it.Kind == TSimNewsKind::Market) {
        out << para(QStringLiteral("[%1=%2 기자] %3").arg(outlet, reporter, it.Title));
        out << para(QStringLiteral("유가증권시장에서 외국인은 %1억원, 기관은 %2억원을 각각 순매수했고 개인은 %3억원을 순매도했다.")
                        .arg(FmtNum(qint64(100 + r.Below(5000))), FmtNum(qint64(100 + r.Below(4000))), FmtNum(qint64(200 + r.Below(8000)))));
        out << QStringLiteral("<table class=\"idx\"><tr><th>지수</th><th>종가</th><th>등락률</th></tr>");
        out << QStringLiteral("<tr><td>코스피</td><td>%1</td><td>%2%</td></tr>").arg(Fixed(2400 + r.Uniform() * 700, 2), Fixed(r.Uniform() * 3 - 1.5, 2));
        out << QStringLiteral("<tr><td>코스닥</td><td>%1</td><td>%2%</td></tr></table>").arg(Fixed(650 + r.Uniform() * 250, 2), Fixed(r.Uniform() * 3 - 1.5, 2));
    } else {
        out << para(QStringLiteral("[%1=%2 기자] %3(%4)가 %5 관련 기대감에 주목받고 있다.").arg(outlet, reporter, name, c.Co.Code, theme));
        out << QStringLiteral("<img src=\"https://img.news.example.com/%1/%2.jpg\" alt=\"%3\" width=\"560\">")
                   .arg(c.Day.toString(QStringLiteral("yyyy/MM/dd")))
                   .arg(it.Seed % 1000000)
                   .arg(name);
        out << para(QStringLiteral("%1 주가는 이날 오전 %2원 안팎에서 거래되고 있다. 시가총액은 약 %3억원 규모다.")
                        .arg(name, Won(c.Co.Price), FmtNum(qint64(c.Co.CapEok))));
        out << para(QStringLiteral("%1 연구원은 \"%2 부문의 수주가 늘면서 내년 영업이익이 크게 개선될 것\"이라며 \"목표주가를 %3원으로 제시한다\"고 말했다.")
                        .arg(Of(kBrokers, r) + QLatin1Char(' ') + PersonName(r), theme, Won(OnGrid(c.Co.Price * 1.3))));
        if (r.Chance(0.5)) {
            out << QStringLiteral("<table border=\"1\"><tr><th>구분</th><th>%1</th><th>%2</th></tr>").arg(c.Day.year() - 1).arg(c.Day.year());
            const double s = QuarterSalesEok(c.Co, r) * 4;
            out << QStringLiteral("<tr><td>매출액(억원)</td><td>%1</td><td>%2</td></tr>").arg(FmtNum(qint64(s * 0.9)), FmtNum(qint64(s)));
            out << QStringLiteral("<tr><td>영업이익(억원)</td><td>%1</td><td>%2</td></tr></table>").arg(FmtNum(qint64(s * 0.06)), FmtNum(qint64(s * 0.08)));
        }
        if (it.Stocks.size() > 1)
            out << para(QStringLiteral("같은 업종의 다른 종목들도 동반 강세를 보이고 있다."));
    }
    if (r.Chance(0.5))
        out << QStringLiteral("<script type=\"text/javascript\">var adSlot = \"news_%1\"; loadAd(adSlot);</script>").arg(it.Seed % 997);
    out << QStringLiteral("<a href=\"https://news.example.com/article/%1\" target=\"_blank\">관련기사 더 보기</a>").arg(it.Seed % 100000000);
    out << QStringLiteral("%1@news.example.com [ⓒ %2, 무단전재 및 재배포 금지]").arg(QStringLiteral("reporter%1").arg(it.Seed % 100), outlet);
    return out.join(QStringLiteral("\r\n"));
}

} // namespace

QString TSimNews::Body(const TSimNewsItem& it) const
{
    const QDate day = QDate::fromString(it.Date, QStringLiteral("yyyyMMdd"));
    const TCo* co = it.Stocks.isEmpty() ? nullptr : CoOf(it.Stocks.front());
    static const TCo kNone{QStringLiteral("000000"), QStringLiteral("시장"), 10000, 100000000, 10000, false};
    TSimRng r(SeedMix({it.Seed, 0x424F4459ull}));   // "BODY"
    const TCo priced = co ? OnDay(*co, day) : kNone;
    TBodyCtx c{priced, day.isValid() ? day : QDate(2000, 1, 3), r, r.Chance(0.35)};
    int qYear = 0, qNum = 0;
    QuarterOf(c.Day, &qYear, &qNum);
    switch (it.Kind) {
    case TSimNewsKind::Earnings: return EarningsBody(it, c, qYear, qNum);
    case TSimNewsKind::Contract: return ContractBody(it, c);
    case TSimNewsKind::Rights: return RightsBody(it, c);
    case TSimNewsKind::Bonus: return BonusBody(it, c);
    case TSimNewsKind::Bond: return BondBody(it, c);
    case TSimNewsKind::Reduction: return ReductionBody(it, c);
    case TSimNewsKind::Withdrawal: return WithdrawalBody(it, c);
    case TSimNewsKind::Notice: return NoticeBody(it, c);
    default: return ArticleBody(it, c);
    }
}

// ---- the log of the day -------------------------------------------------------

void TSimNewsLog::Begin(const QDate& day)
{
    QMutexLocker lock(&FLock);
    if (day == FDay)
        return;
    FDay = day;
    FItems.clear();
}

void TSimNewsLog::Add(const TSimNewsItem& item)
{
    QMutexLocker lock(&FLock);
    FItems.append(item);
}

QDate TSimNewsLog::DayOf() const
{
    QMutexLocker lock(&FLock);
    return FDay;
}

QVector<TSimNewsItem> TSimNewsLog::Snapshot(QDate* day) const
{
    QMutexLocker lock(&FLock);
    if (day)
        *day = FDay;
    return FItems;
}

// ---- t3102 ------------------------------------------------------------------

TSimReply SimNewsBodyAnswer(const TSimNews& news, const TResLayout& layout, const QString& key)
{
    const TResBlock* codes = OutBlock(layout, QStringLiteral("t3102OutBlock"));
    const TResBlock* body = OutBlock(layout, QStringLiteral("t3102OutBlock1"));
    const TResBlock* title = OutBlock(layout, QStringLiteral("t3102OutBlock2"));
    if (!codes || !body || !title)
        return LayoutLacks(QStringLiteral("t3102OutBlock, t3102OutBlock1, t3102OutBlock2"));
    TSimNewsItem it;
    if (!news.Find(key.trimmed(), &it))
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("해당 뉴스가 없습니다 (%1).").arg(key.trimmed()));
    TSimBlockFill fc(*codes), fb(*body), ft(*title);
    for (const QString& c : it.Stocks) {
        fc.NewRow();
        fc.Set("sJongcode", c);
    }
    for (const QString& piece : TSimNews::BodyPieces(news.Body(it))) {
        fb.NewRow();
        fb.Set("sBody", piece);
    }
    ft.NewRow();
    ft.Set("sTitle", it.Title);
    TSimReply r;
    r.HasData = true;
    r.Blocks = {fc.Take(), fb.Take(), ft.Take()};
    r.After.append(SimMsgOf(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
    return r;
}
