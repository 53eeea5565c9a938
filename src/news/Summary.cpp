#include "news/Summary.h"

#include "core/NumFmt.h"
#include "news/BoundedRx.h"
#include "news/CapitalSummary.h"
#include "news/NewsHtml.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double KNaN = std::numeric_limits<double>::quiet_NaN();

QString S(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

bool IsAsciiSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f' || u == u'\v';
}

// Split at runs of white space (the \s of the patterns: ASCII only).
QStringList Tokens(const QString& s)
{
    QStringList out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        while (i < n && IsAsciiSpace(s[i]))
            ++i;
        const qsizetype b = i;
        while (i < n && !IsAsciiSpace(s[i]))
            ++i;
        if (i > b)
            out << s.mid(b, i - b);
    }
    return out;
}

// A cell value of a correction row: a number (with "," "." "%"), a date or "-".
bool IsValueToken(const QString& t)
{
    if (t == QLatin1String("-"))
        return true;
    int digits = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isDigit() && c.unicode() < 0x80)
            ++digits;
        else if (c == u'-' || c == u'.' || c == u'+' || c == u',' || (c == u'%' && i == t.size() - 1))
            ;
        else
            return false;
    }
    return digits > 0;
}

// The widest pair tried, in cells on each side: the exchange's rows hold a
// few. Each width tried costs a pass over the row's tail, so trying every
// width of a line of a hundred thousand words would take minutes.
constexpr qsizetype KMaxPairCells = 32;

// The row with its tail halved when the tail is a before/after pair; empty
// when it is not.
QString AfterValuesOf(const QStringList& t)
{
    const qsizetype n = t.size();
    for (qsizetype k = std::min((n - 1) / 2, KMaxPairCells); k >= 1; --k) {
        bool ok = true, value = false;
        for (qsizetype x = 0; x < k && ok; ++x) {
            const QString& a = t[n - 2 * k + x];
            const QString& b = t[n - k + x];
            const bool va = IsValueToken(a), vb = IsValueToken(b);
            if (va && vb)
                value = true;
            else if (va || vb || a != b)
                ok = false;
        }
        if (ok && value)
            return (t.mid(0, n - 2 * k) + t.mid(n - k)).join(QLatin1Char(' '));
    }
    return QString();
}

double Eok(const QString& s, double mult)
{
    double v;
    return TryNum(s, v) ? v * mult : KNaN;
}

double UnitMultiplier(const QString& unit)
{
    if (unit == S("백만원"))
        return 0.01;
    if (unit == S("천원"))
        return 0.00001;
    if (unit == S("원"))
        return 0.00000001;
    return 1;
}

QString Unspaced(QString s)
{
    s.remove(QLatin1Char(' '));
    s.remove(QLatin1Char('\t'));
    return s;
}

} // namespace

bool TryNum(const QString& s, double& v)
{
    QString t = s.trimmed();
    t.remove(QLatin1Char(','));
    t.remove(QLatin1Char('%'));
    if (t.isEmpty())
        return false;
    qsizetype i = 0;
    if (t[0] == u'-' || t[0] == u'+')
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.' && !point)
            point = true;
        else
            return false;
    }
    if (!digits)
        return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    v = d;
    return true;
}

QString RxText(const TRxText& text, const QString& p)
{
    const TRxMatch m = TBoundedRx::Of(p).Find(text);
    return m.Text(text, 1).trimmed();
}

QString RxText(const QString& text, const QString& p)
{
    return RxText(TRxText(text), p);
}

double RxNum(const TRxText& text, const QString& p)
{
    double v;
    return TryNum(RxText(text, p), v) ? v : KNaN;
}

double RxNum(const QString& text, const QString& p)
{
    return RxNum(TRxText(text), p);
}

TRxText FindSection(const TRxText& text, const QString& anchor, const QString& need1, const QString& need2,
                    bool& found)
{
    found = false;
    const TBoundedRx& a = TBoundedRx::Of(anchor);
    const TBoundedRx& n1 = TBoundedRx::Of(need1);
    qsizetype pos = 0;
    while (pos <= text.Size()) {
        const TRxMatch m = a.Find(text, pos);
        if (!m.Ok())
            break;
        const TRxText window = text.MidText(m.Start, text.Advance(m.Start, 400));
        if (n1.Find(window).Ok() && (need2.isEmpty() || TBoundedRx::Of(need2).Find(window).Ok())) {
            found = true;
            return text.MidText(m.Start);
        }
        pos = m.End > m.Start ? m.End : text.Advance(m.Start, 1);
        if (m.End == m.Start && m.Start >= text.Size())
            break;
    }
    return text;
}

