#include "market/ProgTrading.h"

#include "broker/XingApi.h"
#include "core/NumFmt.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {
const QString kOutBlock = QStringLiteral("t1637OutBlock");
const QString kOutBlock1 = QStringLiteral("t1637OutBlock1");

const QColor kUp(0xe5, 0x39, 0x35);
const QColor kDown(0x1e, 0x88, 0xe5);
const QColor kPlain(0x30, 0x30, 0x30);

bool IsCts(const QString& name) { return name.startsWith(QLatin1String("cts"), Qt::CaseInsensitive); }

bool Rising(const QString& sg) { return sg == QLatin1String("1") || sg == QLatin1String("2"); }
bool Falling(const QString& sg) { return sg == QLatin1String("4") || sg == QLatin1String("5"); }

QColor BySign(qint64 v) { return v > 0 ? kUp : v < 0 ? kDown : kPlain; }
}

TProgFields TProgFields::From(const TResFields& out)
{
    TProgFields f;
    f.Time = FindField(out, {QStringLiteral("시간")}, QStringLiteral("time"));
    f.Price = FindField(out, {QStringLiteral("현재가")}, QStringLiteral("price"));
    f.Sign = FindField(out, {QStringLiteral("대비구분")}, QStringLiteral("sign"));
    f.Change = FindField(out, {QStringLiteral("대비")}, QStringLiteral("change"));
    f.Rate = FindField(out, {QStringLiteral("등락율"), QStringLiteral("등락률")}, QStringLiteral("diff"));
    f.Volume = FindField(out, {QStringLiteral("거래량")}, QStringLiteral("volume"));
    f.Net = FindField(out, {QStringLiteral("순매수수량")}, QStringLiteral("svolume"));
    f.Sell = FindField(out, {QStringLiteral("매도수량")}, QStringLiteral("offervolume"));
    f.Buy = FindField(out, {QStringLiteral("매수수량")}, QStringLiteral("stksvolume"));
    return f;
}

void TProgState::SetLayout(const TResFields& in, const TResFields& out)
{
    FProgIn = in;
    FFld = TProgFields::From(out);
}

QString TProgState::NoLayoutMessage() { return QStringLiteral("!! t1637.res 를 못 읽었다 — 프로그램매매 생략"); }
QString TProgState::SendFailedMessage() { return QStringLiteral("!! t1637 프로그램매매 요청 실패"); }

void TProgState::SelectStock()
{
    FProg.clear();
    FProgCts.clear();
    FProgSelT.clear();
    FProgMore = false;
    FProgBusy = false;
    // A method that worked stays the starting one, even after a later stock
    // ran out of history and moved the current method on.
    FProgPageMode = FProgModeFound ? FFoundMode : 0;
}

void TProgState::Queued(bool next, bool refresh, qint64 nowMs)
{
    Q_UNUSED(next);
    if (refresh) {
        FProgRefBusy = true;
        FProgRefAt = nowMs;
    } else {
        FProgBusy = true;
        FProgBusyAt = nowMs;
    }
}

TProgRequest TProgState::Build(const QString& code, const QString& today, bool next, bool refresh) const
{
    TProgRequest r;
    r.Next = next;
    r.Refresh = refresh;
    const bool older = next && !refresh;
    const int m = FProgPageMode;
    const bool useCts = older && (m == 0 || m == 1 || m == 2 || m == 5);
    const bool emptyDate = older && (m == 1 || m == 4);
    const bool useTime = older && (m == 2 || m == 3 || m == 4) && !FProg.isEmpty();
    r.Continuation = older && (m == 0 || m == 1 || m == 2);
    for (const TResField& f : FProgIn) {
        const QString n = f.Name.toLower();
        QString v;
        if (n == QLatin1String("shcode"))
            v = code;
        else if (n.contains(QLatin1String("exch")))
            v = QStringLiteral("U");
        else if (n.contains(QLatin1String("gubun")))
            v = QStringLiteral("0");
        else if (IsCts(n)) {
            if (useCts)
                for (const auto& kv : FProgCts)
                    if (kv.first == f.Name) {
                        v = kv.second;
                        break;
                    }
        } else if (n.contains(QLatin1String("date")))
            v = emptyDate ? QString() : today;
        else if (n == QLatin1String("time"))
            v = useTime ? FProg.last().T : QString();
        r.Inputs.append({f.Name, v});
    }
    return r;
}

void TProgState::Sent(const TProgRequest& r)
{
    if (!r.Refresh)
        FProgNext = r.Next;
}

void TProgState::SendFailed(bool refresh)
{
    if (refresh)
        FProgRefBusy = false;
    else
        FProgBusy = false;
}

