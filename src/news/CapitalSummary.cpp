#include "news/CapitalSummary.h"

#include "core/NumFmt.h"
#include "news/BoundedRx.h"
#include "news/NewsHtml.h"
#include "news/Summary.h"

#include <cmath>
#include <limits>

namespace {

constexpr double KNaN = std::numeric_limits<double>::quiet_NaN();

QString S(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

bool Has(double v)
{
    return !std::isnan(v);
}

bool Matches(const QString& text, const QString& p)
{
    return TBoundedRx::Of(p).Find(TRxText(text)).Ok();
}

QString Fmt(const char* picture, double v)
{
    return FormatFloat(QString::fromLatin1(picture), v);
}

QString Headline(const QString& text)
{
    return S("<b style=\"font-size:1.08em\">") + text + S("</b>");
}

// The white-space separated words of a line.
QStringList Words(const QString& l)
{
    QStringList out;
    for (const QString& w : l.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out << w.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
    return out;
}

void AddIf(QStringList& lines, const QString& line)
{
    if (!line.isEmpty())
        lines << line;
}

const QString KNewShares = S("신주의\\s*종류와\\s*수[^\\d\\-]{0,30}?([\\d,]{3,})");
const QString KSharesBefore = S("증자전\\s*발행주식총수[^\\d\\-]{0,30}?([\\d,]{3,})");
const QString KPerShare = S("1주당\\s*신주배정\\s*주식수[^\\d\\-]{0,25}?(\\d+(?:\\.\\d+)?)");
const QString KRecordDate = S("신주배정기준일\\s*(\\d{4}-\\d{2}-\\d{2})");
const QString KListingDate = S("상장\\s*예정일\\s*(\\d{4}-\\d{2}-\\d{2})");

// Group 1 of the first match of anchor + "[^\n]*?" + value: the first
// `value` after the first `anchor` that has one later on the same line.
// Worked as two searches, not one pattern: as one pattern every anchor of a
// long line reads the rest of that line again, so a line of a few hundred
// kilobytes full of anchors takes minutes.
QString RxTextLaterOnLine(const TRxText& t, const QString& anchor, const QString& value)
{
    const TBoundedRx& a = TBoundedRx::Of(anchor);
    const TBoundedRx& v = TBoundedRx::Of(value);
    const QByteArray& bytes = t.Utf8();
    TRxMatch hit;          // the first value at or after hitFrom
    qsizetype hitFrom = -1;
    qsizetype nlFrom = -1, nl = -1; // the first line end at or after nlFrom (-1: none)
    for (qsizetype pos = 0; pos <= t.Size();) {
        const TRxMatch m = a.Find(t, pos);
        if (!m.Ok())
            return {};
        if (hitFrom < 0 || m.End < hitFrom || (hit.Ok() && hit.Start < m.End)) {
            hit = v.Find(t, m.End);
            hitFrom = m.End;
        }
        if (hit.Ok()) {
            if (nlFrom < 0 || m.End < nlFrom || (nl >= 0 && nl < m.End)) {
                nl = bytes.indexOf('\n', m.End);
                nlFrom = m.End;
            }
            if (nl < 0 || nl >= hit.Start)
                return hit.Text(t, 1).trimmed();
        }
        if (m.Start >= t.Size())
            break;
        pos = t.Advance(m.Start, 1);
    }
    return {};
}

double RxNumLaterOnLine(const TRxText& t, const QString& anchor, const QString& value)
{
    double v;
    return TryNum(RxTextLaterOnLine(t, anchor, value), v) ? v : KNaN;
}

// ------------------------------------------------------------ withdrawal

void WithdrawalCard(const QString& title, const QString& plain, QStringList& lines)
{
    const TRxText pt(plain);
    const QString k = title + QLatin1Char(' ') + RxText(pt, S("제출사유\\s*([^\\n]{2,60})"));
    QString m = RxText(pt, S("발행방법\\s*:?\\s*([^\\n(]{2,30})"));
    if (m.isEmpty())
        m = RxText(pt, S("증자방식\\s*:?\\s*([^\\n]{2,40})"));
    QString kind;
    const QString mk = m + k;
    if (k.contains(S("전환사채")))
        kind = S("전환사채(CB) 발행");
    else if (k.contains(S("신주인수권부사채")))
        kind = S("신주인수권부사채(BW) 발행");
    else if (k.contains(S("교환사채")))
        kind = S("교환사채(EB) 발행");
    else if (k.contains(S("유무상")))
        kind = S("유무상증자");
    else if (k.contains(S("무상증자")))
        kind = S("무상증자");
    else if (k.contains(S("감자")))
        kind = S("감자");
    else if (mk.contains(S("제3자")))
        kind = S("제3자배정 유상증자");
    else if (mk.contains(S("주주배정")))
        kind = S("주주배정 유상증자");
    else if (mk.contains(S("일반공모")))
        kind = S("일반공모 유상증자");
    else
        kind = S("유상증자");

    const double shares = RxNum(pt, KNewShares);
    const double firstShares = RxNumLaterOnLine(pt, S("신주의\\s*종류와\\s*수"), S("최초\\s*([\\d,]{3,})"));
    double amount = RxNum(pt, S("발행예정금액\\s*:?\\s*([\\d,]{4,})"));
    if (!Has(amount))
        amount = RxNum(pt, S("총액\\s*\\(원\\)\\s*([\\d,]{4,})"));
    const double firstAmount = RxNumLaterOnLine(pt, S("발행예정금액"), S("최초\\s*([\\d,]{4,})"));
    QString purpose = RxText(pt, S("자금조달의\\s*목적\\s*:\\s*([^\\n]{2,30})"));
    if (purpose.isEmpty()) {
        double total = 0, running = 0;
        QString fund;
        ParseFundUse(plain, total, running, fund);
        purpose = fund;
        if (!Has(amount) && total > 0)
            amount = total * 1e8;
    } else {
        purpose = HtmlEscape(purpose);
    }
    QString board = RxText(pt, S("최초\\s*이사회\\s*결의일\\s*:?\\s*(\\d{4}\\s*[-.년]\\s*\\d{1,2}\\s*[-.월]\\s*\\d{1,2})"));
    board = TBoundedRx::Of(S("\\s*[년월.]\\s*")).ReplaceAll(TRxText(board), S("-"));
    const QString decided = RxText(pt, S("결정\\s*\\(발생\\)\\s*일자\\s*(\\d{4}-\\d{2}-\\d{2})"));
    const TRxMatch why = TBoundedRx::Of(S("철회\\s*사유")).Find(pt);
    const QString reasons = WithdrawReasons(why.Ok() ? pt.Mid(why.Start) : plain);

    if (!Has(shares) && !Has(amount) && reasons.isEmpty())
        return;
    lines << Headline(S("⛔ 철회 공시 — <span style=\"color:#c00\">") + kind + S(" 취소</span>"));
    QStringList pieces;
    if (Has(shares))
        pieces << S("신주 <b>") + FmtShares(shares) + S("</b>")
                      + (Has(firstShares) ? S(" (최초 ") + FmtShares(firstShares) + S(")") : QString());
    if (Has(amount))
        pieces << S("규모 <b>") + FmtAmt(amount / 1e8) + S("</b>")
                      + (Has(firstAmount) ? S(" (최초 ") + FmtAmt(firstAmount / 1e8) + S(")") : QString());
    if (!pieces.isEmpty())
        lines << S("취소된 내용: ") + pieces.join(S(" · "));
    if (!purpose.isEmpty())
        lines << S("자금 용도였던 것: ") + purpose;
    QStringList dates;
    if (!board.isEmpty())
        dates << S("최초 이사회 ") + board;
    if (!decided.isEmpty())
        dates << S("철회 결정 ") + decided;
    AddIf(lines, dates.join(S(" · ")));
    if (!reasons.isEmpty())
        lines << S("철회 이유: <b>") + reasons + S("</b>");

    int level = 0;
    QString judge;
    if (kind == S("주주배정 유상증자") || kind == S("일반공모 유상증자") || kind == S("유상증자")) {
        level = 1;
        judge = S("희석 · 신주 물량 부담이 사라짐 — 보통 단기 호재로 반응 · 다만 회사 자금 조달이 막힌 것이라 재무 상태 같이 볼 것");
        if (reasons.contains(S("금감원")))
            judge += S(" · 금감원 심사를 못 넘은 것이라 다른 방식 재추진 여부 확인");
    } else if (kind == S("제3자배정 유상증자")) {
        level = -1;
        judge = S("외부 투자 유치가 무산 — 보통 악재로 반응");
        if (reasons.contains(S("납입")))
            judge += S(" · 투자자가 돈을 안 넣은 것이라 신뢰 하락");
    } else if (kind == S("무상증자") || kind == S("유무상증자")) {
        level = -1;
        judge = S("무상증자 기대가 사라짐 — 보통 악재로 반응");
    } else {
        judge = kind.contains(S("사채")) ? S("나중에 주식으로 바뀔 잠재 물량 부담은 줄지만 자금 조달은 무산")
                                         : S("취소된 내용이 무엇이었는지에 따라 반응이 다름");
    }
    lines << VerdictLine(level, judge) << RuleFootnote();
}

// ------------------------------------------------------------ rights issue

void RightsCard(const QString& title, const QString& plain, bool correction, QStringList& lines)
{
    bool found = false;
    const TRxText s = FindSection(TRxText(plain), S("신주의\\s*종류와\\s*수"), S("액면가액"), S("증자전"), found);
    if (!found)
        return;
    const QString sec = s.Str();
    const double n = RxNum(s, KNewShares);
    const double before = RxNum(s, KSharesBefore);
    double total = 0, running = 0;
    QString fund;
    const qsizetype methodAt = sec.indexOf(S("증자방식"));
    ParseFundUse(methodAt >= 0 ? sec.left(methodAt) : sec.left(1500), total, running, fund);
    QString m = RxText(s, S("증자방식\\s*([^\\n]{2,40})"));
    if (m.isEmpty())
        m = title;

    enum { Undetermined, ThirdParty, Holders, Public } type = Undetermined;
    for (const QString& t : {m, title}) {
        if (t.contains(S("제3자")))
            type = ThirdParty;
        else if (t.contains(S("주주배정")))
            type = Holders;
        else if (t.contains(S("일반공모")))
            type = Public;
        if (type != Undetermined)
            break;
    }
    QString label;
    switch (type) {
    case Holders: label = m.contains(S("실권주")) ? S("주주배정 후 실권주 일반공모") : S("주주배정"); break;
    case Public: label = S("일반공모"); break;
    case ThirdParty: label = S("제3자배정"); break;
    default: label = S("방식 확인 필요"); break;
    }
    double price = RxNum(s, S("확정발행가[^\\d]{0,25}?([\\d,]{2,})(?![\\d,-])"));
    if (!Has(price))
        price = RxNum(s, S("예정발행가[^\\d]{0,25}?([\\d,]{2,})(?![\\d,-])"));
    if (total == 0 && Has(n) && Has(price))
        total = n * price / 1e8;
    if (!Has(n) && total == 0)
        return;
    const double dilution = Has(n) && Has(before) && before > 0 ? n / before * 100 : KNaN;
    double discount = RxNum(s, S("할인율\\s*또는\\s*할증율\\s*\\(%\\)\\s*(-?[\\d\\.]+)"));
    if (!Has(discount))
        discount = RxNum(s, S("할인율\\s*[:은]?\\s*(\\d+(?:\\.\\d+)?)\\s*%"));
    const QString record = RxText(s, KRecordDate);
    const QString subscribe = RxText(s, S("구주주\\s*시작일\\s*(\\d{4}-\\d{2}-\\d{2})"));
    const QString pay = RxText(s, S("납입일\\s*(\\d{4}-\\d{2}-\\d{2})"));
    const QString listing = RxText(s, KListingDate);
    const double perShare = RxNum(s, KPerShare);
    const QString lockYears = RxText(s, S("(\\d)\\s*년\\s*간?\\s*(?:동안\\s*)?(?:의무\\s*)?(?:보호예수|전매제한|예탁)"));
    bool insider = false;
    QString allottees;
    if (type == ThirdParty)
        ParseAllottees(sec, insider, allottees);
    const bool mostlyRunning = total > 0 && running >= 0.7 * total;

    lines << Headline(S("💰 유상증자 요약 — ") + label) + (correction ? CorrectionTag() : QString())
                 + (title.contains(S("유무상")) ? S(" <span style=\"color:#888\">(무상증자도 같이 — 원문 아래쪽)</span>") : QString());
    QStringList pieces;
    if (Has(n))
        pieces << S("신주 <b>") + FmtShares(n) + S("</b>");
    if (Has(price))
        pieces << S("발행가 <b>") + Fmt("#,##0", price) + S("원</b>");
    if (total > 0)
        pieces << S("총 <b>") + FmtAmt(total) + S("</b>");
    AddIf(lines, pieces.join(S(" · ")));
    if (Has(dilution))
        lines << S("기존 주식 수의 <b>") + Fmt("0.0", dilution) + S("%</b> 만큼 늘어남 (증자 전 ") + FmtShares(before) + S(")");
    if (!fund.isEmpty())
        lines << S("자금 용도: ") + fund + (mostlyRunning ? S(" — <b>대부분 운영 · 빚 갚기</b>") : QString());
    if (!allottees.isEmpty())
        lines << S("대상자: ") + allottees;
    QStringList terms;
    if (Has(discount))
        terms << S("할인(할증)율 ") + Fmt("0.#", discount) + S("%");
    if (!lockYears.isEmpty())
        terms << S("보호예수 ") + lockYears + S("년");
    AddIf(lines, terms.join(S(" · ")));
    QStringList when;
    if (!record.isEmpty())
        when << S("배정기준일 ") + record;
    if (type == Holders && Has(perShare) && perShare > 0)
        when << S("1주당 ") + Fmt("0.####", perShare) + S("주");
    if (!subscribe.isEmpty())
        when << S("청약 ") + subscribe;
    if (!pay.isEmpty())
        when << S("납입 ") + pay;
    if (!listing.isEmpty())
        when << S("상장 예정 <b>") + listing + S("</b>");
    if (!when.isEmpty())
        lines << S("일정: ") + when.join(S(" · "));
    if (correction) {
        const QString why = RxText(plain, S("정정\\s*사유\\s*([^\\n]{2,80})"));
        if (!why.isEmpty())
            lines << S("정정 사유: ") + HtmlEscape(why);
    }

    int level;
    QString judge;
    if (type == ThirdParty) {
        level = insider ? 1 : 0;
        judge = insider ? S("최대주주측이 직접 돈을 넣는 증자 — 책임경영 신호로 보는 경우가 많음")
                        : S("누가 · 얼마에 들어오는지가 핵심 — 전략적 투자자 · 할증이면 호재, 할인 크고 단기 투자조합이면 경계");
        if (Has(discount) && discount >= 10)
            judge += S(" · 할인율 ") + Fmt("0.#", discount) + S("%로 큰 편");
        if (Has(dilution) && dilution >= 20)
            judge += S(" · 주식 수가 ") + Fmt("0", dilution) + S("% 늘어 희석 큼");
        if (!listing.isEmpty())
            judge += S(" · 보호예수 끝나는 때 물량 주의");
    } else {
        level = -1;
        judge = S("주주 돈으로 자금을 모으는 증자 — 희석 · 신주 물량 부담으로 보통 악재");
        if (Has(dilution) && dilution >= 30)
            judge += S(" · 주식 수가 ") + Fmt("0", dilution) + S("% 늘어 희석 큼");
        if (mostlyRunning)
            judge += S(" · 성장 투자보다 운영 · 빚 갚기 위주");
        if (type == Holders)
            judge += S(" · 기준일 전날 권리락, 신주 상장일 무렵 물량 주의");
    }
    lines << VerdictLine(level, judge) << RuleFootnote();
}

// ------------------------------------------------------------ bonds

void BondCard(const QString& title, const QString& plain, bool correction, QStringList& lines)
{
    const bool bw = !title.contains(S("전환사채")) && title.contains(S("신주인수권부사채"));
    const bool eb = !title.contains(S("전환사채")) && !bw;
    const QString kind = title.contains(S("전환사채")) ? S("전환사채(CB)") : bw ? S("신주인수권부사채(BW)") : S("교환사채(EB)");
    bool found = false;
    const TRxText s = FindSection(TRxText(plain), S("사채의\\s*종류"), S("총액"), QString(), found);
    const double total = RxNum(s, S("총액\\s*\\(원\\)\\s*([\\d,]{4,})"));
    if (!Has(total))
        return;
    QString placement = RxText(s, S("사채발행방법\\s*(사모|공모)"));
    const QString head = s.Str().left(300);
    if (placement.isEmpty())
        placement = head.contains(S("사모")) ? S("사모") : head.contains(S("공모")) ? S("공모") : QString();
    const double coupon = RxNum(s, S("표면이자율\\s*\\(%\\)\\s*(-?[\\d\\.]+)"));
    const double ytm = RxNum(s, S("만기이자율\\s*\\(%\\)\\s*(-?[\\d\\.]+)"));
    const QString maturity = RxText(s, S("사채만기일\\s*(\\d{4}-\\d{2}-\\d{2})"));
    const double conv = RxNum(s, S("(?:전환|행사|교환)가액\\s*\\(원(?:/주)?\\)\\s*([\\d,]{2,})"));
    const double ratio = RxNum(s, S("주식총수\\s*대비\\s*비율\\s*\\(%\\)\\s*([\\d\\.]+)"));
    const QString claimStart = RxText(s, S("(?:청구|행사)기간\\s*시작일\\s*(\\d{4}-\\d{2}-\\d{2})"));
    const QString claimEnd = RxText(s, S("(?:청구|행사)기간\\s*시작일\\s*\\d{4}-\\d{2}-\\d{2}\\s*종료일\\s*(\\d{4}-\\d{2}-\\d{2})"));
    const double floor = RxNum(s, S("최저\\s*조정가액\\s*\\(원\\)\\s*([\\d,]{2,})"));
    const TRxMatch rate = TBoundedRx::Of(S("사채의\\s*이율")).Find(s);
    double fundTotal = 0, running = 0;
    QString fund;
    ParseFundUse(rate.Ok() ? s.Mid(0, rate.Start) : s.Str().left(1500), fundTotal, running, fund);

    lines << Headline(S("📄 ") + kind + S(" 발행 요약") + (placement.isEmpty() ? QString() : S(" — ") + placement))
                 + (correction ? CorrectionTag() : QString());
    QString l = S("총액 <b>") + FmtAmt(total / 1e8) + S("</b>");
    if (Has(conv))
        l += S(" · ") + (bw ? S("행사가") : eb ? S("교환가") : S("전환가")) + S(" <b>") + Fmt("#,##0", conv) + S("원</b>");
    if (Has(ratio))
        l += S(" · 주식 총수의 <b>") + Fmt("0.0#", ratio) + S("%</b>");
    lines << l;
    QStringList interest;
    if (Has(coupon))
        interest << S("표면 ") + Fmt("0.0#", coupon) + S("%");
    if (Has(ytm))
        interest << S("만기 ") + Fmt("0.0#", ytm) + S("%");
    if (!maturity.isEmpty())
        interest << S("만기일 ") + maturity;
    if (!interest.isEmpty())
        lines << S("이자: ") + interest.join(S(" · "));
    if (!fund.isEmpty())
        lines << S("자금 용도: ") + fund;
    QStringList claim;
    if (!claimStart.isEmpty())
        claim << S("청구 시작 <b>") + claimStart + S("</b>") + (claimEnd.isEmpty() ? QString() : S(" ~ ") + claimEnd);
    if (Has(floor))
        claim << S("최저 조정가 ") + Fmt("#,##0", floor) + S("원")
                     + (Has(conv) && conv > 0 ? S(" (") + Fmt("0", floor / conv * 100) + S("%)") : QString());
    AddIf(lines, claim.join(S(" · ")));

    QString judge = eb ? S("회사가 가진 주식(자사주 등)으로 바꿔 주는 사채 — 그 주식이 시장에 풀릴 수 있음")
                       : S("나중에 주식으로 바뀌는 잠재 물량 — 보통 희석 부담");
    if (Has(ratio) && ratio >= 10)
        judge += S(" · 주식 총수의 ") + Fmt("0", ratio) + S("%로 큰 규모");
    if (Has(floor) && Has(conv) && conv > 0 && floor / conv <= 0.71)
        judge += S(" · 주가 내리면 전환가도 내려가(리픽싱) 물량이 더 늘 수 있음");
    if (!claimStart.isEmpty())
        judge += S(" · 청구 시작일(") + claimStart + S(") 무렵 매물 주의");
    lines << VerdictLine(Has(ratio) && ratio >= 5 ? -1 : 0, judge) << RuleFootnote();
}

// ------------------------------------------------------------ capital reduction

void ReductionCard(const QString& title, const QString& plain, bool correction, QStringList& lines)
{
    const TRxText pt(plain);
    const double ratio = RxNum(pt, S("감자비율[^\\d\\-]{0,25}?(\\d+(?:\\.\\d+)?)"));
    if (!Has(ratio))
        return;
    const QString method = RxText(pt, S("감자방법\\s*([^\\n]{2,50})"));
    const QString reason = RxText(pt, S("감자사유\\s*([^\\n]{2,60})"));
    const QString base = RxText(pt, S("감자기준일\\s*(\\d{4}-\\d{2}-\\d{2})"));
    const QString halt = RxText(pt, S("매매거래\\s*정지\\s*예정기간[^\\d]{0,30}?(\\d{4}-\\d{2}-\\d{2})"));
    const QString listing = RxText(pt, KListingDate);
    const bool paid = title.contains(S("유상")) || method.contains(S("유상"));

    lines << Headline(S("✂️ ") + (paid ? S("유상") : S("무상")) + S("감자 요약")) + (correction ? CorrectionTag() : QString());
    QString l = S("감자비율 <b>") + Fmt("0.##", ratio) + S("%</b>");
    if (ratio > 0 && ratio < 100)
        l += S(" — 약 <b>") + Fmt("0.#", 100 / (100 - ratio)) + S("주 → 1주</b>");
    lines << l;
    if (!method.isEmpty())
        lines << S("방법: ") + HtmlEscape(method);
    if (!reason.isEmpty())
        lines << S("사유: ") + HtmlEscape(reason);
    QStringList when;
    if (!base.isEmpty())
        when << S("감자기준일 ") + base;
    if (!halt.isEmpty())
        when << S("<b>거래정지 ") + halt + S("~</b>");
    if (!listing.isEmpty())
        when << S("신주 상장 ") + listing;
    if (!when.isEmpty())
        lines << S("일정: ") + when.join(S(" · "));
    if (paid)
        lines << VerdictLine(0, S("회사가 주주에게 돈을 돌려주는 감자 — 주주환원 성격 (지급 가격 · 대상 확인)"));
    else
        lines << VerdictLine(-1, S("쌓인 손실을 메우려는 감자 — 주주 손실 확정 · 거래정지, 뒤에 유상증자가 붙는 경우가 많아 보통 악재"));
    lines << RuleFootnote();
}

// ------------------------------------------------------------ bonus issue

void BonusCard(const QString& plain, bool correction, QStringList& lines)
{
    bool found = false;
    const TRxText s = FindSection(TRxText(plain), S("신주의\\s*종류와\\s*수"), S("액면가액"), S("증자전"), found);
    if (!found)
        return;
    const double n = RxNum(s, KNewShares);
    const double before = RxNum(s, KSharesBefore);
    const double q = RxNum(s, KPerShare);
    const QString record = RxText(s, KRecordDate);
    const QString listing = RxText(s, KListingDate);
    if (!Has(n) && !Has(q))
        return;
    lines << Headline(S("🎁 무상증자 요약")) + (correction ? CorrectionTag() : QString());
    QStringList pieces;
    if (Has(q))
        pieces << S("1주당 <b>") + Fmt("0.####", q) + S("주</b> 공짜로");
    if (Has(n))
        pieces << S("신주 ") + FmtShares(n)
                      + (Has(before) && before > 0 ? S(" (주식 수 <b>+") + Fmt("0.0", n / before * 100) + S("%</b>)") : QString());
    AddIf(lines, pieces.join(S(" · ")));
    QStringList when;
    if (!record.isEmpty())
        when << S("배정기준일 <b>") + record + S("</b> (전날이 권리락)");
    if (!listing.isEmpty())
        when << S("신주 상장 ") + listing;
    if (!when.isEmpty())
        lines << S("일정: ") + when.join(S(" · "));
    lines << VerdictLine(1, S("회사 가치는 그대로, 주식 수만 늘어남 — 보통 단기 호재로 반응")
                                + (Has(q) && q >= 1 ? S(" · 1주당 1주 이상이라 큰 비율") : QString())
                                + S(" · 권리락 뒤 · 신주 상장일 무렵엔 차익 매물 주의"))
          << RuleFootnote();
}

} // namespace

void ParseFundUse(const QString& text, double& total, double& running, QString& line)
{
    total = 0;
    running = 0;
    line.clear();
    const TRxText t(text);
    const TBoundedRx& rx =
        TBoundedRx::Of(S("(시설|영업양수|운영|채무상환|타법인\\s*증권\\s*취득|기타)\\s*자금\\s*\\(원\\)\\s*([\\d,]{4,})"));
    QStringList parts;
    for (qsizetype pos = 0; pos < t.Size();) {
        const TRxMatch m = rx.Find(t, pos);
        if (!m.Ok())
            break;
        pos = m.End;
        double v;
        if (!TryNum(m.Text(t, 2), v) || v <= 0)
            continue;
        QString purpose = m.Text(t, 1).simplified();
        if (purpose == S("타법인 증권 취득"))
            purpose = S("타법인 지분");
        parts << purpose + QLatin1Char(' ') + FmtAmt(v / 1e8);
        total += v / 1e8;
        if (purpose == S("운영") || purpose == S("채무상환"))
            running += v / 1e8;
    }
    line = parts.join(S(" · "));
}

void ParseAllottees(const QString& text, bool& insider, QString& line)
{
    insider = false;
    line.clear();
    const TRxText t(text);
    const TRxMatch at = TBoundedRx::Of(S("제3자\\s*배정\\s*대상자별")).Find(t);
    if (!at.Ok())
        return;
    const QString part = t.Mid(at.Start).left(3000);
    const TBoundedRx& total = TBoundedRx::Of(S("^(합\\s*계|소\\s*계|총\\s*계|계)(\\s|$)"));
    const TBoundedRx& date = TBoundedRx::Of(S("\\d{4}[-.]\\d{1,2}[-.]\\d{1,2}"));
    const TBoundedRx& number = TBoundedRx::Of(S("\\d[\\d,]{2,}"));
    const TBoundedRx& company = TBoundedRx::Of(S("^(주식회사|\\(주\\)|㈜|유한회사|유한책임회사)$"));
    const TBoundedRx& inner = TBoundedRx::Of(S("최대주주|대표이사|특수관계인|계열회사"));
    bool header = false;
    QStringList entries;
    for (const QString& raw : part.split(QLatin1Char('\n'))) {
        const QString l = raw.trimmed();
        if (l.isEmpty())
            continue;
        if (!header) {
            header = l.contains(S("배정주식수"));
            continue;
        }
        if (l.contains(S("【")) || l.startsWith(S("※")))
            break;
        const TRxText lt(l);
        if (total.Find(lt).Ok())
            continue;
        const TRxText undated(date.ReplaceAll(lt, S(" ")));
        double count = -1;
        for (qsizetype pos = 0; pos < undated.Size();) {
            const TRxMatch m = number.Find(undated, pos);
            if (!m.Ok())
                break;
            pos = m.End;
            double v;
            if (TryNum(m.Text(undated, 0), v) && v > count)
                count = v;
        }
        if (count < 100)
            continue;
        const QStringList words = Words(l);
        QString name = words.value(0);
        if (words.size() > 1 && company.Find(TRxText(name)).Ok())
            name += QLatin1Char(' ') + words[1];
        QString mark;
        if (inner.Find(lt).Ok()) {
            mark = S(" <b>(최대주주측)</b>");
            insider = true;
        }
        entries << HtmlEscape(name) + QLatin1Char(' ') + FmtShares(count) + mark;
        if (entries.size() == 4) {
            entries.last() += S(" 등");
            break;
        }
    }
    line = entries.join(S(" · "));
}

QString WithdrawReasons(const QString& text)
{
    struct TReason {
        const char* Pattern;
        const char* Label;
    };
    static const TReason reasons[] = {
        {"(주관사|인수인|모집주선).{0,60}(해제|해지)", "주관사 계약 해제"},
        {"금융감독원|금감원|정정신고서\\s*제출\\s*요구|정정\\s*요구", "금감원 정정 요구"},
        {"장기화|일정.{0,10}지연", "일정 장기화"},
        {"납입.{0,15}(미이행|되지\\s*않|하지\\s*않|지연|불이행)|미납", "납입 미이행"},
        {"청약.{0,15}미달", "청약 미달"},
        {"주가.{0,10}(하락|급락)|시장\\s*(여건|상황).{0,15}(악화|변동|불확실)", "주가 하락 · 시장 여건"},
        {"투자자.{0,20}(요청|의사|사정|철회)", "투자자 사정"},
        {"재검토|조달\\s*방법.{0,20}변경", "조달 방법 재검토"},
        // The usual wording ends "…의미하는 것은 아닙니다": 닙 is a syllable of its own.
        {"중단을\\s*의미하는\\s*것은\\s*아(?:니|닙)", "회사 측: 사업 중단은 아님"},
    };
    const TRxText t(text);
    QStringList labels;
    for (const TReason& r : reasons)
        if (TBoundedRx::Of(S(r.Pattern)).Find(t).Ok())
            labels << S(r.Label);
    return labels.join(S(" · "));
}

void CapitalSummary(const QString& title, const QString& plain, QStringList& lines)
{
    const bool correction = title.contains(S("정정"));
    if (title.contains(S("철회"))) {
        if (Matches(title + QLatin1Char(' ') + plain.left(400), S("증자|사채|감자"))) {
            WithdrawalCard(title, plain, lines);
            return;
        }
    }
    if (title.contains(S("유상증자")) || title.contains(S("유무상"))) {
        RightsCard(title, plain, correction, lines);
        return;
    }
    if (!title.contains(S("무상증자"))) {
        if (Matches(title, S("전환사채|신주인수권부사채|교환사채")) && title.contains(S("발행")) && title.contains(S("결정")))
            BondCard(title, plain, correction, lines);
        else if (title.contains(S("감자")) && title.contains(S("결정")))
            ReductionCard(title, plain, correction, lines);
        return;
    }
    BonusCard(plain, correction, lines);
}