QString FindSection(const QString& text, const QString& anchor, const QString& need1, const QString& need2,
                    bool& found)
{
    return FindSection(TRxText(text), anchor, need1, need2, found).Str();
}

QString FmtEok(double x)
{
    // Decided on the figure as printed: 9,999.5억 prints as 1.00조, not 10,000억.
    if (std::fabs(std::round(x)) >= 10000)
        return FormatFloat(QStringLiteral("#,##0.00"), x / 10000) + S("조");
    return FormatFloat(QStringLiteral("#,##0"), x) + S("억");
}

QString FmtAmt(double x)
{
    if (std::fabs(x) < 1)
        return FormatFloat(QStringLiteral("0.0"), x) + S("억");
    return FmtEok(x);
}

QString FmtShares(double x)
{
    if (x >= 10000)
        return FormatFloat(QStringLiteral("#,##0.#"), x / 10000) + S("만주");
    return FormatFloat(QStringLiteral("#,##0"), x) + S("주");
}

QString FmtPct(const QString& s)
{
    double v;
    if (TryNum(s, v))
        return FormatFloat(QStringLiteral("+0.0;-0.0;0.0"), v) + QLatin1Char('%');
    if (s.contains(S("흑자")))
        return S("흑자전환");
    if (s.contains(S("적자")))
        return S("적자");
    return S("—");
}

QString VerdictLine(int level, const QString& text)
{
    const char* colour = level < 0 ? "#1565c0" : level > 0 ? "#d0021b" : "#b0005a";
    const char* label = level < 0 ? "악재 성격" : level > 0 ? "호재 성격" : "판단 보류";
    return S("<span style=\"color:") + QLatin1String(colour) + S("\"><b>한 줄 판단 [") + S(label) + S("]:</b> ")
        + text + S("</span>");
}

QString PlainJudgement(const QString& text)
{
    return S("<span style=\"color:#b0005a\"><b>한 줄 판단:</b> ") + text + S("</span>");
}

QString RuleFootnote()
{
    return S("<span style=\"color:#888;font-size:0.9em\">규칙으로 뽑은 요약 — 정확한 숫자 · 조건은 아래 원문 확인</span>");
}

QString CorrectionTag()
{
    return S(" <span style=\"color:#888\">(정정 공시)</span>");
}

QString CorrectedText(const QString& plain)
{
    const TRxText t(plain);
    const TRxMatch head = TBoundedRx::Of(S("정정\\s*전[^\\n]{0,40}?정정\\s*후")).Find(t);
    if (!head.Ok())
        return plain;
    const qsizetype headEnd = plain.indexOf(QLatin1Char('\n'), t.Mid(0, head.End).size());
    if (headEnd < 0)
        return plain;
    QStringList lines = plain.mid(headEnd + 1).split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const QString after = AfterValuesOf(Tokens(line));
        if (after.isEmpty())
            break;
        line = after;
    }
    return plain.left(headEnd + 1) + lines.join(QLatin1Char('\n'));
}