QVector<TProgRow> TProgState::ReadRows(const TXAQuery& q) const
{
    QVector<TProgRow> rows;
    const int n = q.GetBlockCount(kOutBlock1);
    for (int i = 0; i < n; ++i) {
        TProgRow r;
        r.T = q.GetFieldData(kOutBlock1, FFld.Time, i).trimmed();
        const qint64 p = ParseInt(q.GetFieldData(kOutBlock1, FFld.Price, i));
        if (r.T.isEmpty() || p <= 0 || p > std::numeric_limits<int>::max())
            continue;
        r.P = int(p);
        r.Sg = q.GetFieldData(kOutBlock1, FFld.Sign, i).trimmed();
        const qint64 chg = ParseInt(q.GetFieldData(kOutBlock1, FFld.Change, i));
        r.Chg = int(qMin<qint64>(chg < 0 ? -qMax(chg, -std::numeric_limits<qint64>::max()) : chg, std::numeric_limits<int>::max()));
        r.Rate = ParseNum(q.GetFieldData(kOutBlock1, FFld.Rate, i));
        r.V = ParseInt(q.GetFieldData(kOutBlock1, FFld.Volume, i));
        r.Net = ParseInt(q.GetFieldData(kOutBlock1, FFld.Net, i));
        r.Sell = ParseInt(q.GetFieldData(kOutBlock1, FFld.Sell, i));
        r.Buy = ParseInt(q.GetFieldData(kOutBlock1, FFld.Buy, i));
        rows.append(r);
    }
    return rows;
}

void TProgState::StoreCts(const TXAQuery& q)
{
    FProgCts.clear();
    for (const TResField& f : FProgIn)
        if (IsCts(f.Name))
            FProgCts.append({f.Name, q.GetFieldData(kOutBlock, f.Name, 0).trimmed()});
}

QString TProgState::CtsText() const
{
    QStringList parts;
    for (const auto& kv : FProgCts) {
        QString s = kv.first + '=' + kv.second;
        if (s.contains(' ') || s.contains(',') || s.contains('"'))
            s = '"' + QString(s).replace(QLatin1String("\""), QLatin1String("\"\"")) + '"';
        parts << s;
    }
    return parts.join(',');
}

void TProgState::RecomputeDeltas()
{
    for (int i = 0; i < FProg.size(); ++i) {
        TProgRow& r = FProg[i];
        r.HasDelta = i + 1 < FProg.size();
        r.Delta = r.HasDelta ? SatSub(r.Net, FProg[i + 1].Net) : 0;
    }
}

TProgOutcome TProgState::OnAnswer(const TXAQuery& q, bool isPageQuery, int visibleRows)
{
    TProgOutcome o;
    const bool refresh = !isPageQuery;
    if (refresh)
        FProgRefBusy = false;
    else
        FProgBusy = false;
    const int count = q.GetBlockCount(kOutBlock1);
    if (!refresh && !FProgNext)
        o.Logs << QStringLiteral("프로그램매매 조회: %1줄").arg(count);

    const QVector<TProgRow> got = ReadRows(q);
    if (refresh) {
        if (FProg.isEmpty())
            return o;
        const QString newest = FProg.first().T;
        QVector<TProgRow> add;
        for (const TProgRow& r : got)
            if (r.T > newest)
                add.append(r);
        FProg = add + FProg;
        o.Inserted = add.size();
    } else if (FProgNext) {
        const QString bound = FProg.isEmpty() ? QStringLiteral("999999") : FProg.last().T;
        int appended = 0;
        for (const TProgRow& r : got)
            if (r.T < bound) {
                FProg.append(r);
                ++appended;
            }
        StoreCts(q);
        if (got.isEmpty())
            o.Logs << QStringLiteral("프로그램 이전내역 방식%1: 빈 응답 (원본 %2줄) · 연속키 %3")
                          .arg(FProgPageMode)
                          .arg(count)
                          .arg(CtsText());
        else
            o.Logs << QStringLiteral("프로그램 이전내역 방식%1: 받음 %2줄 (%3~%4) · 붙음 %5줄 · 연속키 %6")
                          .arg(FProgPageMode)
                          .arg(got.size())
                          .arg(got.first().T, got.last().T)
                          .arg(appended)
                          .arg(CtsText());
        if (appended == 0) {
            NextMode(o);
        } else {
            FProgMore = true;
            if (!FProgModeFound) {
                FProgModeFound = true;
                FFoundMode = FProgPageMode;
            }
        }
    } else {
        FProg = got;
        StoreCts(q);
        FProgMore = !got.isEmpty();
        o.ScrollToTop = true;
    }

    RecomputeDeltas();
    o.GridChanged = true;
    // The page query fills the grid by itself; RequestOlder already stands
    // for a request the window is about to queue.
    if (isPageQuery && !o.RequestOlder && FProgMore && !FProgBusy && FProg.size() < visibleRows + 10)
        o.RequestOlder = true;
    return o;
}

// The paging method brought no older rows: the next one is tried at once;
// after the last one there is no more.
void TProgState::NextMode(TProgOutcome& o)
{
    if (FProgPageMode >= kProgModes - 1) {
        FProgMore = false;
        o.Logs << QStringLiteral("프로그램 이전내역: 6가지 방식 모두 과거 줄 없음 — 위 로그를 보내 주세요");
    } else {
        ++FProgPageMode;
        FProgMore = true;
        o.RequestOlder = true;
    }
}