QStringList EarningsSummary(const QString& title, const QString& plain)
{
    const TRxText pt(plain);
    // "단위 : 백만 원" is as common as "단위: 백만원".
    QString unit = Unspaced(RxText(pt, S("단위\\s*:\\s*(억\\s*원|백만\\s*원|천\\s*원|원)")));
    if (unit.isEmpty())
        unit = S("억원");
    const double mult = UnitMultiplier(unit);
    const QString quarter = RxText(pt, QStringLiteral("\\((\\d{2}\\.\\dQ)\\)"));

    QString flat = plain;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QStringList tok = Tokens(flat);
    const qsizetype count = tok.size();

    struct TRow {
        bool Found = false;
        QString Cur, Prev, QoQ, PrevYear, YoY, Cum, CumChg;
        bool HasCum = false;
    };
    auto rowOf = [&](const QString& name) {
        TRow r;
        for (qsizetype i = 0; i <= count - 9; ++i) {
            if (tok[i] != name || tok[i + 1] != S("당해실적"))
                continue;
            r.Found = true;
            r.Cur = tok[i + 2];
            r.Prev = tok[i + 3];
            r.QoQ = tok[i + 5].contains(S("전환")) ? tok[i + 5] : tok[i + 4];
            r.PrevYear = tok[i + 6];
            r.YoY = tok[i + 8].contains(S("전환")) ? tok[i + 8] : tok[i + 7];
            for (qsizetype j = i + 2; j <= qMin(i + 14, count - 8); ++j) {
                if (tok[j] != S("누계실적"))
                    continue;
                r.HasCum = true;
                r.Cum = tok[j + 1];
                // A turnaround sits in the next cell, as in the quarter rows.
                r.CumChg = tok[j + 7].contains(S("전환")) ? tok[j + 7] : tok[j + 6];
                break;
            }
            break;
        }
        return r;
    };
    const TRow sales = rowOf(S("매출액")), op = rowOf(S("영업이익")), net = rowOf(S("당기순이익"));
    QStringList lines;
    if (!sales.Found && !op.Found)
        return lines;

    QString basis;
    if (title.contains(S("연결")))
        basis = S(" (연결)");
    else if (title.contains(S("별도")))
        basis = S(" (별도)");
    lines << S("<b style=\"font-size:1.08em\">📊 %1 잠정 실적 요약%2</b>").arg(quarter, basis);

    const double salesCur = sales.Found ? Eok(sales.Cur, mult) : KNaN;
    if (!std::isnan(salesCur))
        lines << S("매출 <b>%1</b> — 전분기 %2 · 전년 같은 분기 %3").arg(FmtEok(salesCur), FmtPct(sales.QoQ), FmtPct(sales.YoY));
    const double opCur = op.Found ? Eok(op.Cur, mult) : KNaN;
    if (!std::isnan(opCur)) {
        QString l = S("영업이익 <b>%1</b> — 전분기 %2 · 전년 같은 분기 %3").arg(FmtEok(opCur), FmtPct(op.QoQ), FmtPct(op.YoY));
        if (sales.Found && salesCur > 0) {
            l += S(" · 영업이익률 <b>%1%</b>").arg(FormatFloat(QStringLiteral("0.0"), opCur / salesCur * 100));
            const double sPy = Eok(sales.PrevYear, mult), oPy = Eok(op.PrevYear, mult);
            if (!std::isnan(sPy) && !std::isnan(oPy) && sPy > 0)
                l += S(" (전년 %1%)").arg(FormatFloat(QStringLiteral("0.0"), oPy / sPy * 100));
        }
        lines << l;
    }
    const double netCur = net.Found ? Eok(net.Cur, mult) : KNaN;
    if (!std::isnan(netCur))
        lines << S("순이익 <b>%1</b> — 전분기 %2 · 전년 같은 분기 %3").arg(FmtEok(netCur), FmtPct(net.QoQ), FmtPct(net.YoY));

    QStringList cum;
    const double sCum = sales.HasCum ? Eok(sales.Cum, mult) : KNaN;
    if (!std::isnan(sCum))
        cum << S("매출 %1 (%2)").arg(FmtEok(sCum), FmtPct(sales.CumChg));
    const double oCum = op.HasCum ? Eok(op.Cum, mult) : KNaN;
    if (!std::isnan(oCum))
        cum << S("영업이익 %1 (%2)").arg(FmtEok(oCum), FmtPct(op.CumChg));
    if (!cum.isEmpty())
        lines << S("올해 누계: ") + cum.join(S(" · ")) + S(" — 괄호는 전년 누계 대비");

    double sq, sy, oq, oy;
    QString judge;
    if (TryNum(sales.QoQ, sq) && TryNum(sales.YoY, sy) && TryNum(op.QoQ, oq) && TryNum(op.YoY, oy)) {
        if (sq > 0 && sy > 0 && oq > 0 && oy > 0)
            judge = S("매출 · 영업이익 모두 전분기 · 전년보다 증가");
        else if (oq < 0 && oy < 0)
            judge = S("영업이익이 전분기 · 전년보다 모두 감소");
        else if (oy > 0)
            judge = S("영업이익 전년 대비 증가");
        else
            judge = S("영업이익 전년 대비 감소");
        if (oy > 0 && oy > sy)
            judge += S(" · 이익 증가율이 매출보다 커서 수익성 개선");
        if (oy < 0 && sy > 0)
            judge += S(" · 매출은 늘었는데 이익이 줄어 수익성 악화");
    } else {
        const QString both = op.QoQ + op.YoY;
        if (both.contains(S("흑자")))
            judge = S("영업이익 흑자 전환");
        else if (both.contains(S("적자")))
            judge = S("영업이익 적자");
    }
    if (!judge.isEmpty())
        lines << PlainJudgement(judge);
    lines << S("<span style=\"color:#888;font-size:0.9em\">잠정치라 확정 실적과 다를 수 있음 · 단위 ") + unit
            + S(" 를 억원으로 바꿔 표시</span>");
    return lines;
}