TProgOutcome TProgState::OnRefused(bool isPageQuery)
{
    TProgOutcome o;
    if (!isPageQuery) {
        FProgRefBusy = false;
        return o;
    }
    FProgBusy = false;
    // A page of older rows the broker refuses (a continuation it does not
    // accept) is a method that does not work: on to the next.
    if (FProgNext) {
        o.Logs << QStringLiteral("프로그램 이전내역 방식%1: 거절됨").arg(FProgPageMode);
        NextMode(o);
    }
    return o;
}

bool TProgState::OnAutoTick(qint64 nowMs)
{
    if (FProg.isEmpty() || Paused(nowMs))
        return false;
    if (FProgRefBusy && nowMs - FProgRefAt > kProgRefStaleMs)
        FProgRefBusy = false;
    if (FProgBusy && nowMs - FProgBusyAt > kProgPageStaleMs)
        FProgBusy = false;
    return !FProgRefBusy;
}

bool TProgState::IsLimitMessage(const QString& msg) { return msg.contains(QStringLiteral("전송제한")); }

QString TProgState::OnLimitMessage(qint64 nowMs)
{
    FLimitUntil = nowMs + kProgLimitPauseMs;
    FProgBusy = false;
    FProgRefBusy = false;
    return QStringLiteral("전송제한 — 프로그램매매 자동 갱신 1분 쉼");
}

QString TProgState::TimeText(const QString& t)
{
    if (t.size() < 6)
        return t;
    return t.mid(0, 2) + ':' + t.mid(2, 2) + ':' + t.mid(4, 2);
}

QColor TProgState::SignColor(const QString& sg)
{
    return Rising(sg) ? kUp : Falling(sg) ? kDown : kPlain;
}

QStringList TProgState::Captions()
{
    return {QStringLiteral("시간"), QStringLiteral("현재가"), QStringLiteral("대비"),
            QStringLiteral("등락률"), QStringLiteral("거래량"), QStringLiteral("증감"),
            QStringLiteral("순매수"), QStringLiteral("매도"), QStringLiteral("매수")};
}

QVector<int> TProgState::ColumnWidths(int width)
{
    static const int base[kProgCols] = {66, 70, 62, 56, 84, 64, 80, 80, 80};
    int total = 0;
    for (int b : base)
        total += b;
    const int w = qMax(width, total);
    QVector<int> out(kProgCols);
    int used = 0;
    for (int i = 0; i < kProgCols - 1; ++i) {
        out[i] = qMax(30, int(qint64(base[i]) * w / total));
        used += out[i];
    }
    out[kProgCols - 1] = qMax(30, w - used);
    return out;
}

void TProgState::SelectGridRow(int gridRow)
{
    if (gridRow >= 1 && gridRow <= FProg.size())
        FProgSelT = FProg[gridRow - 1].T;
}

TProgCell TProgState::Cell(int gridRow, int col) const
{
    TProgCell c;
    if (col < 0 || col >= kProgCols)
        return c;
    if (gridRow == 0) {
        c.Header = true;
        c.Back = QColor(0xf0, 0xf0, 0xf0);
        c.Color = QColor(0x50, 0x50, 0x50);
        c.Text = Captions()[col];
        return c;
    }
    c.Back = Qt::white;
    c.Color = kPlain;
    if (gridRow < 1 || gridRow > FProg.size())
        return c;
    const TProgRow& r = FProg[gridRow - 1];
    if (!FProgSelT.isEmpty() && r.T == FProgSelT)
        c.Back = QColor(0xd2, 0xe6, 0xf7);
    const QColor rowCol = SignColor(r.Sg);
    switch (col) {
    case 0:
        c.Text = TimeText(r.T);
        c.Color = QColor(0x70, 0x70, 0x70);
        c.Left = true;
        break;
    case 1:
        c.Text = FmtNum(r.P);
        c.Color = rowCol;
        break;
    case 2:
        c.Text = (Rising(r.Sg) ? QStringLiteral("▲ ") : Falling(r.Sg) ? QStringLiteral("▼ ") : QString())
                 + FmtNum(r.Chg);
        c.Color = rowCol;
        break;
    case 3:
        c.Text = FormatFloat(QStringLiteral("0.00"), r.Rate);
        c.Color = rowCol;
        break;
    case 4:
        c.Text = FmtNum(r.V);
        break;
    case 5:
        if (r.HasDelta) {
            c.Text = (r.Delta > 0 ? QStringLiteral("+") : QString()) + FmtNum(r.Delta);
            c.Color = r.Delta > 0 ? kUp : r.Delta < 0 ? kDown : QColor(0x90, 0x90, 0x90);
            c.Bold = r.Delta != 0;
        }
        break;
    case 6:
        c.Text = FmtNum(r.Net);
        c.Color = BySign(r.Net);
        break;
    case 7:
        c.Text = FmtNum(r.Sell);
        c.Color = kDown;
        break;
    case 8:
        c.Text = FmtNum(r.Buy);
        c.Color = kUp;
        break;
    }
    return c;
}