QStringList ContractSummary(const QString& plain)
{
    const TRxText pt(plain);
    QStringList lines;
    // "계약금액 (백만원) 9,500": the label states the unit of the figure.
    const TRxMatch labelled = TBoundedRx::Of(
        S("계약금액(?:\\s*총액)?\\s*\\(\\s*(억\\s*원|백만\\s*원|천\\s*원)\\s*\\)\\s*([\\d,]*\\d(?:\\.\\d+)?)")).Find(pt);
    const TRxMatch inWon = TBoundedRx::Of(S("계약금액[^\\d]{0,30}([\\d,]{5,})")).Find(pt);
    double amount = KNaN, v;
    if (labelled.Ok() && (!inWon.Ok() || labelled.Start <= inWon.Start)) {
        if (TryNum(labelled.Text(pt, 2), v))
            amount = v * UnitMultiplier(Unspaced(labelled.Text(pt, 1)));
    } else if (inWon.Ok() && TryNum(inWon.Text(pt, 1).trimmed(), v)) {
        amount = v / 1e8;
    }
    if (std::isnan(amount))
        return lines;
    const double ratio = RxNum(pt, S("매출액\\s*대비[^\\d]{0,20}([\\d\\.]+)"));
    const QString party = RxText(
        pt, S("계약상대(?:방)?\\s*([^\\s][^\\n]{0,30}?)\\s+(?:-|회사|최근|매출|주요|계약|판매)"));
    const QString start = RxText(pt, S("시작일\\s*(\\d{4}-\\d{2}-\\d{2})"));
    const QString end = RxText(pt, S("종료일\\s*(\\d{4}-\\d{2}-\\d{2})"));

    lines << S("<b style=\"font-size:1.08em\">📝 공급계약 요약</b>");
    QString l = S("계약 금액 <b>%1</b>").arg(FmtEok(amount));
    if (!std::isnan(ratio))
        l += S(" · 최근 매출의 <b>%1%</b>").arg(FormatFloat(QStringLiteral("0.0"), ratio));
    lines << l;
    if (!party.isEmpty())
        lines << S("계약 상대: ") + HtmlEscape(party);
    if (!start.isEmpty() || !end.isEmpty())
        lines << S("기간: %1 ~ %2").arg(start, end);
    if (!std::isnan(ratio)) {
        if (ratio >= 50)
            lines << PlainJudgement(S("최근 매출의 절반이 넘는 큰 계약"));
        else if (ratio >= 10)
            lines << PlainJudgement(S("최근 매출의 10% 이상 — 의미 있는 규모"));
        else
            lines << PlainJudgement(S("최근 매출 대비 작은 규모"));
    }
    return lines;
}

QString SummaryCard(const QString& title, const QString& body, QString* problem)
{
    TRxWatch watch;
    const QString plain = CorrectedText(HtmlToPlain(body));
    QStringList lines;
    if (title.contains(S("실적")) && (title.contains(S("잠정")) || title.contains(S("영업"))))
        lines = EarningsSummary(title, plain);
    else if (title.contains(S("공급계약")))
        lines = ContractSummary(plain);
    if (lines.isEmpty())
        CapitalSummary(title, plain, lines);
    if (watch.Hit()) {
        // Part of the body went unsearched: its numbers cannot be trusted.
        if (problem)
            *problem = watch.Reason();
        return QString();
    }
    if (lines.isEmpty())
        return QString();
    return S("<div style=\"background:#fff7e0;border:1px solid #e8c870;border-radius:8px;padding:14px 18px;"
             "margin:0 0 18px 0;line-height:1.75\">")
        + lines.join(S("<br>")) + S("</div>");
}
